#include "commands/xml/ExtendedFileInfo.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/ErrorDocument.h"
#include "commands/Params.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/OpenFile.h"
#include "commands/files/PathNames.h"
#include "commands/xml/LoopGuard.h"
#include "security/SecurityInfo.h"
#include "xml/XmlDocument.h"

namespace {

constexpr DWORD kDelete = 0x200;
constexpr DWORD kDeleteSubfoldersAndFiles = 0x100;

// The form realpath prints: no "\\?\", no trailing "\".
std::wstring printed(std::wstring p) {
    while (!p.empty() && p.back() == L'\\')
        p.pop_back();
    return text::displayPath(p);
}

} // namespace

ExtendedFileInfo::ExtendedFileInfo()
    : RecordingCommand(L"--ex-info", L"Usage:\n--ex-info --path='path' [--permissions] [--short-path] "
                                     L"[--long-path][--delete-access][--sharing-access]\n") {}

int ExtendedFileInfo::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"},
                 {L"--permissions", L"--short-path", L"--long-path", L"--delete-access", L"--sharing-access"});
    path = params.value(L"--path");
    shownName = paths::NormalPath(path).display();
    withPermissions = params.has(L"--permissions");
    withShortPath = params.has(L"--short-path");
    withLongPath = params.has(L"--long-path");
    withDeleteAccess = params.has(L"--delete-access");
    withSharingAccess = params.has(L"--sharing-access");
    // The permission listing reads security in the program's own context.
    if (withPermissions) setRunAsFlag(false);
    inputs = {path};
    runAsTarget();
    return 0;
}

void ExtendedFileInfo::prepareChecked() {
    if (!withShortPath && !withLongPath) return;
    const paths::NormalPath resolved = files::resolvedJunction(normal(0));
    if (withShortPath) shortPath = files::shortPath(resolved);
    if (withLongPath) longPath = files::longPath(resolved);
}

void ExtendedFileInfo::canDelete(const paths::NormalPath& itemPath) {
    caller_ = security::callerSids();
    LoopGuard guard(itemPath);
    canDelete(itemPath, files::isDirectory(itemPath), true, guard);
}

void ExtendedFileInfo::canDelete(const paths::NormalPath& itemPath, bool isFolder, bool descend, LoopGuard& guard) {
    if (withDeleteAccess) {
        security::SecurityInfo info = security::readSecurity(itemPath);
        DWORD needed = isFolder ? kDelete | kDeleteSubfoldersAndFiles : kDelete;
        if ((security::effectiveRights(info.dacl, info.owner, caller_) & needed) != needed)
            raiseRunTimeError(ERROR_ACCESS_DENIED, L"Access is denied");
    }
    // An open asking for no access is never checked against other handles' sharing: the test asks
    // for the access a deletion needs. One attempt: a query never changes the item's security.
    if (withSharingAccess)
        files::openFile(itemPath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                        isFolder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL, 1);
    if (!isFolder || !descend) return;
    const files::DirectoryListing listing = files::listDirectory(itemPath);
    for (const files::DirectoryEntry& entry : listing.directories) {
        if (files::isDotEntry(entry)) continue;
        const paths::NormalPath child = itemPath.join(entry.name);
        // A reparse point that leads back into the tested tree is judged as itself only.
        if (!guard.enter(child, entry)) {
            canDelete(child, true, false, guard);
            continue;
        }
        canDelete(child, true, true, guard);
        guard.leave();
    }
    for (const files::DirectoryEntry& entry : listing.files)
        canDelete(itemPath.join(entry.name), false, false, guard);
}

void ExtendedFileInfo::execute() {
    xml::XmlDocument document;
    xml::XmlElement root = document.createRoot(L"PathInfo");
    root.set(L"Name", shownName);
    if (errorCode == 0) {
        try {
            if (withShortPath) root.set(L"ShortPath", printed(shortPath));
            if (withLongPath) root.set(L"LongPath", printed(longPath));
            if (withPermissions) permissionListing.write(root.get(), normal(0));
            if (withDeleteAccess || withSharingAccess) {
                std::wstring answer = L"Enabled";
                try {
                    canDelete(normal(0));
                } catch (...) {
                    xmlerror::Failure f = xmlerror::fromCurrentException();
                    if (f.number != xmlerror::AccessIsDenied && f.number != xmlerror::SharingViolation) throw;
                    answer = L"Disabled";
                }
                root.set(L"Delete", answer);
            }
        } catch (...) {
            xmlerror::Failure f = xmlerror::fromCurrentException();
            errorCode = f.number;
            errorMessage = f.message;
        }
    }
    xmlerror::setErrorAttributes(root.get(), errorCode, errorMessage);
    LogManager::instance().log(2, L"%s", document.xml());
}
