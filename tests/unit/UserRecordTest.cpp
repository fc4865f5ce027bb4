#include "identity/UserRecord.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/ScopedInstall.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

using namespace RunTime::User;
using testsupport::failureOf;

// One row of fixed columns; nothing marks NULL.
class FixedRow : public AccountRow {
public:
    explicit FixedRow(std::map<std::wstring, std::optional<std::wstring>> columns)
        : columns_(std::move(columns)) {}
    bool lookup(const std::wstring& column, std::wstring* value) override {
        auto it = columns_.find(column);
        if (it == columns_.end()) throw vexception(L"Unexpected query for column " + column);
        if (!it->second) return false;
        *value = *it->second;
        return true;
    }

private:
    std::map<std::wstring, std::optional<std::wstring>> columns_;
};

class FixedRecords : public AccountRecords {
public:
    std::optional<std::map<std::wstring, std::optional<std::wstring>>> row;
    std::wstring lastQuery;
    std::wstring escape(const std::wstring& text) override {
        std::wstring out;
        for (wchar_t c : text) {
            if (c == L'\'' || c == L'\\') out += L'\\';
            out += c;
        }
        return out;
    }
    std::unique_ptr<AccountRow> firstRow(const std::wstring& query) override {
        lastQuery = query;
        return row ? std::make_unique<FixedRow>(*row) : nullptr;
    }
};

using ScopedRecords = testsupport::ScopedInstall<AccountRecords, installAccountRecords>;

class UserRecordTest : public ::testing::Test {
protected:
    UserRecordTest() : scoped(records) {}
    FixedRecords records;
    ScopedRecords scoped;
    long id = -7;
    std::wstring home = L"unchanged", password = L"unchanged";
    bool disabled = false;
};

TEST_F(UserRecordTest, TheQueryEscapesTheLogin) {
    userInfoFromDB(L"o'ne\\two", &id, &home, &password, &disabled);
    EXPECT_EQ(records.lastQuery, L"SELECT u.id, u.home, a.password, u.shell FROM sys_users u LEFT OUTER JOIN "
                                 L"accounts a ON a.id = u.account_id WHERE u.login = 'o\\'ne\\\\two'");
    // No row: the outputs stay as they were.
    EXPECT_EQ(id, -7);
    EXPECT_EQ(home, L"unchanged");
    EXPECT_FALSE(disabled);
}

TEST_F(UserRecordTest, ARowFillsWhatIsAsked) {
    records.row = {{{L"id", L"42"},
                    {L"home", L"C:\\inetpub\\vhosts\\a.com"},
                    {L"password", L"s3cret"},
                    {L"shell", L"login disabled"}}};
    userInfoFromDB(L"alice", &id, &home, &password, &disabled);
    EXPECT_EQ(id, 42);
    EXPECT_EQ(home, L"C:\\inetpub\\vhosts\\a.com");
    EXPECT_EQ(password, L"s3cret");
    EXPECT_TRUE(disabled);
    records.row->at(L"shell") = L"/bin/false";
    userInfoFromDB(L"alice", nullptr, nullptr, nullptr, &disabled);
    EXPECT_FALSE(disabled);
}

TEST_F(UserRecordTest, NullsReadAsTheirDefaultsOrFail) {
    records.row = {
        {{L"id", L"42"}, {L"home", L"C:\\h"}, {L"password", std::nullopt}, {L"shell", std::nullopt}}};
    userInfoFromDB(L"alice", nullptr, nullptr, &password, &disabled);
    EXPECT_EQ(password, L"");
    EXPECT_TRUE(disabled);

    records.row = {
        {{L"id", std::nullopt}, {L"home", std::nullopt}, {L"password", L"p"}, {L"shell", L"/bin/sh"}}};
    password = L"unchanged";
    auto e = failureOf<vexception>([&] { userInfoFromDB(L"alice", &id, &home, &password, &disabled); });
    EXPECT_EQ(e.message(), L"Unable to get user (alice) id");
    ASSERT_EQ(e.contexts().size(), 1u);
    EXPECT_EQ(e.contexts()[0].message, L"Get user password failed:");
    EXPECT_EQ(e.contexts()[0].origin, "RunTime::User::userInfoFromDB");
    // Nothing half-done: no output was written.
    EXPECT_EQ(password, L"unchanged");
    EXPECT_EQ(id, -7);
    e = failureOf<vexception>([&] { userInfoFromDB(L"alice", nullptr, &home, nullptr, nullptr); });
    EXPECT_EQ(e.message(), L"Unable to get user (alice) home");
    records.row->at(L"id") = L"12abc";
    e = failureOf<vexception>([&] { userInfoFromDB(L"alice", &id, nullptr, nullptr, nullptr); });
    EXPECT_EQ(e.message(), L"Unable to get user (alice) id");
}

TEST_F(UserRecordTest, DatabaseFailuresKeepTheirText) {
    records.row = {{{L"id", L"1"}}};
    auto e = failureOf<vexception>([&] { userInfoFromDB(L"alice", nullptr, &home, nullptr, nullptr); });
    EXPECT_EQ(e.message(), L"Unexpected query for column home");
}

} // namespace
