#include "app/Exceptions.h"
#include "commands/files/CatTouch.h"

#include <gtest/gtest.h>

namespace {

using touchstamp::Fields;

std::string show(const std::optional<Fields>& f) {
    if (!f) return "invalid";
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", f->year, f->month, f->day, f->hour, f->minute,
             f->second);
    return buffer;
}

std::string fields(std::string_view stamp, bool obsolescent = false) {
    return show(touchstamp::parseFields(stamp, obsolescent, 2024));
}

TEST(TouchStamp, YearsComeFromTheLeadingPairsOrTheCurrentYear) {
    EXPECT_EQ(fields("200102031405.09"), "2001-02-03 14:05:09");
    EXPECT_EQ(fields("02031405"), "2024-02-03 14:05:00");
    EXPECT_EQ(fields("6901010000"), "1969-01-01 00:00:00");
    EXPECT_EQ(fields("6801010000"), "2068-01-01 00:00:00");
    EXPECT_EQ(fields("0001010000"), "2000-01-01 00:00:00");
    EXPECT_EQ(fields("9912312359.61"), "1999-12-31 23:59:61");
    EXPECT_EQ(fields("190001010000"), "1900-01-01 00:00:00");
}

TEST(TouchStamp, RefusesMalformedTextAndFieldsOutOfRange) {
    for (const char* bad : {"180001010000", "0203140", "020314051", "02031405123", "0203140512345", "0203140a",
                            "02031405.9", "02031405.123", "02031405.ab", "02031405.62", "13011200", "00011200",
                            "01321200", "01002400", "01012360", "", ".", "-2031405", "0203 1405"})
        EXPECT_EQ(fields(bad), "invalid") << bad;
}

TEST(TouchStamp, ObsolescentFormPutsTheYearLastAndHasNoSeconds) {
    EXPECT_EQ(fields("0203140501", true), "2001-02-03 14:05:00");
    EXPECT_EQ(fields("02031405", true), "2024-02-03 14:05:00");
    EXPECT_EQ(fields("0203140569", true), "1969-02-03 14:05:00");
    for (const char* bad : {"02031405.09", "200102031405", "020314050", "1301120001"})
        EXPECT_EQ(fields(bad, true), "invalid") << bad;
}

// The tests run with TZ=UTC, so local time is UTC.
TEST(TouchStamp, LocalConversionCarriesDaysAndRaisesOnFailure) {
    EXPECT_EQ(touchstamp::parse("200102031405.09", false), 981209109);
    EXPECT_EQ(touchstamp::parse("0203140501", true), 981209100);
    EXPECT_EQ(touchstamp::parse("206801010000", false), 3092601600);
    // 31 February is carried into March as the runtime's conversion does.
    EXPECT_EQ(touchstamp::localSeconds(Fields{2001, 2, 31, 0, 0, 0}), touchstamp::localSeconds(Fields{2001, 3, 3, 0, 0, 0}));
    try {
        touchstamp::parse("2001023", false);
        FAIL() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid date format (2001023)");
    }
}

} // namespace
