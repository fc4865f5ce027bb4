#include "app/Registry.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"

namespace config {
namespace {

platform::RegKey openConfig() {
    platform::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
        return {};
    return key;
}

} // namespace

std::optional<DWORD> readDword(const wchar_t* name) {
    platform::RegKey key = openConfig();
    if (!key) return std::nullopt;
    DWORD type = 0, value = 0, size = sizeof value;
    LONG rc = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof value)))
        raisePlainError(format(L"Registry value %s is not a DWORD", name));
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::optional<std::wstring> readString(const wchar_t* name) {
    platform::RegKey key = openConfig();
    if (!key) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

} // namespace config
