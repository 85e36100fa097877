// Plane geometry: distances, direction angles, the chord frame, arcs by convexity,
// degree splitting and rectangle growth.
#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kEps = 1e-12;
const double kPiD = static_cast<double>(kPi);
const double kTanPi8 = std::tan(kPiD / 8);      // quarter circle
const double kTan3Pi8 = std::tan(3 * kPiD / 8); // three-quarter circle

TFloatPoint P(double x, double y) { return FloatPoint(x, y); }

void ExpectPointNear(TFloatPoint p, double x, double y, double eps = kEps)
{
    EXPECT_NEAR(p.X, x, eps);
    EXPECT_NEAR(p.Y, y, eps);
}

void ExpectRectEq(const TFloatRect& r, const TFloatRect& e)
{
    EXPECT_EQ(r.X1, e.X1);
    EXPECT_EQ(r.Y1, e.Y1);
    EXPECT_EQ(r.X2, e.X2);
    EXPECT_EQ(r.Y2, e.Y2);
}

TEST(GeometPoints, SamePointIsExactAndDistanceIsEuclidean)
{
    EXPECT_TRUE(SamePoint(P(1.5, -2), P(1.5, -2)));
    EXPECT_TRUE(SamePoint(P(0.0, 0.0), P(-0.0, -0.0)));
    EXPECT_FALSE(SamePoint(P(1, 1), P(std::nextafter(1.0, 2.0), 1)));
    EXPECT_FALSE(SamePoint(P(1, 1), P(1, std::nextafter(1.0, 0.0))));

    EXPECT_DOUBLE_EQ(Distance(P(1, 2), P(4, 6)), 5.0);
    EXPECT_DOUBLE_EQ(Distance(P(4, 6), P(1, 2)), 5.0);
    EXPECT_EQ(Distance(P(7, 7), P(7, 7)), 0.0);
    // The squares are summed in extended precision, so 1e200 does not overflow.
    EXPECT_NEAR(Distance(P(0, 0), P(3e200, 4e200)) / 5e200, 1.0, kEps);
}

TEST(GeometPoints, DirectionAngleCoversFullTurnFromPlusX)
{
    struct Case { TFloatPoint a, b; double expected; };
    const Case cases[] = {
        {P(0, 0), P(1, 0), 0},          {P(0, 0), P(0, 1), kPiD / 2},         {P(0, 0), P(-1, 0), kPiD},
        {P(0, 0), P(0, -1), 3 * kPiD / 2}, {P(0, 0), P(1, -1), 7 * kPiD / 4}, {P(5, 5), P(4, 6), 3 * kPiD / 4},
        {P(3, 3), P(3, 3), 0}, // coincident points
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.b.X << ", " << c.b.Y << ")");
        const double a = DirectionAngle(c.a, c.b);
        EXPECT_NEAR(a, c.expected, kEps);
        EXPECT_TRUE(a >= 0 && a < 2 * kPiD);
    }
}

TEST(GeometFrame, UAxisRunsToTargetAndVIsUTurnedByPlus90)
{
    TCoordSys f;
    f.InitPoints(P(1, 2), P(4, 6));
    EXPECT_NEAR(static_cast<double>(f.Len), 5.0, kEps);
    ExpectPointNear(f.ToLocal(P(1, 2)), 0, 0);
    ExpectPointNear(f.ToLocal(P(4, 6)), 5, 0);

    // U along +Y, so +V must point along -X (the frame is never mirrored).
    f.InitPoints(P(1, 1), P(1, 3));
    ExpectPointNear(f.ToLocal(P(0, 1)), 0, 1);
    ExpectPointNear(f.ToLocal(P(2, 2)), 1, -1);
    ExpectPointNear(f.ToGlobal(P(2, 1)), 0, 3);

    f.InitPoints(P(1000.25, -300.5), P(-20.75, 77.125));
    for (TFloatPoint p : {P(0, 0), P(1e4, -2e4), P(-333.3, 444.4)})
        ExpectPointNear(f.ToGlobal(f.ToLocal(p)), p.X, p.Y, 1e-11 * (1 + std::fabs(p.X) + std::fabs(p.Y)));
}

TEST(GeometFrame, CoincidentPointsFailTheAssertionWithUnitAndLine)
{
    TCoordSys f;
    try {
        f.InitPoints(P(2, 3), P(2, 3));
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        const std::string text = e.what(), prefix = "Assertion failure (CoreLib/Geomet.cpp, line ";
        ASSERT_GT(text.size(), prefix.size() + 1) << text;
        EXPECT_EQ(text.substr(0, prefix.size()), prefix);
        EXPECT_EQ(text.back(), ')');
        const std::string line = text.substr(prefix.size(), text.size() - prefix.size() - 1);
        EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << text;
    }
}

// Chord (0,0)-(2,0): the centre lies on +Y for 0 < K < 1 and the sweep has the sign of K.
TEST(GeometArc, ArcByConvexityGivesCentreAndSignedSweep)
{
    const double h = (1 - 0.005 * 0.005) / (2 * 0.005); // H * cot(theta / 2), closed form
    struct Case { double k, cx, cy, sweep; };
    const Case cases[] = {
        {kTanPi8, 1, 1, kPiD / 2},          {-kTanPi8, 1, -1, -kPiD / 2},
        {1, 1, 0, kPiD},                    {-1, 1, 0, -kPiD},
        {kTan3Pi8, 1, -1, 3 * kPiD / 2},    {-kTan3Pi8, 1, 1, -3 * kPiD / 2},
        {0.005, 1, h, 4 * std::atan(0.005)}, {-0.005, 1, -h, -4 * std::atan(0.005)}, // small-K branch
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "K = " << c.k);
        double sweep = 0;
        TFloatPoint centre;
        ASSERT_TRUE(ArcByConvexity(P(0, 0), P(2, 0), c.k, sweep, centre));
        ExpectPointNear(centre, c.cx, c.cy, kEps * (1 + std::fabs(c.cy)));
        EXPECT_NEAR(sweep, c.sweep, kEps);
    }
}

TEST(GeometArc, ArcByConvexityCentreIsEquidistantOnAnyChord)
{
    const TFloatPoint chords[][2] = {{P(10, 20), P(13, 24)}, {P(-5, 7), P(-5, -1)}, {P(1e5, 2e5), P(1e5 - 30, 2e5 + 40)}};
    for (const auto& chord : chords) {
        for (double k : {0.003, -0.009, 0.25, -0.7, 1.5, -3.0, 20.0}) {
            SCOPED_TRACE(testing::Message() << "K = " << k << ", start X " << chord[0].X);
            double sweep = 0;
            TFloatPoint centre;
            ASSERT_TRUE(ArcByConvexity(chord[0], chord[1], k, sweep, centre));
            const double r = Distance(centre, chord[0]);
            EXPECT_NEAR(Distance(centre, chord[1]), r, 1e-9 * r);
            EXPECT_NEAR(r, Distance(chord[0], chord[1]) * (1 + k * k) / (4 * std::fabs(k)), 1e-9 * r);
            EXPECT_NEAR(sweep, 4 * std::atan(k), 1e-9);
        }
    }
}

TEST(GeometArc, ArcByConvexityRejectsStraightEdgesAndCoincidentEnds)
{
    struct Case { TFloatPoint end; double k; bool exists; };
    const Case cases[] = {
        {P(2, 0), 0, false}, {P(2, 0), 1e-15, false}, {P(2, 0), -1e-15, false}, {P(2, 0), 1.1e-15, true},
        {P(0, 0), 0.5, false}, // end equals start
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "K = " << c.k);
        double sweep = 123;
        TFloatPoint centre = P(-7, -8);
        ASSERT_EQ(ArcByConvexity(P(0, 0), c.end, c.k, sweep, centre), c.exists);
        if (c.exists) {
            EXPECT_NEAR(centre.X, 1, kEps);
            EXPECT_GT(centre.Y, 1e14); // a centre far away on +Y
        } else {
            EXPECT_EQ(sweep, 123); // outputs untouched
            EXPECT_TRUE(SamePoint(centre, P(-7, -8)));
        }
    }
}

// Ends one unit in the last place apart: the centre of a half circle over them (the chord's
// middle) rounds onto an end, and no radius is left.
TEST(GeometArc, ArcByConvexityRejectsEndsTooCloseForACentre)
{
    const TFloatPoint start = P(1e6, 0);
    for (const TFloatPoint end : {P(std::nextafter(1e6, 2e6), 0), P(1e6, std::nextafter(0.0, 1.0))})
        for (double k : {1.0, -1.0}) {
            SCOPED_TRACE(testing::Message() << "end " << end.X << " " << end.Y << ", K = " << k);
            double sweep = 123;
            TFloatPoint centre = P(-7, -8);
            EXPECT_FALSE(ArcByConvexity(start, end, k, sweep, centre));
            EXPECT_EQ(sweep, 123);
        }
}

TEST(GeometArc, ConvexityByCenterTakesSignFromNegativeAndInvertsArcByConvexity)
{
    struct Case { TFloatPoint centre; bool negative; double expected; };
    const Case cases[] = {
        {P(1, 1), false, kTanPi8}, {P(1, -1), true, -kTanPi8}, {P(1, 0), false, 1}, {P(1, 0), true, -1},
        {P(1, -1), false, kTan3Pi8}, {P(1, 1), true, -kTan3Pi8}, // the longer arcs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "centre Y " << c.centre.Y << ", negative " << c.negative);
        EXPECT_NEAR(ConvexityByCenter(P(0, 0), c.centre, P(2, 0), c.negative), c.expected, kEps);
    }

    const TFloatPoint start = P(3, -4), end = P(-6, 2.5);
    for (double k : {0.002, -0.002, 0.3, -0.3, 0.999, -1.0, 2.0, -7.5}) {
        SCOPED_TRACE(testing::Message() << "K = " << k);
        double sweep = 0;
        TFloatPoint centre;
        ASSERT_TRUE(ArcByConvexity(start, end, k, sweep, centre));
        EXPECT_NEAR(ConvexityByCenter(start, centre, end, k < 0), k, 1e-9 * (1 + std::fabs(k)));
    }
}

TEST(GeometArc, AngleInSweepIncludesEndsAndWrapsByFullTurn)
{
    struct Case { double angle, start, sweep; bool inside; };
    const Case cases[] = {
        {0, 3 * kPiD / 2, kPiD, true},            // through 2*pi
        {kPiD / 2, kPiD, -kPiD / 2, true},        // end of a negative sweep
        {kPiD, 0, kPiD / 2, false},
        {kPiD / 2, 0, kPiD / 2, true},            // end of a positive sweep
        {0, 0, kPiD / 2, true},                   // start
        {3 * kPiD / 2, kPiD / 4, -kPiD, true},    // angle - 2*pi lies in [-3pi/4, pi/4]
        {kPiD / 2, kPiD / 4, -kPiD, false},
        {kPiD / 2, 3 * kPiD / 4, 3 * kPiD / 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.angle << " in " << c.start << " + " << c.sweep);
        EXPECT_EQ(AngleInSweep(c.angle, c.start, c.sweep), c.inside);
    }
}

TEST(GeometDegrees, RadToDMSNormalisesRoundsAndCarries)
{
    struct Case { long double radians; std::int32_t d, m, s; };
    const long double deg = kPi / 180;
    const Case cases[] = {
        {0, 0, 0, 0},          {kPi / 2, 90, 0, 0},   {-kPi / 2, 270, 0, 0},
        {-3 * kPi / 2, 90, 0, 0}, {-2 * kPi, 0, 0, 0}, {2 * kPi, 0, 0, 0}, {5 * kPi, 180, 0, 0},
        {29.99999L * deg, 30, 0, 0},  // seconds round to 60 and carry twice
        {359.9999L * deg, 0, 0, 0},   // the carry wraps 360 to 0
        {(12 + 34 / 60.0L + 56.4L / 3600) * deg, 12, 34, 56},
        {(12 + 34 / 60.0L + 56.6L / 3600) * deg, 12, 34, 57},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<double>(c.radians));
        std::int32_t d = -1, m = -1, s = -1;
        RadToDMS(c.radians, d, m, s);
        EXPECT_EQ(d, c.d);
        EXPECT_EQ(m, c.m);
        EXPECT_EQ(s, c.s);
    }

    std::int32_t d, m, s;
    EXPECT_THROW(RadToDMS(std::numeric_limits<long double>::quiet_NaN(), d, m, s), ERangeError);
    EXPECT_THROW(RadToDMS(std::numeric_limits<long double>::infinity(), d, m, s), ERangeError);
    EXPECT_THROW(RadToDMS(1e9L, d, m, s), ERangeError);
    EXPECT_NO_THROW(RadToDMS(3e7L, d, m, s)); // below about 3.7e7 the degrees still fit 32 bits
    EXPECT_TRUE(d >= 0 && d < 360);
}

TEST(GeometDegrees, DMSToRadSumsPartsAsGiven)
{
    const long double deg = kPi / 180;
    EXPECT_NEAR(static_cast<double>(DMSToRad(90, 0, 0)), kPiD / 2, kEps);
    EXPECT_NEAR(static_cast<double>(DMSToRad(1, 2, 3) / deg), 1 + 2 / 60.0 + 3 / 3600.0, kEps);
    EXPECT_NEAR(static_cast<double>(DMSToRad(0, 90, 7200) / deg), 3.5, kEps);   // minutes, seconds beyond 59
    EXPECT_NEAR(static_cast<double>(DMSToRad(-10, 30, 0) / deg), -9.5, kEps);   // negative part as is
    EXPECT_NEAR(static_cast<double>(DMSToRad(400, 0, 0) / deg), 400, 1e-10);    // not reduced
}

TEST(GeometRect, FloatRectAndNormalizeOrderTheBounds)
{
    ExpectRectEq(FloatRect(P(3, 1), P(1, 4)), {1, 1, 3, 4});
    TFloatRect s{5, 6, -5, -6};
    NormalizeRect(s);
    ExpectRectEq(s, {-5, -6, 5, 6});
}

TEST(GeometRect, IncludePointAndRectGrowEachBoundIndependently)
{
    struct Case { TFloatPoint p; TFloatRect expected; };
    const Case cases[] = {
        {P(1, 1), {0, 0, 2, 2}},  {P(0, 2), {0, 0, 2, 2}},  // inside and on the border: unchanged
        {P(-1, 1), {-1, 0, 2, 2}}, {P(3, 1), {0, 0, 3, 2}}, {P(1, -4), {0, -4, 2, 2}},
        {P(1, 5), {0, 0, 2, 5}},  {P(-1, 5), {-1, 0, 2, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.p.X << ", " << c.p.Y << ")");
        TFloatRect r{0, 0, 2, 2};
        IncludePoint(r, c.p);
        ExpectRectEq(r, c.expected);
        TFloatRect q{0, 0, 2, 2};
        IncludeRect(q, FloatRect(c.p, c.p));
        ExpectRectEq(q, c.expected);
    }
    TFloatRect r{0, 0, 2, 2};
    IncludeRect(r, TFloatRect{-1, 1, 1, 3});
    IncludeRect(r, TFloatRect{1, -5, 9, 0});
    ExpectRectEq(r, {-1, -5, 9, 3});

    // A NaN coordinate fails every ">=" test and becomes the lower bound.
    r = TFloatRect{0, 0, 2, 2};
    IncludePoint(r, P(std::numeric_limits<double>::quiet_NaN(), 1));
    EXPECT_TRUE(std::isnan(r.X1));
    EXPECT_EQ(r.X2, 2);
}

} // namespace
