// How much one unpack-archive may unpack: bounds that the archiver enforces while it extracts
// (unpacked bytes, entries) and that quarn enforces on the archiver's run (seconds). They come
// from the management service's extended settings, section "MultiArc", keys "MaxUnpackedMB",
// "MaxEntries" and "MaxSeconds"; a missing, empty, zero or malformed value takes the default.
#pragma once
#include <cstdint>
#include <string>

#include <windows.h>

namespace files {

struct UnpackLimits {
    uint64_t maxBytes = 0;
    uint64_t maxEntries = 0;
    DWORD maxSeconds = 0;
};

// Defaults, chosen for shared hosting: 1024 MB is three times what the largest common web
// applications unpack to (a few hundred MB with their media), far below what a crafted archive of
// a few MB makes; 200,000 entries hold the largest of them (some 80,000 files) with room, and
// 600 seconds is what extracting that many files takes on a loaded server.
constexpr uint64_t kDefaultMaxUnpackedMB = 1024;
constexpr uint64_t kDefaultMaxEntries = 200000;
constexpr DWORD kDefaultMaxSeconds = 600;
// What the unpacking leaves free on the work volume whatever the settings say: the other
// accounts' sites, mail, logs and databases share it, and Windows needs room of its own.
constexpr uint64_t kFreeSpaceReserve = 1024ull * 1024 * 1024;

// The limits for an unpacking in `workDirectory`: the configured ones (or the defaults), with the
// bytes never more than the volume's free space for the acting account less kFreeSpaceReserve.
// A volume whose free space cannot be read raises its error.
UnpackLimits unpackLimits(const std::wstring& workDirectory);

// The archiver's arguments for the limits it enforces: "--max-bytes=N --max-entries=N".
std::wstring archiverLimitArguments(const UnpackLimits& limits);

} // namespace files
