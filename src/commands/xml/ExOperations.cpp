#include "commands/xml/ExOperations.h"

#include "app/Exceptions.h"
#include "commands/DiskSecurity.h"
#include "commands/files/CopyMove.h"
#include "commands/files/CopyTree.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/MoveTree.h"
#include "commands/files/OpenFile.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashDirectory.h"
#include "platform/Platform.h"

namespace {

bool isDirectory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

ExOperation::ExOperation(std::wstring name, std::wstring usageText, NameList required)
    : XmlCommand(std::move(name), std::move(usageText)), required_(std::move(required)) {}

int ExOperation::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check(required_, {});
    // "--internal-package-name" is accepted by every command and ignored: it does not count.
    size_t given = params.size() - (params.has(L"--internal-package-name") ? 1 : 0);
    if (given != required_.size()) return usageError();
    take(params);
    runAsTarget();
    return 0;
}


ExPathOperation::ExPathOperation(std::wstring name, std::wstring usageText)
    : ExOperation(std::move(name), std::move(usageText), {L"--path"}) {}

void ExPathOperation::take(const Params& params) {
    path = params.value(L"--path");
    givenPath = path;
    inputs = {path};
}

ExPairOperation::ExPairOperation(std::wstring name, std::wstring usageText, std::wstring sourceName,
                                 std::wstring destinationName)
    : HealsTrash(std::move(name), std::move(usageText), NameList{sourceName, destinationName}),
      sourceName_(std::move(sourceName)), destinationName_(std::move(destinationName)) {}

void ExPairOperation::take(const Params& params) {
    source = params.value(sourceName_);
    destination = params.value(destinationName_);
    inputs = {source, destination};
}

void ExPairOperation::checkInput(size_t index) {
    if (index == 1) refuseSubPath(checked(0), checked(1));
}

ExCopyPath::ExCopyPath()
    : ExPairOperation(L"--ex-copy",
                      L"Usage:\n--ex-copy --source={source or directory file} --destination={destination or "
                      L"directory file}\n",
                      L"--source", L"--destination") {}

ExRenamePath::ExRenamePath()
    : ExPairOperation(L"--ex-rename",
                      L"Usage:\n--ex-rename --old-name={source or directory file} --new-name={destination or "
                      L"directory file}\n",
                      L"--old-name", L"--new-name") {}

ExRemove::ExRemove() : HealsTrash(L"--ex-remove", L"Usage:\n--ex-remove --path={file or directory path}\n") {}

ExCreateDirectory::ExCreateDirectory()
    : ExPathOperation(L"--ex-create-directory", L"Usage:\n--ex-create-directory --path={directory path}\n") {}

ExTouch::ExTouch() : ExPathOperation(L"--ex-touch", L"Usage:\n--ex-touch --path={directory path}\n") {}

void ExCopyPath::operate() {
    const paths::NormalPath& source = normal(0);
    const paths::NormalPath& destination = normal(1);
    if (isDirectory(files::getAttributes(source, 15)))
        files::copyTree(files::listDirectory(source), destination, 0, true, linkTargetCheck());
    else
        files::copyFile(source, destination, 0);
}

void ExRenamePath::operate() {
    const paths::NormalPath& source = normal(0);
    const paths::NormalPath& destination = normal(1);
    if (isDirectory(files::getAttributes(source, 15)))
        files::moveTree(files::listDirectory(source), destination, linkTargetCheck());
    else
        files::moveFile(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH,
                        0);
}

void ExRemove::operate() {
    const paths::NormalPath& path = normal(0);
    DWORD attributes = files::getAttributes(path, 15);
    // A junction is removed as itself: listing it would empty the folder it leads to.
    if (isDirectory(attributes) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        files::removeTree(files::listDirectory(path), 0);
    else
        files::removePath(path, files::trashDirectory(path), 15);
    if (DiskSecurity::governs(path)) {
        DiskSecurity::dropEntries(path);
        DiskSecurity::save();
    }
}

void ExCreateDirectory::operate() { files::createDirectories(normal(0), nullptr, 0); }

void ExTouch::operate() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    FILETIME when{};
    if (!SystemTimeToFileTime(&now, &when)) raiseRunTimeError(GetLastError(), L"Unable to convert system time to file time");
    platform::FileHandle file =
        files::openFile(normal(0), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 15);
    if (DWORD error = platform::current().setFileTime(file.get(), nullptr, nullptr, &when))
        raiseRunTimeError(error, L"Unable to set a timestamp to the file (%s)", givenPath);
}
