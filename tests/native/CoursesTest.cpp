#include "Polypad/Courses.h"

#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"
#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
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

// The paste's limits hold, and the message names the limit and the line.
TEST(CourseTextReading, PasteLimitsNameTheLine)
{
    std::string text;
    for (int i = 0; i < 10002; ++i)
        text += "10-0-0\t1\n";
    try {
        ReadCourses(text, '.', false, false);
        ADD_FAILURE() << "10002 lines were read";
    } catch (const ECourseError& e) {
        EXPECT_STREQ(e.what(), "Строка 10002: за один раз читается не больше 10001 строки");
    }
    text.resize(text.size() - 9); // 10001 lines read
    EXPECT_EQ(ReadCourses(text, '.', false, false).Courses.size(), 10001u);
    try {
        ReadCourses("10-0-0\t1\n10-0-0\t1\t\t\t\t\t\t\t\t\t\t\t1\n", '.', false, false);
        ADD_FAILURE() << "13 fields were read";
    } catch (const ECourseError& e) {
        EXPECT_STREQ(e.what(), "Строка 2: больше трёх полей");
    }
    // Empty fields after the course are nothing to refuse, however many.
    EXPECT_EQ(ReadCourses("10-0-0\t1\t\t\t\t\t\t\t\t\t\t\t\t\n", '.', false, false).Courses.size(), 1u);
}

// Texts that other programs write read as the lines mean: a UTF-8 byte order mark before the
// start line, lines ended by CR alone, blanks around the dashes of a direction.
TEST(CourseTextReading, OtherProgramsTexts)
{
    const TCourseList bom = ReadCourses("\xEF\xBB\xBF" "100\t200\n10-0-0\t5\n", '.', true, true);
    ASSERT_TRUE(bom.Start.has_value());
    EXPECT_EQ(bom.Start->X, 100);
    EXPECT_EQ(bom.Start->Y, 200);
    ASSERT_EQ(bom.Courses.size(), 1u);

    const TCourseList cr = ReadCourses("100\t200\r10-0-0\t5\r\r20-0-0\t6\r", '.', true, true);
    ASSERT_EQ(cr.Courses.size(), 2u);
    EXPECT_EQ(cr.Courses[1].Length, 6);
    EXPECT_EQ(cr.Courses[1].Line, 4); // the empty line between counts

    const TDirectionCase cases[] = {
        {"45 - 30 - 15", 45 + 30 / 60.0 + 15 / 3600.0},
        {"45 -30- 15", 45 + 30 / 60.0 + 15 / 3600.0},
        {"СВ 45 - 30", 45.5},
    };
    for (const TDirectionCase& c : cases)
        EXPECT_NEAR(ParseCourseDirection(c.Text), c.Degrees, 1e-12) << c.Text;
    for (const char* bad : {"45 - - 30", "- 45 30", "45 30 -"})
        EXPECT_THROW(ParseCourseDirection(bad), EConvertError) << bad;

    // Seconds below 60 as written that a double rounds to 60: the message says so.
    try {
        ParseCourseDirection("45-30-59.99999999999999999");
        ADD_FAILURE() << "read";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "направление «45-30-59.99999999999999999» не читается: секунды «59.99999999999999999» "
                               "округляются до 60 (точнее 15 значащих цифр число не хранит)");
    }
}

// Each length is finite, their sum is not: the line whose vertex leaves the doubles is named.
TEST(TraverseVertexComputation, RefusesAVertexThatIsNotFinite)
{
    const TCourseList list = ReadCourses("0\t0\n0°\t1e308\n0°\t1e308\n", '.', true, true);
    try {
        TraverseVertices(*list.Start, list.Courses);
        ADD_FAILURE() << "an infinite vertex was computed";
    } catch (const ECourseError& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_STREQ(e.what(), "Строка 3: координаты вершины после этого курса выходят за пределы чисел");
    }
    // From a start near the limit a single course is enough; westward as well.
    const TCourse west[] = {{270, 1e308, 0, 7}};
    EXPECT_THROW(TraverseVertices(FloatPoint(0, -1.7e308), west), ECourseError);
}

// A square of cardinal courses comes back onto its start exactly; a course's convexity goes to
// the vertex it ends at.
TEST(TraverseVertexComputation, CardinalCoursesCloseExactly)
{
    const TCourse courses[] = {{0, 10.001, 0}, {90, 10.001, 0}, {180, 10.001, 0}, {270, 10.001, 0}};
    const auto rows = TraverseVertices(FloatPoint(6543210.123, 2345678.456), courses);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Y, 2345678.456);
    EXPECT_EQ(rows[3].X, 6543210.123);
    EXPECT_EQ(rows[3].Y, 2345678.456);
    const TCourse arc[] = {{90, 10, 0.5}};
    EXPECT_EQ(TraverseVertices(FloatPoint(0, 0), arc)[0].ArcConvexity, 0.5);
}

// An open contour with arcs of both signs up to a half circle, its vertices chosen by hand:
// A (5000, 3000); to B (5050, 3000) straight; to C (5050, 3100) a quarter arc (convexity
// tan 22.5° = √2 − 1, radius 100/√2, length 25√2·π); to D (4990, 3100) a half circle turning the
// other way (−1, length 30π); to E (4990, 3050) a sixth of a circle, −60° (−tan 15° = √3 − 2,
// radius 50, length 50π/3); to F (5010, 3070) a third, +120° (tan 30° = 1/√3, radius 20√2/√3,
// length 40√2·π/(3√3)).
struct THandContour {
    std::vector<TVertexRecord> Rows;
    std::vector<TCourse> Courses;
};

THandContour HandContour()
{
    const double pi = 3.141592653589793, r2 = std::sqrt(2.0), r3 = std::sqrt(3.0);
    THandContour c;
    c.Rows = {{5000, 3000, 0}, {5050, 3000, 0}, {5050, 3100, r2 - 1}, {4990, 3100, -1},
              {4990, 3050, r3 - 2}, {5010, 3070, 1 / r3}};
    c.Courses = {{0, 50, 0}, {90, 25 * r2 * pi, r2 - 1}, {180, 30 * pi, -1}, {270, 50 * pi / 3, r3 - 2},
                 {45, 40 * r2 * pi / (3 * r3), 1 / r3}};
    return c;
}

// Courses of arcs take the arc's own length, as the "Длина ребра" column shows it, over the
// chord's direction.
TEST(TraverseVertexComputation, ArcCoursesTakeTheArcLength)
{
    const THandContour hand = HandContour();
    const auto rows = TraverseVertices(FloatPoint(5000, 3000), hand.Courses);
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i].X, hand.Rows[i + 1].X, 1e-9) << i;
        EXPECT_NEAR(rows[i].Y, hand.Rows[i + 1].Y, 1e-9) << i;
        EXPECT_EQ(rows[i].ArcConvexity, hand.Rows[i + 1].ArcConvexity) << i;
    }
}

// The table's own "Длина ребра", "Дирекционный угол" and "Кривизна дуги" columns, copied and
// pasted as courses after the first vertex, rebuild the contour: turned so that no direction is
// a whole degree, its angles come with whole seconds (0.5" is 0.3 mm over 111 m).
TEST(TraverseVertexComputation, TableColumnsRoundTripAsCourses)
{
    const THandContour hand = HandContour();
    for (const double turn : {0.0, 12.3456, 200.0}) {
        const double a = turn * 3.141592653589793 / 180;
        std::vector<TVertexRecord> turned;
        for (const TVertexRecord& r : hand.Rows) {
            const double x = r.X - 5000, y = r.Y - 3000;
            turned.push_back({5000 + x * std::cos(a) - y * std::sin(a), 3000 + x * std::sin(a) + y * std::cos(a),
                              r.ArcConvexity});
        }
        TTable table(std::make_unique<FixedAxesHost>());
        for (const TVertexRecord& r : turned)
            table.AddRow(FloatPoint(r.X, r.Y), r.ArcConvexity);
        TColumnGroups groups{};
        groups[cgEdgeLength] = groups[cgDirectionAngle] = groups[cgArcConvexity] = true;
        const std::string copy = BuildClipboardText(table, groups, 7, '.');
        const TCourseList list = ReadCourses("5000\t3000\n" + copy, '.', true, true);
        ASSERT_EQ(list.Courses.size(), 5u) << copy;
        const auto rows = TraverseVertices(*list.Start, list.Courses);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_NEAR(rows[i].X, turned[i + 1].X, 1e-3) << turn << " " << i;
            EXPECT_NEAR(rows[i].Y, turned[i + 1].Y, 1e-3) << turn << " " << i;
            EXPECT_NEAR(rows[i].ArcConvexity, turned[i + 1].ArcConvexity, 1e-7) << turn << " " << i;
        }
    }
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
