// The account record of the panel database: id, home directory, password and shell of a login.
#pragma once
#include <memory>
#include <string>

namespace RunTime::User {

// One row of a query result, read by column name: false for NULL; a column the query does not
// have raises.
class AccountRow {
public:
    virtual ~AccountRow() = default;
    virtual bool lookup(const std::wstring& column, std::wstring* value) = 0;
};

// The part of the panel database the account record needs.
class AccountRecords {
public:
    virtual ~AccountRecords() = default;
    // The text made safe inside single quotes.
    virtual std::wstring escape(const std::wstring& text) = 0;
    // The first row of the query's result; null when there is none.
    virtual std::unique_ptr<AccountRow> firstRow(const std::wstring& query) = 0;
};

// The records the program reads: the panel database unless a substitute is installed.
AccountRecords& accountRecords();
AccountRecords* installAccountRecords(AccountRecords* records);

// The query that reads the record of `escapedLogin`.
std::wstring accountQuery(const std::wstring& escapedLogin);

// Fills the outputs that are given from the record of `login`; a login without a record leaves
// them unchanged. A missing id or home raises; a missing password reads as empty; the login is
// disabled when the shell is "Login Disabled" in any letter case or missing. Every failure is
// raised as a run-time error carrying its text.
void userInfoFromDB(const std::wstring& login, long* id, std::wstring* home, std::wstring* password,
                    bool* loginDisabled);

} // namespace RunTime::User
