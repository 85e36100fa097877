#include "Polypad/Courses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct TDirectionCase {
    const char* Text;
    double Degrees;
};

// Every written form of a direction angle reads as the same decimal degrees.
TEST(CourseDirectionReading, TableTextAndSeparatedParts)
{
    const double d453015 = 45 + 30 / 60.0 + 15 / 3600.0;
    const TDirectionCase cases[] = {
        {"45°30'15\"", d453015},
        {"45-30-15", d453015},
        {"45 30 15", d453015},
        {"  45  30  15 ", d453015},
        {"45-30", 45.5},
        {"45°30'", 45.5},
        {"45°", 45},
        {"45°30'15.5\"", 45 + 30 / 60.0 + 15.5 / 3600.0},
        {"45-30-15,5", 45 + 30 / 60.0 + 15.5 / 3600.0},
        {"0-0-0", 0},
        {"359-59-59.9", 359 + 59 / 60.0 + 59.9 / 3600.0},
        {"7-5-3", 7 + 5 / 60.0 + 3 / 3600.0},
    };
    for (const TDirectionCase& c : cases)
        EXPECT_NEAR(ParseCourseDirection(c.Text), c.Degrees, 1e-12) << c.Text;
}

// r from the north or south end of X: СВ r, ЮВ 180 - r, ЮЗ 180 + r, СЗ 360 - r, including the
// edge values 0 and 90 and the Latin names.
TEST(CourseDirectionReading, QuadrantBearings)
{
    const TDirectionCase cases[] = {
        {"СВ 30-15-0", 30.25},      {"ЮВ 30-15-0", 149.75},    {"ЮЗ:30°15'0\"", 210.25},
        {"СЗ 30 15 0", 329.75},     {"NE 30-15", 30.25},       {"se:30-15", 149.75},
        {"SW 30-15", 210.25},       {"nw 30-15", 329.75},      {"св 30-15", 30.25},
        {"СВ 0-0-0", 0},            {"ЮВ 0-0-0", 180},         {"ЮЗ 0-0-0", 180},
        {"СЗ 0-0-0", 0},            {"СВ 90-0-0", 90},         {"ЮВ 90-0-0", 90},
        {"ЮЗ 90-0-0", 270},         {"СЗ 90°0'0\"", 270},      {"СЗ: 0-0-1", 360 - 1 / 3600.0},
    };
    for (const TDirectionCase& c : cases)
        EXPECT_NEAR(ParseCourseDirection(c.Text), c.Degrees, 1e-12) << c.Text;
}

TEST(CourseDirectionReading, RefusesWhatIsNotAnAngle)
{
    struct TBad {
        const char* Text;
        const char* Message;
    };
    const TBad cases[] = {
        {"45", "направление «45» не читается"}, // a bare number could be decimal degrees
        {"45.5", "направление «45.5» не читается"},
        {"45-60-0", "направление «45-60-0» не читается"},
        {"45-30-60", "направление «45-30-60» не читается"},
        {"-45-30", "направление «-45-30» не читается"},
        {"45--30", "направление «45--30» не читается"},
        {"45-30-", "направление «45-30-» не читается"},
        {"45-30-15-0", "направление «45-30-15-0» не читается"},
        {"45°30", "направление «45°30» не читается"},
        {"45-30-1e1", "направление «45-30-1e1» не читается"},
        {"север 45-0-0", "направление «север 45-0-0» не читается"},
        {"СВ", "направление «СВ» не читается"},
        {"", "направление «» не читается"},
        {"360-0-0", "направление «360-0-0» не меньше 360°"},
        {"СВ 90-0-1", "угол румба «СВ 90-0-1» больше 90°"},
        {"ЮЗ 135-0-0", "угол румба «ЮЗ 135-0-0» больше 90°"},
    };
    for (const TBad& c : cases) {
        try {
            ParseCourseDirection(c.Text);
            ADD_FAILURE() << c.Text << " was read";
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

TEST(CourseTextReading, StartVertexCoursesAndConvexities)
{
    const TCourseList list = ReadCourses("452310.25\t1385120,5\r\n"
                                         "\r\n"
                                         "79-36-40\t61\n"
                                         "ЮВ 18-55-29\t74,125\t0.25\n"
                                         "228°53'16\"\t73\t\n",
                                         '.', true, true);
    ASSERT_TRUE(list.Start.has_value());
    EXPECT_EQ(list.Start->X, 452310.25);
    EXPECT_EQ(list.Start->Y, 1385120.5);
    ASSERT_EQ(list.Courses.size(), 3u);
    EXPECT_NEAR(list.Courses[0].Direction, 79 + 36 / 60.0 + 40 / 3600.0, 1e-12);
    EXPECT_EQ(list.Courses[0].Length, 61);
    EXPECT_EQ(list.Courses[0].Convexity, 0);
    EXPECT_NEAR(list.Courses[1].Direction, 180 - (18 + 55 / 60.0 + 29 / 3600.0), 1e-12);
    EXPECT_EQ(list.Courses[1].Length, 74.125);
    EXPECT_EQ(list.Courses[1].Convexity, 0.25);
    EXPECT_EQ(list.Courses[2].Convexity, 0);

    // Into a table that has rows the courses start at its current vertex: no start line.
    const TCourseList courses = ReadCourses("10-0-0\t5\n", '.', false, false);
    EXPECT_FALSE(courses.Start.has_value());
    EXPECT_EQ(courses.Courses.size(), 1u);
}

TEST(CourseTextReading, BadLinesNameTheirNumberAndTheFault)
{
    struct TBad {
        const char* Text;
        bool StartAllowed;
        bool StartRequired;
        const char* Message;
    };
    const TBad cases[] = {
        {"0\t0\n10-0-0\t5\n45\t5\n", true, true, "Строка 3: направление «45» не читается"},
        {"10-0-0\t0\n", false, false, "Строка 1: длина «0» не больше нуля"},
        {"10-0-0\t-3\n", false, false, "Строка 1: длина «-3» не больше нуля"},
        {"10-0-0\t5\n\n10-0-0\tabc\n", false, false, "Строка 3: длина «abc» не читается"},
        {"10-0-0\t5\tx\n", false, false, "Строка 1: кривизна дуги «x» не читается"},
        {"10-0-0\t5\t0\t1\n", false, false, "Строка 1: больше трёх полей"},
        {"10-0-0\n", false, false, "Строка 1: нужны направление и длина через табуляцию"},
        {"10-0-0\t5\n", true, true, "Строка 1: первой строкой нужна начальная точка: X и Y через табуляцию"},
        {"100\t200\n10-0-0\t5\n", false, false, "Строка 1: начальная точка задаётся только для пустой таблицы"},
        {"100\t200\t0\n10-0-0\t5\n", true, true, "Строка 1: начальная точка — два числа, X и Y"},
        {"100\n10-0-0\t5\n", true, true, "Строка 1: начальная точка — два числа, X и Y"},
        {"100\t200\n", true, true, "Строка 1: нет ни одного курса"},
        {"", false, false, "Строка 1: нет ни одного курса"},
        {"СЗ 91-0-0\t5\n", false, false, "Строка 1: угол румба «СЗ 91-0-0» больше 90°"},
    };
    for (const TBad& c : cases) {
        try {
            ReadCourses(c.Text, '.', c.StartAllowed, c.StartRequired);
            ADD_FAILURE() << c.Text << " was read";
        } catch (const ECourseError& e) {
            EXPECT_STREQ(e.what(), c.Message) << c.Text;
        }
    }
}

TEST(CourseTextReading, PasteLimitsHold)
{
    std::string text;
    for (int i = 0; i < 10002; ++i)
        text += "10-0-0\t1\n";
    EXPECT_THROW(ReadCourses(text, '.', false, false), ERangeError);
    EXPECT_THROW(ReadCourses("10-0-0\t1\t\t\t\t\t\t\t\t\t\t\t1\n", '.', false, false), ERangeError);
}

// A square of cardinal courses comes back onto its start exactly.
TEST(TraverseVertexComputation, CardinalCoursesCloseExactly)
{
    const TCourse courses[] = {{0, 10.001, 0}, {90, 10.001, 0.5}, {180, 10.001, 0}, {270, 10.001, 0}};
    const auto rows = TraverseVertices(FloatPoint(6543210.123, 2345678.456), courses);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Y, 2345678.456);
    EXPECT_EQ(rows[1].ArcConvexity, 0.5);
    EXPECT_EQ(rows[3].X, 6543210.123);
    EXPECT_EQ(rows[3].Y, 2345678.456);
}

// A long traverse far from the origin, lengths to the millimetre: every vertex within 1e-7 of an
// independent sum of the increments (each course's increment from its own radians), which
// rounding each vertex before adding the next would miss by far more.
// An exact sum of doubles: non-overlapping parts whose sum is the value (Shewchuk's expansion).
class TExactSum {
public:
    void Add(double value)
    {
        std::vector<double> parts;
        for (const double part : FParts) {
            const double sum = value + part;
            const double bv = sum - value;
            const double error = (value - (sum - bv)) + (part - bv);
            if (error != 0)
                parts.push_back(error);
            value = sum;
        }
        parts.push_back(value);
        FParts = std::move(parts);
    }
    // A long double exactly, as two doubles.
    void Add(long double value)
    {
        const double high = static_cast<double>(value);
        Add(high);
        Add(static_cast<double>(value - high));
    }
    long double Value() const
    {
        long double total = 0;
        for (const double part : FParts) // smallest first
            total += part;
        return total;
    }

private:
    std::vector<double> FParts;
};

// Ten thousand courses from a start far from the origin: each vertex is the start plus the
// exact sum of the increments, to within a few units of the last place. Summed in plain double
// the vertices drift by 4.6e-8.
TEST(TraverseVertexComputation, LongTraverseKeepsFullPrecision)
{
    std::vector<TCourse> courses;
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int i = 0; i < 10000; ++i) {
        const int deg = static_cast<int>(next() % 360), min = static_cast<int>(next() % 60),
                  sec = static_cast<int>(next() % 60);
        const double length = static_cast<double>(next() % 500000 + 1) / 1000; // 0.001 .. 500 m
        courses.push_back({deg + min / 60.0 + sec / 3600.0, length, 0});
    }
    const TFloatPoint start = FloatPoint(7123456.789, 1234567.891);
    const auto rows = TraverseVertices(start, courses);
    ASSERT_EQ(rows.size(), courses.size());
    TExactSum x, y;
    x.Add(start.X);
    y.Add(start.Y);
    const long double pi = 3.141592653589793238462643383279502884L;
    double worst = 0;
    for (std::size_t i = 0; i < courses.size(); ++i) {
        const long double a = static_cast<long double>(courses[i].Direction) * pi / 180;
        x.Add(courses[i].Length * std::cos(a));
        y.Add(courses[i].Length * std::sin(a));
        worst = std::max({worst, std::fabs(rows[i].X - static_cast<double>(x.Value())),
                          std::fabs(rows[i].Y - static_cast<double>(y.Value()))});
    }
    EXPECT_LT(worst, 5e-9);
}

} // namespace
