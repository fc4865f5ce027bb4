#include "EntryNames.h"

#include "paths/UpcasedName.h"

namespace archivers {

const char* EntryNames::add(const std::wstring& relative, bool directory) {
    std::wstring key = paths::upcased(relative);
    auto found = directories_.find(key);
    if (found != directories_.end()) {
        if (found->second && directory) return nullptr; // a folder named again merges harmlessly
        if (!found->second && !directory) return "two entries of the same name";
        return found->second ? "a file where a folder of the same name is"
                             : "a folder where a file of the same name is";
    }
    directories_.emplace(key, directory);
    // The folders above, from the nearest up to the first one already known (all above it are).
    for (size_t cut = key.rfind(L'\\'); cut != std::wstring::npos; cut = key.rfind(L'\\', cut - 1)) {
        auto [parent, added] = directories_.emplace(key.substr(0, cut), true);
        if (!parent->second) return "an entry below a file";
        if (!added || cut == 0) break;
    }
    return nullptr;
}

} // namespace archivers
