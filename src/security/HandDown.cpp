#include "security/HandDown.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"
#include "security/SecurityHandle.h"

namespace security {
namespace {

struct Walk {
    HandDownRule rule;
    const FolderGate& mayChange;
    size_t written = 0;
};

// The folder at `path` opened as itself and held; an empty handle when it has become a reparse
// point since it was enumerated.
platform::FileHandle openUnchanged(const std::wstring& path) {
    platform::FileHandle folder;
    if (DWORD error = openAsItself(path, FILE_READ_ATTRIBUTES, &folder, true))
        raiseRunTimeError(error, L"Unable to list the folder %s", text::displayPath(path));
    if (isReparsePoint(folder.get(), path)) folder.reset();
    return folder;
}

// `lists` are clean (dropUnresolvableAces): they are written to every object as they are, and
// every list a rule makes from a clean one is clean too.
void walk(const std::wstring& folder, const ChildLists& lists, Walk& w, const EntrySelection* selected) {
    WIN32_FIND_DATAW data{};
    platform::FindScope find;
    DWORD error = platform::current().findFirstFile(folder + L"\\*", &data, find.receive());
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    if (error) raiseRunTimeError(error, L"Unable to list the folder %s", text::displayPath(folder));
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (selected && !(*selected)(name, isFolder)) continue;
        const std::wstring child = folder + L"\\" + name;
        if (!isFolder) {
            writeCleanDaclInherited(child, lists.files);
            ++w.written;
            continue;
        }
        // The folder entered is the one judged: what the enumeration showed is checked again on a
        // handle of the item itself, which keeps it in place while the walk is inside.
        platform::FileHandle entered = openUnchanged(child);
        if (!entered) continue;
        if (!w.mayChange(readSecurity(child))) continue;
        writeCleanDaclInherited(child, lists.folders);
        ++w.written;
        walk(child, w.rule(lists.folders), w, nullptr);
    } while ((error = platform::current().findNextFile(find.get(), &data)) == ERROR_SUCCESS);
    if (error != ERROR_NO_MORE_FILES)
        raiseRunTimeError(error, L"Unable to list the folder %s", text::displayPath(folder));
}

} // namespace

size_t handDown(const std::wstring& folder, HandDownRule rule, const FolderGate& mayChange,
                const EntrySelection& selected) {
    // Listing a junction or symbolic link would hand the entries down to the place it leads to.
    platform::FileHandle held = openUnchanged(folder);
    if (!held) return 0;
    SecurityInfo info = readSecurity(folder);
    if (info.dacl.absent()) return 0; // nothing to inherit from a NULL DACL
    Walk w{rule, mayChange};
    walk(folder, rule(dropUnresolvableAces(info.dacl)), w, selected ? &selected : nullptr);
    return w.written;
}

} // namespace security
