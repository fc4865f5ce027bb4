// cp -l: a hard link for a file, a junction for a directory.
#pragma once
#include "paths/NormalPath.h"
#include <string>

namespace files {

// A file source: `destination` becomes another name of it; on access denied the process grants
// itself access (on the destination, or its parent while it is missing) and tries again,
// `attempts` tries in all (0 counts as 1). A directory source: `destination` is made a new
// directory and turned into a junction to the source (removed again when that fails).
void createHardLink(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts);

} // namespace files
