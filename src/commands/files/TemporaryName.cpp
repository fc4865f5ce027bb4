#include "commands/files/TemporaryName.h"

#include "app/Exceptions.h"
#include "commands/files/FileHelpers.h"

#include <algorithm>

#include <rpc.h>

namespace files {
namespace {

// RPC_S_UUID_LOCAL_ONLY only says the UUID is unique on this machine, which is all a name needs.
void checkStatus(RPC_STATUS status) {
    if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY)
        raiseRunTimeError(status, L"Unable to create GUID");
}

bool fitsInName(wchar_t c) {
    return c >= 0x20 && std::wstring_view(L"\\/:*?\"<>|").find(c) == std::wstring_view::npos;
}

} // namespace

std::wstring createGuidString(bool random) {
    UUID uuid{};
    checkStatus(random ? UuidCreate(&uuid) : UuidCreateSequential(&uuid));
    RPC_WSTR text = nullptr;
    checkStatus(UuidToStringW(&uuid, &text));
    std::wstring result(reinterpret_cast<wchar_t*>(text));
    RpcStringFreeW(&text);
    return result;
}

std::wstring temporaryLeaf(const std::wstring& prefix, const std::wstring& guid) {
    std::wstring p = prefix;
    while (!p.empty() && p.back() == L'\\')
        p.pop_back();
    if (!std::all_of(p.begin(), p.end(), fitsInName))
        raiseRunTimeError(ERROR_INVALID_NAME, L"The prefix (%s) is invalid", prefix);
    return p.empty() ? L"{" + guid + L"}" : L"{" + p + L"-" + guid + L"}";
}

paths::NormalPath temporaryName(const paths::NormalPath& directory, const std::wstring& prefix, int attempts) {
    for (int i = std::max(attempts, 1); i > 0; --i) {
        paths::NormalPath candidate = directory.join(temporaryLeaf(prefix, createGuidString(false)));
        if (!exists(candidate)) return candidate;
    }
    raiseRunTimeError(0, L"Unable to create temporary name in (%s)", directory.display());
}

} // namespace files
