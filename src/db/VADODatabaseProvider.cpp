#include "db/VADODatabaseProvider.h"

#include "app/Log.h"
#include "app/Registry.h"
#include "app/Text.h"
#include "db/VADORecordSetProvider.h"

namespace db {
namespace {

constexpr long kStateOpen = 1;
// The origin the panel's logs have always shown for a connection that failed to open.
constexpr const char* kConnectOrigin = "VADODatabaseProvider::connect";

std::wstring comErrorText(const _com_error& e) {
    _bstr_t description = e.Description();
    if (description.length()) return static_cast<const wchar_t*>(description);
    return e.ErrorMessage() ? e.ErrorMessage() : L"";
}

} // namespace

std::wstring VADODatabaseProvider::quoteValue(const std::wstring& value) {
    std::wstring quoted = L"\"";
    for (wchar_t c : value) {
        if (c == L'"') quoted += L'"';
        quoted += c;
    }
    return quoted + L'"';
}

std::wstring VADODatabaseProvider::maskPassword(const std::wstring& connectionString) {
    static const std::wstring key = L"password=";
    std::wstring masked;
    size_t i = 0;
    while (i < connectionString.size()) {
        bool atKey = (i == 0 || connectionString[i - 1] == L';') &&
                     text::equalNoCase(connectionString.substr(i, key.size()), key);
        if (!atKey) {
            masked += connectionString[i++];
            continue;
        }
        masked += connectionString.substr(i, key.size()) + L"*****";
        i += key.size();
        // Skip the value: quoted (doubled quotes inside) or up to the next ';'.
        if (i < connectionString.size() && (connectionString[i] == L'"' || connectionString[i] == L'\'')) {
            wchar_t quote = connectionString[i++];
            while (i < connectionString.size()) {
                if (connectionString[i] == quote) {
                    if (i + 1 < connectionString.size() && connectionString[i + 1] == quote) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        }
        while (i < connectionString.size() && connectionString[i] != L';')
            ++i;
    }
    return masked;
}

void VADODatabaseProvider::connect(const DatabaseSettings& settings) {
    std::wstring text = connectionString(settings);
    auto fail = [&](const std::wstring& reason) {
        lastError_ = reason;
        raisePlainError(format(L"Unable to ADO conect with connection string: %s", maskPassword(text)),
                        {reason, kConnectOrigin});
    };
    Dispatch fresh = Dispatch::create(L"ADODB.Connection");
    if (!fresh) fail(L"ADO is not installed");
    try {
        if (auto timeout = config::readDword(L"ADOConnectionTimeout"))
            fresh.put(L"ConnectionTimeout", _variant_t(static_cast<long>(*timeout)));
        if (auto timeout = config::readDword(L"ADOCommandTimeout"))
            fresh.put(L"CommandTimeout", _variant_t(static_cast<long>(*timeout)));
        fresh.call(L"Open", {_variant_t(text.c_str())});
    } catch (const _com_error& e) {
        fail(comErrorText(e));
    }
    connection_ = std::move(fresh);
    lastError_.clear();
}

bool VADODatabaseProvider::isConnected() {
    try {
        return connection_ && static_cast<long>(connection_.get(L"State")) == kStateOpen;
    } catch (const _com_error&) {
        return false;
    }
}

std::unique_ptr<IDatabaseRecordSet> VADODatabaseProvider::query(const std::wstring& text) {
    LogManager::instance().log(0, L"ADO query: %s", text);
    if (!connection_) raisePlainError(L"Not connected to the database");
    try {
        return std::make_unique<VADORecordSetProvider>(
            connection_.getObject(L"Execute", {_variant_t(text.c_str())}));
    } catch (const _com_error& e) {
        lastError_ = comErrorText(e);
        raisePlainError(format(L"Can't query %s: %s", text, lastError_));
    }
}

void VADODatabaseProvider::execute(const std::wstring& text) {
    LogManager::instance().log(0, L"ADO query: %s", text);
    if (!connection_) raisePlainError(L"Not connected to the database");
    try {
        connection_.call(L"Execute", {_variant_t(text.c_str())});
    } catch (const _com_error& e) {
        lastError_ = comErrorText(e);
        raisePlainError(format(L"Can't execute %s: %s", text, lastError_));
    }
}

std::wstring VADODatabaseProvider::escape(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\'') escaped += L'\'';
        escaped += c;
    }
    return escaped;
}

std::wstring VADODatabaseProvider::version() {
    try {
        Dispatch property = connection_.getObject(L"Properties", {_variant_t(L"DBMS Version")});
        return VADORecordSetProvider::text(property.get(L"Value")).value_or(L"");
    } catch (const _com_error& e) {
        raisePlainError(L"Unable to get VADODatabaseProvider version", ErrorContext{comErrorText(e)});
    }
}

} // namespace db
