// A directory that a tree copy writes into, held open while it is filled.
#pragma once
#include "paths/NormalPath.h"
#include "platform/Handle.h"

#include <string>
#include <vector>

namespace files {

// Made when missing, merged into when it exists, never a junction or symbolic link: what stands
// at a destination path is judged on a handle opened on the item itself, and that handle (shared
// for reading and writing, not for deletion) keeps the directory from being renamed away or
// replaced by a link while the copy writes below it.
class TreeDestination {
public:
    // Raises "Path (%s) is a file" or "Path (%s) is a reparse point" for what must not be written
    // into; the failures of openTreeDirectory otherwise. `madeByCopy`: the copy has just made the
    // directory (it is neither created nor listed again).
    TreeDestination(const paths::NormalPath& path, int attempts, bool madeByCopy = false);

    const paths::NormalPath& path() const { return path_; }
    // The directory was made for this copy: nothing stood in it when it was opened.
    bool made() const { return made_; }
    // Raises "Path (%s) is a reparse point" when `name` stands in the directory as a junction or
    // symbolic link: the copy would write wherever it leads.
    void refuseReparsePoint(const std::wstring& name) const;

private:
    paths::NormalPath path_;
    platform::FileHandle handle_;
    bool made_ = false;
    // Of a directory that existed before (one enumeration); a directory this copy made was empty.
    std::vector<std::wstring> reparsePoints_;
};

} // namespace files
