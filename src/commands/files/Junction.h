// Junctions (mount points): reading where one leads, and turning an empty directory into one.
#pragma once
#include "paths/NormalPath.h"

#include <functional>
#include <string>

#include <windows.h>

namespace files {

// Judges the place a junction of a source tree leads to before the junction is made again
// elsewhere: raises when the command may not link to it (the command's allowed-path policy).
using LinkTargetCheck = std::function<void(const std::wstring& target)>;

// Where the junction or symbolic link open on `link` (opened as the reparse point itself, at
// `linkPath`) leads, in the "\\?\" form. A relative symbolic link is resolved against its own
// folder. Raises "Unable to get reparse data" when the item has none.
std::wstring readJunctionTarget(HANDLE link, const paths::NormalPath& linkPath);
// Makes the empty directory open on `directory` a junction to the existing directory `target`;
// a missing target raises (it is never created). A target that is the directory itself raises
// "Recursive reparse point (%s)".
void makeJunction(HANDLE directory, const paths::NormalPath& target, int attempts);
// A new directory at `path` made a junction to `target`; the directory is removed again when the
// junction cannot be made.
void createJunction(const paths::NormalPath& path, const paths::NormalPath& target, int attempts);

} // namespace files
