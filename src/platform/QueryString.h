// Platform calls of the "ask the size, then fill" kind (GetLongPathNameW, GetCurrentDirectoryW,
// GetTempPathW and the like), run to their text.
#pragma once
#include <string>

#include <windows.h>

namespace platform {

// Runs `call(buffer, size, &length)` (a platform call that reports the length it needs when the
// buffer is too small): the text, or the error of the call that failed (*sizeQuery tells whether
// it was the first, size-only call).
template <class Call> DWORD queryString(Call call, std::wstring* out, bool* sizeQuery = nullptr) {
    DWORD needed = 0;
    if (sizeQuery) *sizeQuery = true;
    if (DWORD e = call(nullptr, 0, &needed)) return e;
    if (sizeQuery) *sizeQuery = false;
    for (int round = 0; round < 4; ++round) {
        std::wstring buffer(needed, L'\0');
        DWORD length = 0;
        if (DWORD e = call(buffer.data(), needed, &length)) return e;
        if (length < needed) {
            buffer.resize(length);
            *out = std::move(buffer);
            return ERROR_SUCCESS;
        }
        needed = length; // the text grew between the calls
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

} // namespace platform
