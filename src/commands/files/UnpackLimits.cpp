#include "commands/files/UnpackLimits.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "commands/files/ArchiveTemplates.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {
namespace {

// A positive decimal number, else `fallback`: a setting that says nothing usable must not lift
// the bound.
uint64_t setting(const wchar_t* key, uint64_t fallback, uint64_t most) {
    std::wstring text = archiveTemplates().get(L"", key);
    if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        if (!text.empty())
            LogManager::instance().log(0, L"MultiArc\\%s: '%s' is no number, %I64d taken", key, text,
                                       fallback);
        return fallback;
    }
    uint64_t value = std::stoull(text);
    return value == 0 ? fallback : std::min(value, most);
}

} // namespace

UnpackLimits unpackLimits(const std::wstring& workDirectory) {
    constexpr uint64_t kMB = 1024 * 1024;
    UnpackLimits limits;
    limits.maxBytes = setting(L"MaxUnpackedMB", kDefaultMaxUnpackedMB, UINT64_MAX / kMB) * kMB;
    limits.maxEntries = setting(L"MaxEntries", kDefaultMaxEntries, UINT64_MAX);
    limits.maxSeconds = static_cast<DWORD>(setting(L"MaxSeconds", kDefaultMaxSeconds, MAXDWORD / 1000));
    std::wstring directory = workDirectory.back() == L'\\' ? workDirectory : workDirectory + L"\\";
    ULONGLONG available = 0, total = 0;
    if (DWORD e = platform::current().getDiskFreeSpace(directory, &available, &total))
        raiseRunTimeError(e, L"Unable to read the free space of (%s)", workDirectory);
    limits.maxBytes = std::min<uint64_t>(limits.maxBytes,
                                         available > kFreeSpaceReserve ? available - kFreeSpaceReserve : 0);
    return limits;
}

std::wstring archiverLimitArguments(const UnpackLimits& limits) {
    return L"--max-bytes=" + std::to_wstring(limits.maxBytes) + L" --max-entries=" +
           std::to_wstring(limits.maxEntries);
}

} // namespace files
