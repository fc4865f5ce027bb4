// The panel database for one use: held on the caller's stack, it chooses the provider from the
// settings, connects (now or before the first statement), and connects again with fresh settings
// when the provider finds its connection lost.
#pragma once
#include "app/ComApartment.h"
#include "db/DatabaseSettings.h"
#include "db/IDatabaseProvider.h"
#include "db/VRecordSet.h"

#include <memory>
#include <string>

namespace db {

class DatabaseConnection {
public:
    // Settings come from the panel (management service and environment) unless a source is given;
    // a non-empty host wins over the configured one.
    explicit DatabaseConnection(bool connectNow = true, SettingsSource* source = nullptr,
                                std::wstring host = L"");
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    VRecordSet query(const std::wstring& text);
    void execute(const std::wstring& text);
    std::wstring escape(const std::wstring& text);

    IDatabaseProvider& provider() { return *provider_; }
    const DatabaseSettings& settings() const { return settings_; }
    bool connected() const { return connected_; }

private:
    void connect();
    void ensureConnected();

    com::Apartment com_;
    PanelSettingsSource panelSource_;
    SettingsSource* source_;
    std::wstring host_;
    DatabaseSettings settings_;
    std::unique_ptr<IDatabaseProvider> provider_;
    bool connected_ = false;
};

} // namespace db
