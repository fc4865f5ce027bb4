// Values of the panel's configuration key HKLM "SOFTWARE\Tarnis\TNA Config\Config".
#pragma once
#include <optional>
#include <string>

#include <windows.h>

namespace config {

inline constexpr const wchar_t* kConfigKey = L"SOFTWARE\\Tarnis\\TNA Config\\Config";

// Nothing when the key or the value cannot be opened or queried; a value of another type or
// size raises a plain error.
std::optional<DWORD> readDword(const wchar_t* name);
std::optional<std::wstring> readString(const wchar_t* name);

} // namespace config
