#include "commands/files/TreeDestination.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/OpenDirectory.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {
namespace {

[[noreturn]] void raiseReparsePoint(const paths::NormalPath& path) {
    raiseRunTimeError(0, L"Path (%s) is a reparse point", text::displayPath(path));
}

} // namespace

TreeDestination::TreeDestination(const paths::NormalPath& path, int attempts, bool madeByCopy) : path_(path) {
    platform::Platform& p = platform::current();
    // The common case, a new directory, costs one creation and one open: per-directory round
    // trips decide the time of a tree copy.
    made_ = madeByCopy || p.createDirectory(path, nullptr) == ERROR_SUCCESS;
    if (p.createFile(path, kTreeAccess, kTreeShare, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, handle_.receive()) != ERROR_SUCCESS)
        handle_ = openTreeDirectory(path, Disposition::OpenAlways, attempts); // the full way: recovery, messages
    DWORD attributes = 0;
    if (DWORD error = p.handleAttributes(handle_.get(), &attributes))
        raiseRunTimeError(error, L"Unable to get file (%s) attributes", text::displayPath(path));
    // Backup semantics open files as well as directories.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        raiseRunTimeError(0, L"Path (%s) is a file", text::displayPath(path));
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) raiseReparsePoint(path);
    if (made_) return;
    const DirectoryListing listing = listDirectory(path);
    for (const auto* entries : {&listing.files, &listing.directories})
        for (const DirectoryEntry& entry : *entries)
            if (entry.isReparsePoint) reparsePoints_.push_back(entry.name);
}

void TreeDestination::refuseReparsePoint(const std::wstring& name) const {
    if (std::any_of(reparsePoints_.begin(), reparsePoints_.end(),
                    [&](const std::wstring& taken) { return text::equalNoCase(taken, name); }))
        raiseReparsePoint(path_.join(name));
}

} // namespace files
