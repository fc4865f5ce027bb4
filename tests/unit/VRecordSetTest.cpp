#include "db/VRecordSet.h"

#include "support/FailureOf.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testsupport::failureOf;

// Rows from a table; std::nullopt is NULL.
class TableRows : public db::IDatabaseRecordSet {
public:
    TableRows(std::vector<std::wstring> columns, std::vector<std::vector<std::optional<std::wstring>>> rows)
        : columns_(std::move(columns)), rows_(std::move(rows)) {}
    bool hasRow() const override { return current_ < rows_.size(); }
    int columnIndex(const std::wstring& name) const override {
        for (size_t i = 0; i < columns_.size(); ++i)
            if (columns_[i] == name) return static_cast<int>(i);
        return -1;
    }
    std::optional<std::wstring> value(int index) const override { return rows_.at(current_).at(index); }
    void next() override { ++current_; }

private:
    std::vector<std::wstring> columns_;
    std::vector<std::vector<std::optional<std::wstring>>> rows_;
    size_t current_ = 0;
};

VRecordSet userRows() {
    return VRecordSet(std::make_unique<TableRows>(
        std::vector<std::wstring>{L"id", L"home", L"password", L"shell"},
        std::vector<std::vector<std::optional<std::wstring>>>{
            {L"4", std::nullopt, std::nullopt, L""}, {L"5", L"C:\\home", L"pw", L"Login Disabled"}}));
}

TEST(VRecordSet, NullLeavesTheOutputAndGivesTheDefault) {
    VRecordSet rows = userRows();
    std::wstring home = L"unchanged";
    EXPECT_FALSE(rows.lookup(L"home", home));
    EXPECT_EQ(home, L"unchanged");
    EXPECT_EQ(rows.get(L"password", L"default"), L"default");
    std::wstring shell = L"unchanged";
    EXPECT_TRUE(rows.lookup(L"shell", shell)); // empty is a value, not NULL
    EXPECT_EQ(shell, L"");
    rows.next();
    EXPECT_TRUE(rows.lookup(L"home", home));
    EXPECT_EQ(home, L"C:\\home");
    EXPECT_EQ(rows.get(L"password", L"default"), L"pw");
    rows.next();
    EXPECT_FALSE(rows.hasRow());
}

TEST(VRecordSet, UnknownColumnIsAnError) {
    VRecordSet rows = userRows();
    std::wstring value = L"unchanged";
    auto lookup = failureOf([&] { rows.lookup(L"login", value); });
    EXPECT_EQ(lookup.message(), L"Unexpected query for column login");
    ASSERT_EQ(lookup.contexts().size(), 1u);
    EXPECT_EQ(lookup.contexts()[0].origin, "VRecordSet::lookup");
    EXPECT_EQ(lookup.contexts()[0].line, 648);
    EXPECT_EQ(value, L"unchanged");
    auto get = failureOf([&] { rows.get(L"login"); });
    EXPECT_EQ(get.message(), L"Unexpected query for column login");
    EXPECT_EQ(get.contexts()[0].origin, "VRecordSet::get");
    EXPECT_EQ(get.contexts()[0].line, 629);
}

TEST(VRecordSet, ReadingPastTheLastRowIsAnError) {
    VRecordSet rows = userRows();
    rows.next();
    rows.next();
    std::wstring value = L"unchanged";
    EXPECT_EQ(failureOf([&] { rows.lookup(L"id", value); }).message(), L"No current row in the query result");
    EXPECT_EQ(value, L"unchanged");
}

} // namespace
