// The two records a zip archive keeps of each entry's name: the central directory's, which
// readers that seek take, and the local header's, which streaming readers take. A crafted archive
// makes them differ, so that a check of one lets the other through; or hides a NUL in a name,
// which cuts it where C strings carry it.
#pragma once
#include <optional>
#include <string>

namespace archivers {

// Why the zip archive at `path` cannot be trusted with its names: an entry whose central and
// local names (or Info-ZIP Unicode path fields) differ, a name holding a NUL, or a central
// directory that cannot be read. Nothing when every entry's records agree.
std::optional<std::string> zipNameDisagreement(const std::wstring& path);

} // namespace archivers
