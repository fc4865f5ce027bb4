#include "paths/ReservedNames.h"

#include <gtest/gtest.h>

namespace {

using paths::isReservedDeviceName;
using paths::ReservedNames;

TEST(ReservedNames, TheDeviceNameIsWhatStandsBeforeTheFirstDotOrColon) {
    for (const wchar_t* name : {L"CON", L"con", L"Nul", L"nul.txt", L"nul .txt", L"NUL  ", L"aux:stream",
                                L"clock$", L"CLOCK$.log", L"com1", L"COM9.tar.gz", L"lpt5", L"prn."}) {
        EXPECT_TRUE(isReservedDeviceName(name, ReservedNames::Policy)) << name;
        EXPECT_TRUE(isReservedDeviceName(name, ReservedNames::Extraction)) << name;
    }
    for (const wchar_t* name : {L"", L".", L"console", L"nul_", L"xnul", L" nul", L"com10", L"com", L"lpt",
                                L"clock", L"a.nul", L"conin", L"COM1x.txt", L"\u00fcnul"}) {
        EXPECT_FALSE(isReservedDeviceName(name, ReservedNames::Policy)) << name;
        EXPECT_FALSE(isReservedDeviceName(name, ReservedNames::Extraction)) << name;
    }
}

TEST(ReservedNames, UnpackingRefusesTheWiderList) {
    for (const wchar_t* name : {L"COM0", L"lpt0.txt", L"conin$", L"CONOUT$.x", L"COM\u00b9", L"com\u00b2.log",
                                L"COM\u00b3", L"LPT\u00b9", L"lpt\u00b2 .txt", L"LPT\u00b3:s"}) {
        EXPECT_FALSE(isReservedDeviceName(name, ReservedNames::Policy)) << name;
        EXPECT_TRUE(isReservedDeviceName(name, ReservedNames::Extraction)) << name;
    }
    // Only the three superscript digits that some Windows versions open as ports.
    EXPECT_FALSE(isReservedDeviceName(L"COM\u2074", ReservedNames::Extraction));
}

} // namespace
