// The copy's number and angle texts are built without printf, pow and nearbyint for speed; these
// tests hold them byte for byte to the printf-based texts they replaced, over random and edge
// values.
#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"
#include "Polypad/DegreesUtils.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/Coordinates.h"
#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The former implementations, kept here as the reference.
double ReferenceRoundToDigits(double v, int digits)
{
    const double q = static_cast<double>(std::pow(10.0L, -digits));
    const long double steps = std::nearbyint(static_cast<long double>(v) / q);
    return static_cast<double>(q * steps);
}

std::string ReferenceFormatGeneral(double v, char separator)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    if (v == 0)
        return "0";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(v));
    std::string digits;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int e = static_cast<int>(std::strtol(p + 1, nullptr, 10)) + 1;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string text = v < 0 ? "-" : "";
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            text += '0';
            text += separator;
            text.append(static_cast<std::size_t>(-e), '0');
            text += digits;
        } else if (digits.size() <= static_cast<std::size_t>(e)) {
            text += digits;
            text.append(static_cast<std::size_t>(e) - digits.size(), '0');
        } else {
            text += digits.substr(0, static_cast<std::size_t>(e));
            text += separator;
            text += digits.substr(static_cast<std::size_t>(e));
        }
    } else {
        text += digits[0];
        if (digits.size() > 1) {
            text += separator;
            text += digits.substr(1);
        }
        text += 'E' + std::to_string(e - 1);
    }
    return text;
}

std::string ReferenceFormatDegrees(long double angle)
{
    const long double kRadToDeg = 57.295779513082320877L;
    if (angle < 0)
        angle += (std::trunc(std::fabs(angle / kTwoPi)) + 1) * kTwoPi;
    const long double a = angle * kRadToDeg;
    auto frac = [](long double v) { return v - std::trunc(v); };
    auto d = static_cast<std::int32_t>(std::trunc(a));
    auto m = static_cast<std::int32_t>(std::trunc(frac(a) * 60));
    auto s = static_cast<std::int32_t>(std::nearbyint(frac(frac(a) * 60) * 60));
    if (s >= 60) {
        m += s / 60;
        s %= 60;
    }
    if (m >= 60) {
        d += m / 60;
        m %= 60;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d%s%d'%d\"", static_cast<int>(d % 360), kDegreeSign, static_cast<int>(m),
                  static_cast<int>(s));
    return buffer;
}

double FromBits(std::uint64_t bits)
{
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Edge values: signs, zero, tiny and huge magnitudes, ties at 15 digits and at the rounding
// step, notation boundaries, and numbers just beside them.
std::vector<double> EdgeValues()
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1,
                                  0.5,
                                  1.5,
                                  2.5,
                                  -2.5,
                                  0.125,
                                  1e-4,
                                  9.99999999999999e-5,
                                  1e15,
                                  999999999999999.0,
                                  999999999999999.5,
                                  1000000000000005.0,  // a tie at the 15th digit
                                  1000000000000015.0,
                                  1000000000000025.0,
                                  123456789012345.5,
                                  0.30000000000000004,
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::epsilon(),
                                  4503599627370496.0,  // 2^52
                                  4503599627370497.0,
                                  9007199254740993.0,
                                  452310.45,
                                  1385120.305,
                                  0.00005,
                                  0.00015,
                                  2.675,
                                  1.0000000000000002};
    for (int p = -40; p <= 40; ++p) {
        const double power = std::pow(10.0, p);
        values.push_back(power);
        values.push_back(std::nextafter(power, 0.0));
        values.push_back(std::nextafter(power, 1e308));
        values.push_back(5 * power);
        values.push_back(0.5 * power + power);
    }
    const std::size_t count = values.size();
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(-values[i]);
    return values;
}

std::vector<double> RandomValues(int count)
{
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> coordinate(-2e7, 2e7);
    std::uniform_int_distribution<int> decimals(0, 9);
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(coordinate(random));
        // Any bit pattern: every exponent, denormals, NaN and infinities.
        values.push_back(FromBits(random()));
        // Short decimals, which are where halfway cases after rounding live.
        const double scale = std::pow(10.0, decimals(random));
        values.push_back(std::nearbyint(coordinate(random) * scale) / scale + 0.5 / scale);
    }
    return values;
}

} // namespace

TEST(NumberTextEquivalence, GeneralFormatMatchesPrintfDigits)
{
    std::vector<double> values = EdgeValues();
    const std::vector<double> random = RandomValues(100000);
    values.insert(values.end(), random.begin(), random.end());
    int mismatches = 0;
    for (double v : values)
        for (char separator : {'.', ','})
            if (FormatGeneral(v, separator) != ReferenceFormatGeneral(v, separator) && ++mismatches <= 10)
                ADD_FAILURE() << std::hexfloat << v << ": " << FormatGeneral(v, separator) << " instead of "
                              << ReferenceFormatGeneral(v, separator);
    EXPECT_EQ(mismatches, 0);

    std::string appended = "x";
    AppendGeneral(appended, -1.5e-7, ',');
    EXPECT_EQ(appended, "x-1,5E-7");
}

TEST(NumberTextEquivalence, RoundedNumbersMatchPowNearbyintAndPrintf)
{
    std::vector<double> values = EdgeValues();
    const std::vector<double> random = RandomValues(20000);
    values.insert(values.end(), random.begin(), random.end());
    int mismatches = 0;
    for (double v : values) {
        for (int digits : {-37, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 37}) {
            const double got = RoundToDigits(v, digits);
            const double want = ReferenceRoundToDigits(v, digits);
            const bool same = std::isnan(want) ? std::isnan(got) : std::memcmp(&got, &want, sizeof got) == 0;
            if (!same && ++mismatches <= 10)
                ADD_FAILURE() << std::hexfloat << v << " to " << digits << ": " << got << " instead of " << want;
            // The copy's shortcut from the number of steps to the digits.
            std::string text;
            AppendRounded(text, v, digits, ',');
            if (text != ReferenceFormatGeneral(want, ',') && ++mismatches <= 10)
                ADD_FAILURE() << std::hexfloat << v << " to " << digits << ": " << text << " instead of "
                              << ReferenceFormatGeneral(want, ',');
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberTextEquivalence, RoundTiesToEvenIsNearbyintBitForBit)
{
    std::vector<long double> values = {0.5L, 1.5L, 2.5L, -0.5L, -1.5L, -2.5L, 0.49999999999999999L, -0.3L, -0.0L,
                                        0.0L, 4503599627370495.5L, 4503599627370496.5L, 9223372036854775807.0L,
                                        1e30L, -1e30L, std::numeric_limits<long double>::infinity(),
                                        -std::numeric_limits<long double>::infinity(),
                                        std::numeric_limits<long double>::denorm_min()};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(wide(random));
        values.push_back(std::nearbyint(wide(random)) + 0.5L);
    }
    for (long double v : values) {
        const long double got = RoundTiesToEven(v);
        const long double want = std::nearbyint(v);
        ASSERT_TRUE(got == want && std::signbit(got) == std::signbit(want)) << v;
    }
    EXPECT_TRUE(std::isnan(RoundTiesToEven(std::numeric_limits<long double>::quiet_NaN())));
}

// RoundTiesToEven takes the whole number the unit gives in its current rounding mode and corrects
// it; a caller that leaves the unit rounding up, down or towards zero still gets rounding to
// nearest. Values just beside the halves are the ones a wrong correction would move.
TEST(NumberTextEquivalence, RoundTiesToEvenIsTheSameInEveryRoundingMode)
{
    std::vector<long double> values = {0.3L, -0.3L, 0.7L, -0.7L, 0.5L, -0.5L, 1.5L, -2.5L, 1e-300L, -1e-300L, 0.0L,
                                       -0.0L, 4503599627370495.5L, -4503599627370495.5L, 123456789.5L};
    for (long double k : {0.0L, 1.0L, 2.0L, 7.0L, -1.0L, -4.0L, 1e6L, 1e15L + 2}) {
        const long double h = k + 0.5L;
        values.push_back(std::nextafter(h, k));
        values.push_back(std::nextafter(h, k + 1));
    }
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i)
        values.push_back(wide(random));

    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        int mismatches = 0;
        for (long double v : values) {
            const long double got = RoundTiesToEven(v);
            std::fesetround(FE_TONEAREST);
            const long double want = std::nearbyint(v);
            std::fesetround(mode);
            if (!(got == want && std::signbit(got) == std::signbit(want)) && ++mismatches <= 10)
                ADD_FAILURE() << "mode " << mode << ": " << static_cast<double>(v) << " rounds to "
                              << static_cast<double>(got) << " instead of " << static_cast<double>(want);
        }
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(mismatches, 0) << "mode " << mode;
    }
}

TEST(NumberTextEquivalence, DegreesTextMatchesPrintf)
{
    std::vector<long double> angles = {0, kPi, kTwoPi, -kPi / 2, kTwoPi - 1e-12L, 1e-9L, -1e-9L, 1000 * kTwoPi};
    // Seconds that round to 60 and carry, and halfway seconds.
    for (int d = 0; d < 360; d += 7)
        for (int m = 0; m < 60; m += 13) {
            angles.push_back(DMSToRad(d, m, 59.5L));
            angles.push_back(DMSToRad(d, m, 59.4999999L));
            angles.push_back(DMSToRad(d, m, 30.5L));
        }
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> turn(-20, 20);
    for (int i = 0; i < 100000; ++i)
        angles.push_back(turn(random));
    for (long double a : angles)
        ASSERT_EQ(FormatDegrees(a), ReferenceFormatDegrees(a)) << static_cast<double>(a);
}

TEST(NumberTextEquivalence, BothVertexAnglesAtOnceMatchTheSingleGetters)
{
    TTable table(std::make_unique<FixedAxesHost>());
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> coordinate(-1000, 1000);
    for (int i = 0; i < 200; ++i)
        table.AddRow(FloatPoint(coordinate(random), coordinate(random)), 0);
    table.AddRow(table.GetVertex(199), 0); // a repeated vertex has the angle 0
    for (bool closed : {false, true}) {
        table.SetClosed(closed);
        std::string left, right;
        for (std::int32_t i = 0; i < table.Count(); ++i) {
            table.GetVertexAngleTexts(i, left, right);
            ASSERT_EQ(left, table.GetLeftAngleText(i)) << i;
            ASSERT_EQ(right, table.GetRightAngleText(i)) << i;
        }
    }
}

// The copy lays each line out itself from the angles and numbers; every subset of the column
// groups must give what the grid's own cell getters give, joined as the copy joins them: no
// field lost, moved or doubled, "null" where a row has no angle, arc pieces only where the arc
// can be built.
TEST(NumberTextEquivalence, CopyTextMatchesTheCellGetters)
{
    TTable table(std::make_unique<FixedAxesHost>());
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> coordinate(-1000, 1000);
    std::uniform_real_distribution<double> convexity(-1.5, 1.5);
    // Mid-table, a repeated vertex: no angle and an arc that cannot be built; the last row's
    // angle takes the closing edge to row 0.
    for (int i = 0; i < 60; ++i) {
        table.AddRow(FloatPoint(452000 + coordinate(random), 1385000 + coordinate(random)), i % 4 == 1 ? convexity(random) : 0);
        if (i == 30) {
            table.AddRow(table.GetVertex(i), 0.5);
            table.AddRow(table.GetVertex(i), 0);
        }
    }
    const int digits = 3;
    auto reference = [&](const TColumnGroups& visible) {
        std::string text;
        for (std::int32_t i = 0; i < table.Count(); ++i) {
            std::vector<std::string> fields;
            auto number = [&](double v) { fields.push_back(ReferenceFormatGeneral(ReferenceRoundToDigits(v, digits), ',')); };
            if (visible[cgPointNumber])
                fields.push_back(std::to_string(i + 1));
            if (visible[cgCoordinates]) {
                number(table.GetX(i));
                number(table.GetY(i));
            }
            if (visible[cgEdgeLength] && table.GetEdgeLength(i) != -1)
                number(table.GetEdgeLength(i));
            if (visible[cgLeftAngle])
                fields.push_back(table.GetLeftAngleText(i));
            if (visible[cgRightAngle])
                fields.push_back(table.GetRightAngleText(i));
            if (visible[cgDirectionAngle])
                fields.push_back(table.GetDirectionAngleText(i));
            const double b = table.GetArcConvexity(i);
            if (visible[cgArcConvexity] && b != 0)
                number(b);
            const double radius = b != 0 ? table.GetArcRadius(i) : -1;
            if (visible[cgArcCenter] && radius != -1) {
                number(table.GetArcCenterX(i));
                number(table.GetArcCenterY(i));
            }
            if (visible[cgArcRadius] && radius != -1)
                number(radius);
            for (std::size_t f = 0; f < fields.size(); ++f)
                text += (f ? "\t" : "") + fields[f];
            text += '\n';
        }
        if (!text.empty())
            text.pop_back();
        return text;
    };
    for (bool closed : {false, true}) {
        table.SetClosed(closed);
        for (unsigned mask = 0; mask < (1u << kColumnGroupCount); mask += closed ? 7 : 11) {
            TColumnGroups visible{};
            for (int g = 0; g < kColumnGroupCount; ++g)
                visible[static_cast<std::size_t>(g)] = (mask >> g) & 1;
            ASSERT_EQ(BuildClipboardText(table, visible, digits, ','), reference(visible)) << "groups " << mask;
        }
        TColumnGroups all;
        all.fill(true);
        ASSERT_EQ(BuildClipboardText(table, all, digits, ','), reference(all));
    }
}
