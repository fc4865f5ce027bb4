#include "commands/files/InheritedEntries.h"

#include "identity/AccessCheck.h"
#include "paths/UpcasedName.h"
#include "security/HandDown.h"

#include <unordered_set>

namespace files {
namespace {

std::unordered_set<std::wstring> upcasedSet(const std::vector<std::wstring>& names) {
    std::unordered_set<std::wstring> set;
    for (const std::wstring& name : names)
        set.insert(paths::upcased(name));
    return set;
}

} // namespace

void reapplyInheritedEntries(const paths::NormalPath& directory, const ArrivingTree& arrived) {
    // What arrived is walked as the destination lists it now, so that a reparse point among it
    // (none should be: an unpacked tree holding one was refused) is still never written or entered.
    const std::unordered_set<std::wstring> files = upcasedSet(arrived.files);
    const std::unordered_set<std::wstring> directories = upcasedSet(arrived.directories);
    security::handDown(directory, security::inheritedLists, identity::holdsWriteDac,
                       [&](const std::wstring& name, bool folder) {
                           return (folder ? directories : files).count(paths::upcased(name)) != 0;
                       });
    for (const auto& [name, below] : arrived.merged)
        reapplyInheritedEntries(directory.join(name), below);
}

} // namespace files
