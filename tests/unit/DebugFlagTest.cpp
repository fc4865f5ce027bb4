#include "app/DebugFlag.h"
#include "platform/Handle.h"
#include "support/InProcess.h"

#include <gtest/gtest.h>

namespace {

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
    {
        // Change the value without resetting the counter.
        platform::RegKey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnis\\TNA Config\\Config", 0, KEY_SET_VALUE,
                                key.receive()),
                  ERROR_SUCCESS);
        DWORD zero = 0;
        RegSetValueExW(key.get(), L"Debug", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    }
    for (int q = 2; q <= 16; ++q) EXPECT_TRUE(debugflag::query()) << q;
    EXPECT_FALSE(debugflag::query()); // query 17 reads again
}

TEST(DebugFlag, AFailedReadTurnsOnlyThatQueryOff) {
    testsupport::ScopedConfigDword on(L"Debug", 1);
    EXPECT_TRUE(debugflag::query()); // query 1 reads 1
    platform::RegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnis\\TNA Config\\Config", 0, KEY_SET_VALUE,
                            key.receive()),
              ERROR_SUCCESS);
    // A value of the wrong type cannot be read as the flag.
    const wchar_t text[] = L"yes";
    RegSetValueExW(key.get(), L"Debug", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    for (int q = 2; q <= 16; ++q)
        EXPECT_TRUE(debugflag::query()) << q;
    EXPECT_FALSE(debugflag::query()); // query 17 fails to read
    EXPECT_TRUE(debugflag::query());  // query 18 answers the last value read
}

} // namespace
