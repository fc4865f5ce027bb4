// Where the panel database is and how to log in: each setting from the panel configuration
// (through the management service), overridden by the environment, with a default when neither
// answers.
#pragma once
#include <optional>
#include <string>

namespace db {

// The three places a setting can come from. Every read answers nothing when the value is not
// there (a service that cannot be reached included).
class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    virtual std::optional<std::wstring> configuration(const std::wstring& name) = 0;
    virtual std::optional<std::wstring> storedPassword(const std::wstring& name) = 0;
    virtual std::optional<std::wstring> environment(const std::wstring& name) = 0;
};

// The management service of the panel and the process environment.
class PanelSettingsSource : public SettingsSource {
public:
    std::optional<std::wstring> configuration(const std::wstring& name) override;
    std::optional<std::wstring> storedPassword(const std::wstring& name) override;
    std::optional<std::wstring> environment(const std::wstring& name) override;
};

struct DatabaseSettings {
    std::wstring provider;
    std::wstring host;
    std::wstring login;
    std::wstring database;
    std::wstring password;
    unsigned port = 0;
    std::wstring socket;

    // Reads every setting. A caller-supplied host wins over everything; an environment variable
    // counts only when set and not empty. A port that is not a decimal number from 1 to 65535
    // raises "Invalid database port %s" instead of connecting somewhere else.
    static DatabaseSettings read(SettingsSource& source, const std::wstring& callerHost = L"");
};

} // namespace db
