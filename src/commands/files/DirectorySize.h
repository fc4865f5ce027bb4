// The bytes of the files in a directory.
#pragma once
#include "paths/NormalPath.h"
#include <cstdint>
#include <string>

namespace files {

// The sum of the sizes of the files in the directory and, when `recursive`, in its
// subdirectories. Junctions are not followed; a hard-linked file counts once per name. One
// enumeration per directory; a directory that cannot be enumerated raises "Unable to read
// directory (%s)".
uint64_t directorySize(const paths::NormalPath& path, bool recursive);
// What size answers: the whole tree for a directory, else the size the path's own directory entry
// reports. A path that cannot be found (or holds a wildcard) raises "Unable to read directory (%s)".
uint64_t pathSize(const paths::NormalPath& path);

} // namespace files
