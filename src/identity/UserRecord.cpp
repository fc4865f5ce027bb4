#include "identity/UserRecord.h"

#include "app/Exceptions.h"
#include "app/Guard.h"
#include "app/Text.h"
#include "identity/DatabaseAccountRecords.h"

#include <cerrno>
#include <cwchar>
#include <utility>

namespace RunTime::User {
namespace {

// The origin the panel's logs have always shown for a failed look-up of the account record.
constexpr const char* kUserInfoOrigin = "RunTime::User::userInfoFromDB";

AccountRecords* installed = nullptr;

long parseId(const std::wstring& login, const std::wstring& value) {
    wchar_t* end = nullptr;
    errno = 0;
    long id = std::wcstol(value.c_str(), &end, 10);
    if (value.empty() || *end != L'\0' || errno == ERANGE)
        raiseRunTimeError(0, L"Unable to get user (%s) id", login);
    return id;
}

} // namespace

AccountRecords& accountRecords() {
    static DatabaseAccountRecords panelDatabase;
    return installed ? *installed : panelDatabase;
}

AccountRecords* installAccountRecords(AccountRecords* records) {
    return std::exchange(installed, records);
}

std::wstring accountQuery(const std::wstring& escapedLogin) {
    return L"SELECT u.id, u.home, a.password, u.shell FROM sys_users u LEFT OUTER JOIN accounts a ON a.id = "
           L"u.account_id WHERE u.login = '" +
           escapedLogin + L"'";
}

void userInfoFromDB(const std::wstring& login, long* id, std::wstring* home, std::wstring* password,
                    bool* loginDisabled) {
    guarded({L"Get user password failed:", kUserInfoOrigin}, [&] {
        try {
            AccountRecords& records = accountRecords();
            std::unique_ptr<AccountRow> row = records.firstRow(accountQuery(records.escape(login)));
            if (!row) return;
            // Every value is read before any output is written: a failure leaves them unchanged.
            std::wstring idValue, homeValue, passwordValue, shell;
            long parsedId = 0;
            if (id) {
                if (!row->lookup(L"id", &idValue)) raiseRunTimeError(0, L"Unable to get user (%s) id", login);
                parsedId = parseId(login, idValue);
            }
            if (home && !row->lookup(L"home", &homeValue))
                raiseRunTimeError(0, L"Unable to get user (%s) home", login);
            if (password && !row->lookup(L"password", &passwordValue)) passwordValue.clear();
            bool disabled = true;
            if (loginDisabled && row->lookup(L"shell", &shell))
                disabled = text::equalNoCase(shell, L"Login Disabled");
            if (id) *id = parsedId;
            if (home) *home = homeValue;
            if (password) *password = passwordValue;
            if (loginDisabled) *loginDisabled = disabled;
        } catch (const vexception& e) {
            throwRunTimeError(0, e.message());
        }
    });
}

} // namespace RunTime::User
