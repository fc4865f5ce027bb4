#include "db/DatabaseConnection.h"

namespace db {

DatabaseConnection::DatabaseConnection(bool connectNow, SettingsSource* source, std::wstring host)
    : source_(source ? source : &panelSource_), host_(std::move(host)) {
    settings_ = DatabaseSettings::read(*source_, host_);
    provider_ = IDatabaseProvider::create(settings_.provider);
    // A reconnect takes the settings as they are now: the password may have been changed since.
    provider_->setReconnect([this] {
        settings_ = DatabaseSettings::read(*source_, host_);
        connect();
    });
    if (connectNow) connect();
}

void DatabaseConnection::connect() {
    connected_ = false;
    provider_->connect(settings_);
    connected_ = true;
}

void DatabaseConnection::ensureConnected() {
    if (!connected_) connect();
}

VRecordSet DatabaseConnection::query(const std::wstring& text) {
    ensureConnected();
    return VRecordSet(provider_->query(text));
}

void DatabaseConnection::execute(const std::wstring& text) {
    ensureConnected();
    provider_->execute(text);
}

std::wstring DatabaseConnection::escape(const std::wstring& text) {
    ensureConnected();
    return provider_->escape(text);
}

} // namespace db
