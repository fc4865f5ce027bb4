#include "commands/files/TemporaryName.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"

#include <algorithm>

#include <rpc.h>

namespace files {

std::wstring createGuidString(bool random) {
    UUID uuid{};
    RPC_STATUS status = random ? UuidCreate(&uuid) : UuidCreateSequential(&uuid);
    if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) raiseRunTimeError(status, L"Unable to create GUID");
    RPC_WSTR text = nullptr;
    if ((status = UuidToStringW(&uuid, &text)) != RPC_S_OK) raiseRunTimeError(status, L"Unable to create GUID");
    std::wstring out(reinterpret_cast<wchar_t*>(text));
    RpcStringFreeW(&text);
    return out;
}

std::wstring temporaryName(const std::wstring& directory, const std::wstring& input, int attempts) {
    std::wstring base = pathpolicy::normalizePath(L"", directory);
    if (base.back() != L'\\') base += L'\\';
    std::wstring prefix = input;
    while (!prefix.empty() && prefix.back() == L'\\') prefix.pop_back();
    if (std::any_of(prefix.begin(), prefix.end(),
                    [](wchar_t c) { return c < 32 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos; }))
        raiseRunTimeError(ERROR_INVALID_NAME, L"Unable to create temporary name in (%s)",
                          pathpolicy::displayPath(base));
    const int budget = std::max(attempts, 1);
    for (int i = 0; i < budget; ++i) {
        std::wstring guid = createGuidString(false);
        std::wstring candidate = base + (prefix.empty() ? L"{" + guid + L"}" : L"{" + prefix + L"-" + guid + L"}");
        if (!exists(candidate)) return candidate;
    }
    raiseRunTimeError(0, L"Unable to create temporary name in (%s)", pathpolicy::displayPath(directory));
}

} // namespace files
