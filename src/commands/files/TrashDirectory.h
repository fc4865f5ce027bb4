// The private trash directory of a volume: removals first move an item there (taking it out of
// its directory at once), then delete it inside.
#pragma once
#include "paths/NormalPath.h"
#include <string>

namespace files {

// "{86066D57-9347-46a7-B4DB-971D9EF36D29}" in "Recycler" at the root of the volume holding `path`,
// both made on first use with the trash DACL. Empty when it cannot be found or made: removal then
// deletes in place.
paths::NormalPath trashDirectory(const paths::NormalPath& path);

} // namespace files
