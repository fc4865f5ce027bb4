// Keeps a tree walk from going round in circles through reparse points (junctions, directory
// symbolic links) that lead back into the folders being walked.
#pragma once
#include "commands/files/DirectoryListing.h"

#include <string>
#include <vector>

// The walk keeps one chain of folders, from its start down to the folder it is in, each under
// the place it really is: an ordinary subfolder is its parent's place plus its name, a reparse
// point is the place it leads to. A reparse point is entered only when it leads to none of the
// chain's places nor to a folder above one of them. So no reparse point is entered twice on one
// chain, and between two reparse points the walk only goes down: every walk ends.
class LoopGuard {
public:
    explicit LoopGuard(const paths::NormalPath& start);

    // Whether the walk may enter `entry` of the folder it is in (`path` is the entry's full path).
    // True pushes the entry's place: call `leave` when done with it. A reparse point whose target
    // cannot be read is not entered.
    bool enter(const paths::NormalPath& path, const files::DirectoryEntry& entry);
    void leave();

    // The place a reparse point leads to ("\\?\" form), or empty when it cannot be read.
    static std::wstring targetOf(const paths::NormalPath& path);

private:
    std::vector<std::wstring> places_; // comparison keys: upper case, no "\\?\", no trailing "\"
};
