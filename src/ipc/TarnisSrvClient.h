// Client of the panel's management service ("\\.\pipe\tnapipe"): panel settings, extended
// settings, stored passwords and component information. One shared instance per process.
#pragma once
#include <string>

class TarnisSrvClient {
public:
    static TarnisSrvClient& getInstance();

    std::wstring getString(const std::wstring& name);
    std::wstring getExtString(const std::wstring& section, const std::wstring& name);
    std::wstring getPassword(const std::wstring& name);
    void setPassword(const std::wstring& name, const std::wstring& password);
    std::wstring componentInfo(const std::wstring& package, int kind);
};
