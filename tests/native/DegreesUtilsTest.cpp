// Angle texts: degrees, minutes and seconds as shown in the grid and read back from it.
#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"
#include "Polypad/DegreesUtils.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

const std::string kDeg = "\xC2\xB0"; // U+00B0 in UTF-8

std::string Dms(const std::string& d, const std::string& m, const std::string& s)
{
    return d + kDeg + m + "'" + s + "\"";
}

long double Degrees(long double d) { return d * kPi / 180; }

TEST(DegreesFormat, DegreeSignAndEditMaskAreUtf8)
{
    EXPECT_EQ(std::string(kDegreeSign), kDeg);
    EXPECT_EQ(std::string(kDegreesEditMask), "999" + kDeg + "99'99\"");
}

TEST(DegreesFormat, FormatsWholeDegreesMinutesSeconds)
{
    struct Case { long double radians; std::string text; };
    const Case cases[] = {
        {0, Dms("0", "0", "0")},
        {kPi / 2, Dms("90", "0", "0")},
        {kPi, Dms("180", "0", "0")},
        {2 * kPi, Dms("0", "0", "0")},
        {-kPi / 2, Dms("270", "0", "0")},
        {-5 * kPi / 2, Dms("270", "0", "0")},
        {Degrees(359.9999L), Dms("0", "0", "0")}, // carries through to 360 and wraps
        {Degrees(12.5L), Dms("12", "30", "0")},
        {Degrees(1 + 2 / 60.0L + 3 / 3600.0L), Dms("1", "2", "3")},
        {Degrees(7 + 59.51L / 3600), Dms("7", "1", "0")}, // seconds round up to the next minute
        {Degrees(7 + 59.4L / 3600), Dms("7", "0", "59")},
        {Degrees(45 + 59 / 60.0L + 59.6L / 3600), Dms("46", "0", "0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatDegrees(c.radians), c.text);
    }
}

TEST(DegreesFormat, EveryWholeDmsSurvivesTheRoundTripThroughRadians)
{
    for (int d : {0, 1, 9, 45, 89, 90, 179, 180, 269, 270, 359})
        for (int m : {0, 1, 30, 59})
            for (int s : {0, 1, 29, 30, 59}) {
                const std::string text = Dms(std::to_string(d), std::to_string(m), std::to_string(s));
                SCOPED_TRACE(text);
                // Through a double, as the table stores angles.
                const double radians = static_cast<double>(DMSToRad(d, m, s));
                ASSERT_EQ(FormatDegrees(radians), text);
                EXPECT_NEAR(ParseDegrees(text), d + m / 60.0 + s / 3600.0, 1e-12 * (1 + d));
            }
}

TEST(DegreesFormat, UnrepresentableAnglesRaiseRangeError)
{
    EXPECT_THROW(FormatDegrees(std::numeric_limits<long double>::quiet_NaN()), ERangeError);
    EXPECT_THROW(FormatDegrees(-std::numeric_limits<long double>::infinity()), ERangeError);
    EXPECT_THROW(FormatDegrees(1e12L), ERangeError);
    EXPECT_THROW(
        {
            try {
                FormatDegrees(std::numeric_limits<long double>::infinity());
            } catch (const ERangeError& e) {
                EXPECT_STREQ(e.what(), "Range check error");
                throw;
            }
        },
        ERangeError);
}

TEST(DegreesClean, KeepsOnlyDigitsAndTheThreeSigns)
{
    struct Case { std::string in, out; };
    const Case cases[] = {
        {" 45" + kDeg + "_7'_1\"", Dms("45", "7", "1")},
        {"-12,5" + kDeg + " 3.0' x\"", "125" + kDeg + "30'\""},
        {"", ""},
        {"abc _", ""},
        // Cyrillic "а" (D0 B0) and "§" (C2 A7) share a byte with the degree sign but are dropped.
        {"\xD0\xB0" "1\xC2\xA7" + kDeg + "2", "1" + kDeg + "2"},
        {kDeg + kDeg + "''\"\"", kDeg + kDeg + "''\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CleanDegreesText(c.in), c.out);
    }
}

TEST(DegreesParse, ReadsDecimalDegreesFromCleanedText)
{
    struct Case { std::string text; double degrees; };
    const Case cases[] = {
        {Dms("12", "30", "0"), 12.5},
        {Dms("", "", ""), 0},
        {Dms("1", "2", "3"), 1 + 2 / 60.0 + 3 / 3600.0},
        {Dms("", "30", ""), 0.5},
        {Dms("0", "90", "0"), 1.5},  // minutes beyond 59 simply add
        {Dms("0", "0", "90"), 0.025},
        {Dms("400", "0", "0"), 400}, // not reduced modulo 360
        {Dms("007", "00", "36"), 7.01},
        {CleanDegreesText(" 45" + kDeg + "_7'_1\""), 45 + 7 / 60.0 + 1 / 3600.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(ParseDegrees(c.text), c.degrees, 1e-12 * (1 + c.degrees));
    }
}

TEST(DegreesParse, BadFieldsRaiseConversionErrorNamingTheField)
{
    struct Case { std::string text, message; };
    const Case cases[] = {
        {"1'2" + kDeg + "3\"", "'1'2' is not a valid integer value"},                   // signs out of order
        {"1" + kDeg + "2\"3'", "'2\"3' is not a valid integer value"},                  // quote before apostrophe
        {Dms("1", "2" + kDeg + "3", "4"), "'2" + kDeg + "3' is not a valid integer value"}, // sign twice
        {Dms("9999999999", "0", "0"), "'9999999999' is not a valid integer value"},     // beyond 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseDegrees(c.text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(DegreesParse, TextLackingASignIsNotAnAngle)
{
    const std::string cases[] = {"45", "", "45" + kDeg + "30'", "45'30\"", "45" + kDeg + "30\""};
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        try {
            ParseDegrees(text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid angle value");
        }
    }
}

} // namespace
