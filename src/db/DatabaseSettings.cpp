#include "db/DatabaseSettings.h"

#include "app/Exceptions.h"
#include "ipc/TarnisSrvClient.h"

#include <windows.h>

#include <vector>

namespace db {
namespace {

constexpr const wchar_t* kDefaultProvider = L"MySQL";
constexpr const wchar_t* kDefaultHost = L"localhost";
constexpr const wchar_t* kDefaultLogin = L"admin";
constexpr const wchar_t* kDefaultDatabase = L"tna";
constexpr const wchar_t* kDefaultPort = L"8306";

std::optional<std::wstring> nonEmpty(std::optional<std::wstring> value) {
    if (value && value->empty()) return std::nullopt;
    return value;
}

// The environment override when there is one, else the configuration value, else the default.
std::wstring pick(SettingsSource& source, const wchar_t* environmentName, const wchar_t* configurationName,
                  const wchar_t* fallback) {
    if (environmentName)
        if (auto value = nonEmpty(source.environment(environmentName))) return *value;
    if (configurationName)
        if (auto value = source.configuration(configurationName)) return *value;
    return fallback;
}

unsigned parsePort(const std::wstring& text) {
    unsigned long value = 0;
    bool valid = !text.empty() && text.size() <= 5;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            valid = false;
            break;
        }
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    if (!valid || value == 0 || value > 65535) raisePlainError(format(L"Invalid database port %s", text));
    return static_cast<unsigned>(value);
}

} // namespace

std::optional<std::wstring> PanelSettingsSource::configuration(const std::wstring& name) {
    try {
        return TarnisSrvClient::getInstance().getString(name);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::wstring> PanelSettingsSource::storedPassword(const std::wstring& name) {
    try {
        return TarnisSrvClient::getInstance().getPassword(name);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::wstring> PanelSettingsSource::environment(const std::wstring& name) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD length =
            GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::wstring();
        }
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length);
    }
}

DatabaseSettings DatabaseSettings::read(SettingsSource& source, const std::wstring& callerHost) {
    DatabaseSettings settings;
    settings.provider = pick(source, nullptr, L"TARNIS_DATABASE_PROVIDER_NAME", kDefaultProvider);
    settings.host =
        callerHost.empty() ? pick(source, L"TARNIS_DB_HOST", L"MySQL_DB_HOST", kDefaultHost) : callerHost;
    settings.login = pick(source, L"TARNIS_DB_LOGIN", L"TARNIS_DATABASE_LOGIN", kDefaultLogin);
    settings.database = pick(source, L"TARNIS_DB_NAME", L"mySQLDBName", kDefaultDatabase);
    if (auto password = nonEmpty(source.environment(L"TARNIS_DB_PASSWD")))
        settings.password = *password;
    else
        settings.password = source.storedPassword(L"pwd").value_or(L"");
    settings.port = parsePort(pick(source, L"TARNIS_DB_PORT", L"MySQL_DB_PORT", kDefaultPort));
    settings.socket = pick(source, L"TARNIS_DB_SOCK", nullptr, L"");
    return settings;
}

} // namespace db
