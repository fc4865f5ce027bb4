#include "commands/files/ArrivingTree.h"

#include "app/Exceptions.h"
#include "commands/files/DirectoryListing.h"
#include "paths/UpcasedName.h"

#include <unordered_map>

namespace files {
namespace {

[[noreturn]] void clash(const paths::NormalPath& source, const paths::NormalPath& destination) {
    raiseRunTimeError(ERROR_ALREADY_EXISTS, L"Unable to move (%s) to (%s): one is a file, the other a folder",
                      source.display(), destination.display());
}

} // namespace

ArrivingTree arrivingTree(const paths::NormalPath& source, const paths::NormalPath& destination) {
    // The destination's entries by the names the file system takes for theirs; a folder that
    // does not exist lists nothing, and everything arrives new.
    std::unordered_map<std::wstring, DirectoryEntry> present;
    DirectoryListing there = listDirectory(destination);
    for (std::vector<DirectoryEntry>* entries : {&there.directories, &there.files})
        for (DirectoryEntry& entry : *entries)
            if (!isDotEntry(entry)) present.emplace(paths::upcased(entry.name), std::move(entry));

    ArrivingTree tree;
    DirectoryListing here = listDirectory(source);
    for (const DirectoryEntry& file : here.files) {
        auto found = present.find(paths::upcased(file.name));
        if (found != present.end() && (found->second.attributes & FILE_ATTRIBUTE_DIRECTORY))
            clash(source.join(file.name), destination.join(found->second.name));
        tree.files.push_back(file.name);
    }
    for (const DirectoryEntry& sub : here.directories) {
        if (isDotEntry(sub)) continue;
        auto found = present.find(paths::upcased(sub.name));
        if (found == present.end()) {
            tree.directories.push_back(sub.name);
            continue;
        }
        paths::NormalPath target = destination.join(found->second.name);
        if (!(found->second.attributes & FILE_ATTRIBUTE_DIRECTORY)) clash(source.join(sub.name), target);
        tree.merged.emplace_back(found->second.name, found->second.isReparsePoint
                                                         ? ArrivingTree{}
                                                         : arrivingTree(source.join(sub.name), target));
    }
    return tree;
}

} // namespace files
