#include "app/DebugFlag.h"
#include "app/Registry.h"
#include "platform/Handle.h"
#include "support/InProcess.h"

#include <gtest/gtest.h>

namespace {

// Writes the flag's value behind the cache: the query counter is not reset.
void writeBehindTheCache(DWORD type, const void* data, DWORD size) {
    platform::RegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, config::kConfigKey, 0, KEY_SET_VALUE, key.receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), L"Debug", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
}

TEST(DebugFlag, AbsentOrZeroIsOffAnyOtherValueIsOn) {
    // Each scope makes the next query read the registry again.
    for (auto [value, expected] : {std::pair<std::optional<DWORD>, bool>{std::nullopt, false}, {0, false}, {1, true}, {7, true}}) {
        testsupport::ScopedConfigDword debug(L"Debug", value);
        EXPECT_EQ(debugflag::query(), expected);
    }
}

TEST(DebugFlag, CachedValueHoldsUntilTheSeventeenthQuery) {
    testsupport::ScopedConfigDword on(L"Debug", 1);
    EXPECT_TRUE(debugflag::query()); // query 1 reads 1
    DWORD zero = 0;
    writeBehindTheCache(REG_DWORD, &zero, sizeof zero);
    for (int q = 2; q <= 16; ++q) EXPECT_TRUE(debugflag::query()) << q;
    EXPECT_FALSE(debugflag::query()); // query 17 reads again
}

TEST(DebugFlag, AFailedReadTurnsOnlyThatQueryOff) {
    testsupport::ScopedConfigDword on(L"Debug", 1);
    EXPECT_TRUE(debugflag::query()); // query 1 reads 1
    // A value of the wrong type cannot be read as the flag.
    const wchar_t text[] = L"yes";
    writeBehindTheCache(REG_SZ, text, sizeof text);
    for (int q = 2; q <= 16; ++q)
        EXPECT_TRUE(debugflag::query()) << q;
    EXPECT_FALSE(debugflag::query()); // query 17 fails to read
    EXPECT_TRUE(debugflag::query());  // query 18 answers the last value read
}

} // namespace
