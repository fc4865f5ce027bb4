#include "commands/files/PathQueries.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/DirectorySize.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/Junction.h"
#include "commands/files/MoveToTemporaryName.h"
#include "commands/files/OpenDirectory.h"
#include "commands/files/OpenFile.h"
#include "commands/files/PathNames.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

#include <algorithm>

namespace {

constexpr int kTemporaryAttempts = 15;

// The size of a file as its directory entry reports it, or of a whole directory tree.
uint64_t sizeOf(const std::wstring& path) {
    using pathpolicy::displayPath;
    if (pathpolicy::isVolumeRoot(path)) return files::directorySize(path, true);
    // A pattern would measure whatever entry it happens to match first.
    if (path.find_first_of(L"*?", 4) != std::wstring::npos)
        raiseRunTimeError(ERROR_INVALID_NAME, L"Unable to read directory (%s)", displayPath(path));
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    if (DWORD error = platform::current().findFirstFile(path, &data, find.receive()))
        raiseRunTimeError(error, L"Unable to read directory (%s)", displayPath(path));
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return files::directorySize(path, true);
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Copies the source to a fresh name in the directory. The name is reserved by creating it before
// the copy, so that no other process can take it in between; a name taken first is given up for
// another. A copy that fails removes the reserved file again: the caller never learns its name.
std::wstring copyToTemporaryName(const std::wstring& source, const std::wstring& directory, const std::wstring& prefix,
                                 int attempts) {
    const int budget = std::max(attempts, 1);
    for (int taken = 0;; ++taken) {
        std::wstring candidate = files::temporaryName(directory, prefix, budget);
        platform::FileHandle reservation;
        try {
            reservation =
                files::openFile(L"", candidate, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, budget);
        } catch (const RunTime::AlreadyExistsException&) {
            if (taken < budget) continue;
            raiseRunTimeError(ERROR_FILE_EXISTS, L"Unable to move (%s) to (%s)", pathpolicy::displayPath(source),
                              pathpolicy::displayPath(directory));
        }
        try {
            files::copyFile(source, candidate, budget);
        } catch (...) {
            reservation.reset();
            platform::current().deleteFile(candidate);
            throw;
        }
        return candidate;
    }
}

// The junction's target when the path itself is a junction, else the path.
std::wstring resolvedJunction(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    if (pathpolicy::isVolumeRoot(path) || platform::current().findFirstFile(path, &data, find.receive()) ||
        !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(data.dwReserved0 & 0x20000000))
        return path;
    platform::FileHandle directory = files::openDirectory(path, L"", GENERIC_READ | GENERIC_WRITE,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                          files::Disposition::OpenExisting, false, true, 15);
    std::wstring target = files::readJunctionTarget(directory.get());
    while (target.size() > 1 && target.back() == L'\\') target.pop_back();
    return target;
}

} // namespace

ListFiles::ListFiles() : PositionalCommand(L"list", L"Usage:\nlist (dirs | files | both) path\n", 2, 2) {}

void ListFiles::takeArguments(const std::vector<std::wstring>& arguments) {
    const std::wstring& m = arguments[0];
    if (m == L"dirs")
        mode = Dirs;
    else if (m == L"files")
        mode = Files;
    else if (m == L"both")
        mode = Both;
    else
        raiseRunTimeError(0, L"The mode (%s) is invalid", m);
    path = arguments[1];
    inputs = {&path};
}

void ListFiles::execute() {
    files::DirectoryListing listing = files::listDirectory(path);
    std::wstring lines;
    auto add = [&lines](const files::DirectoryEntry& e) {
        lines += e.name;
        lines += L'\t';
        lines += std::to_wstring(static_cast<uint64_t>(e.lastWriteTime));
        lines += L'\t';
        lines += std::to_wstring(e.size);
        lines += L"\t\"\"\t\"\"\t000\n";
    };
    if (mode != Files)
        for (const files::DirectoryEntry& e : listing.directories) add(e);
    if (mode != Dirs)
        for (const files::DirectoryEntry& e : listing.files) add(e);
    LogManager::instance().log(2, L"%s", lines);
}

FileSize::FileSize() : OnePathCommand(L"size", L"Usage:\nsize path\n") {}

void FileSize::execute() { LogManager::instance().log(2, L"%I64d\n", static_cast<int64_t>(sizeOf(path))); }

RealPath::RealPath() : OnePathCommand(L"realpath", L"Usage:\nrealpath path\n") {}

void RealPath::execute() {
    std::wstring target = resolvedJunction(path);
    LogManager::instance().log(2, L"%s\n", pathpolicy::displayPath(files::longPath(target)));
    LogManager::instance().log(2, L"%s\n", pathpolicy::displayPath(files::shortPath(target)));
}

TempNameCommand::TempNameCommand(std::wstring name, std::wstring usageText)
    : PositionalCommand(std::move(name), std::move(usageText), 2, 3) {}

void TempNameCommand::takeArguments(const std::vector<std::wstring>& arguments) {
    source = arguments[0];
    directory = arguments[1];
    prefix = arguments.size() > 2 ? arguments[2] : L"";
    inputs = {&source, &directory};
}

Cp2TempName::Cp2TempName() : TempNameCommand(L"cp2tempnam", L"Usage:\ncp2tempnam source path [prefix]\n") {}

void Cp2TempName::execute() {
    std::wstring copy = copyToTemporaryName(source, directory, prefix, kTemporaryAttempts);
    LogManager::instance().log(2, L"%s\n", pathpolicy::displayPath(copy));
}

Mv2TempName::Mv2TempName() : TempNameCommand(L"mv2tempnam", L"Usage:\nmv2tempnam source path [prefix]\n") {}

void Mv2TempName::execute() {
    std::wstring moved = files::moveToTemporaryName(L"", source, directory, prefix, kTemporaryAttempts);
    LogManager::instance().log(2, L"%s\n", pathpolicy::displayPath(moved));
}
