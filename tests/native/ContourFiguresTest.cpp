// The surveyor's figures: the area against the shoelace and against closed forms with arcs, the
// lengths as the table's column gives them, the closure gap, what stays undefined, the closure
// adjustment, and the texts the user and scripts read.
#include "Polypad/ContourFigures.h"
#include "Polypad/Coordinates.h"

#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kQuarterK = std::tan(M_PI / 8);
const double kThreeQuarterK = std::tan(3 * M_PI / 8);

struct Row {
    double X, Y, K = 0;
};

std::unique_ptr<TTable> MakeTable(const std::vector<Row>& rows, bool closed)
{
    auto table = std::make_unique<TTable>(std::make_unique<FixedAxesHost>(FloatPoint(1, 0), FloatPoint(0, 1)));
    for (const Row& r : rows)
        table->AddRow(FloatPoint(r.X, r.Y), r.K);
    table->SetClosed(closed);
    return table;
}

TContourFigures Figures(const std::vector<Row>& rows, bool closed)
{
    return ComputeContourFigures(*MakeTable(rows, closed));
}

// 1/2 * sum(x[i] * y[i+1] - x[i+1] * y[i]) about the given point.
long double Shoelace(const std::vector<Row>& rows, double cx, double cy)
{
    long double twice = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& a = rows[i];
        const Row& b = rows[(i + 1) % rows.size()];
        twice += (static_cast<long double>(a.X) - cx) * (b.Y - cy) - (static_cast<long double>(b.X) - cx) * (a.Y - cy);
    }
    return twice / 2;
}

TEST(ContourFiguresArea, MatchesTheShoelaceAndOrientationForRandomPolygons)
{
    std::mt19937 random(13);
    std::uniform_real_distribution<double> jitter(0, 0.4), radius(10, 500);
    const double cx = 452000, cy = 1385000; // map coordinates in the millions
    for (int polygon = 0; polygon < 50; ++polygon) {
        // Growing angles less than pi apart about (cx, cy): a simple polygon around that point,
        // turning from +X toward +Y, so clockwise on the map with a positive shoelace.
        const int n = 3 + polygon % 40;
        std::vector<Row> rows;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * M_PI * (i + jitter(random)) / n, r = radius(random);
            rows.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
        }
        const double expected = static_cast<double>(Shoelace(rows, cx, cy));
        ASSERT_GT(expected, 0);
        const TContourFigures forward = Figures(rows, true);
        ASSERT_TRUE(forward.Area && forward.Orientation);
        EXPECT_NEAR(*forward.Area, expected, 1e-9 * expected) << "polygon " << polygon;
        EXPECT_EQ(*forward.Orientation, TContourOrientation::Clockwise);

        std::reverse(rows.begin(), rows.end());
        const TContourFigures backward = Figures(rows, true);
        ASSERT_TRUE(backward.Area && backward.Orientation);
        EXPECT_NEAR(*backward.Area, expected, 1e-9 * expected);
        EXPECT_EQ(*backward.Orientation, TContourOrientation::CounterClockwise);
    }
}

TEST(ContourFiguresArea, ArcsAddTheirSegmentsInClosedForm)
{
    const double r2 = std::sqrt(2.0);
    // The square (0,0) (2,0) (2,2) (0,2) runs north, east, south, west: clockwise.
    const struct {
        const char* What;
        std::vector<Row> Rows;
        double Area, Perimeter;
        TContourOrientation Orientation;
    } cases[] = {
        {"circle of two half arcs", {{0, 0, 1}, {2, 0, 1}}, M_PI, 2 * M_PI, TContourOrientation::Clockwise},
        {"the circle run the other way", {{0, 0, -1}, {2, 0, -1}}, M_PI, 2 * M_PI, TContourOrientation::CounterClockwise},
        {"square, half circle bulging out", {{0, 0}, {2, 0}, {2, 2, 1}, {0, 2}}, 4 + M_PI / 2, 6 + M_PI,
         TContourOrientation::Clockwise},
        {"square, half circle bulging in", {{0, 0}, {2, 0}, {2, 2, -1}, {0, 2}}, 4 - M_PI / 2, 6 + M_PI,
         TContourOrientation::Clockwise},
        {"square, quarter circle on the closing edge", {{0, 0, kQuarterK}, {2, 0}, {2, 2}, {0, 2}},
         4 + M_PI / 2 - 1, 6 + r2 * M_PI / 2, TContourOrientation::Clockwise},
        {"counterclockwise square, three-quarter circle out", {{0, 0}, {0, 2, -kThreeQuarterK}, {2, 2}, {2, 0}},
         4 + 3 * M_PI / 2 + 1, 6 + r2 * 3 * M_PI / 2, TContourOrientation::CounterClockwise},
        // Segment c^2 * theta / 12 with theta = 4e-9, where theta - sin(theta) would cancel.
        {"square, a side bowed by convexity 1e-9", {{0, 0}, {100, 0, 1e-9}, {100, 100}, {0, 100}},
         10000.0000033333333, 400, TContourOrientation::Clockwise},
    };
    for (const auto& c : cases) {
        const TContourFigures f = Figures(c.Rows, true);
        ASSERT_TRUE(f.Area && f.Length && f.Orientation) << c.What;
        EXPECT_NEAR(*f.Area, c.Area, 1e-11 * c.Area) << c.What;
        EXPECT_NEAR(*f.Length, c.Perimeter, 1e-11 * c.Perimeter) << c.What;
        EXPECT_EQ(*f.Orientation, c.Orientation) << c.What;
        EXPECT_EQ(f.Vertices, static_cast<int>(c.Rows.size()));
    }
}

TEST(ContourFiguresLength, IsTheSumOfTheEdgeLengthColumnWithTheClosingEdgeOnlyWhenClosed)
{
    const std::vector<Row> parcel = {
        {452310.45, 1385120.30}, {452335.12, 1385158.77}, {452351.90, 1385201.05, 0.1183},
        {452342.66, 1385240.18}, {452318.03, 1385262.94}, {452262.85, 1385251.62, -0.2076},
        {452231.17, 1385238.40}, {452226.08, 1385171.29, 0.3}};
    for (bool closed : {false, true}) {
        const auto table = MakeTable(parcel, closed);
        double column = 0;
        for (int i = closed ? 0 : 1; i < table->Count(); ++i)
            column += table->GetEdgeLength(i);
        const TContourFigures f = ComputeContourFigures(*table);
        ASSERT_TRUE(f.Length);
        EXPECT_NEAR(*f.Length, column, 1e-9) << "closed " << closed;
    }
    // An open half circle and a straight leg.
    EXPECT_NEAR(*Figures({{0, 0}, {2, 0, 1}, {2, 5}}, false).Length, M_PI + 5, 1e-12);
}

TEST(ContourFiguresGap, IsTheLastVertexMinusTheFirstWithRelativeErrorRoundedDown)
{
    const std::vector<Row> traverse = {{0, 0}, {0, 100}, {100, 100}, {100, 0}, {0.012, -0.008}};
    const TContourFigures f = Figures(traverse, false);
    ASSERT_TRUE(f.Gap && f.Length && f.RelativeErrorN);
    EXPECT_DOUBLE_EQ(f.Gap->DX, 0.012);
    EXPECT_DOUBLE_EQ(f.Gap->DY, -0.008);
    EXPECT_NEAR(f.Gap->Length, 0.0144222051018560, 1e-15);
    EXPECT_NEAR(*f.Length, 399.988000320038, 1e-12);
    EXPECT_EQ(*f.RelativeErrorN, 27734); // 27734.18 rounded down
    EXPECT_FALSE(f.Area);

    const TContourFigures closedOnItself = Figures({{1, 1}, {5, 1}, {5, 4}, {1, 1}}, false);
    ASSERT_TRUE(closedOnItself.Gap);
    EXPECT_EQ(closedOnItself.Gap->Length, 0);
    EXPECT_FALSE(closedOnItself.RelativeErrorN);
    EXPECT_EQ(*Figures({{0, 0}, {2, 0, 1}}, false).RelativeErrorN, 1); // a half circle: pi / 2
    EXPECT_FALSE(Figures(traverse, true).Gap);
}

TEST(ContourFiguresUndefined, EmptiesOnlyWhatTheUndefinedGeometryAffects)
{
    const struct {
        const char* What;
        std::vector<Row> Rows;
        bool Closed, Length, AreaOrGap;
    } cases[] = {
        {"no vertex", {}, true, false, false},
        {"one vertex, closed", {{1, 2}}, true, false, false},
        {"one vertex, open", {{1, 2}}, false, false, false},
        {"NaN inside, closed", {{0, 0}, {kNaN, 1}, {2, 2}}, true, false, false},
        {"NaN inside, open: the gap stands", {{0, 0}, {kNaN, 1}, {2, 2}}, false, false, true},
        {"infinity on the last vertex", {{0, 0}, {1, 1}, {2, kInf}}, false, false, false},
        {"arc between coincident points", {{0, 0}, {3, 0}, {3, 0, 0.5}, {0, 4}}, true, false, false},
        {"infinite convexity", {{0, 0}, {3, 0, kInf}, {0, 4}}, true, false, false},
        {"convexity 1e-16 is a straight edge", {{0, 0}, {3, 0, 1e-16}, {0, 4}}, true, true, true},
        {"closing edge's convexity ignored when open", {{0, 0, kNaN}, {3, 0}, {3, 0}}, false, true, true},
    };
    for (const auto& c : cases) {
        const TContourFigures f = Figures(c.Rows, c.Closed);
        EXPECT_EQ(f.Vertices, static_cast<int>(c.Rows.size())) << c.What;
        EXPECT_EQ(f.Length.has_value(), c.Length) << c.What;
        EXPECT_EQ(c.Closed ? f.Area.has_value() : f.Gap.has_value(), c.AreaOrGap) << c.What;
        EXPECT_FALSE(f.RelativeErrorN && !f.Length) << c.What;
    }
    // A flat contour has an area of 0 and no direction.
    const TContourFigures flat = Figures({{0, 0}, {5, 5}}, true);
    EXPECT_EQ(flat.Area, 0.0);
    EXPECT_FALSE(flat.Orientation);
    EXPECT_EQ(*flat.Length, 2 * std::sqrt(50.0));
}

TEST(ContourFiguresAdjustment, MovesEachVertexByItsShareOfTheLengthAndClosesOnTheFirst)
{
    // A square traverse with an arc leg, the last leg an arc too, ending off its start.
    const std::vector<Row> traverse = {{0, 0, 0.7}, {0, 100}, {100, 100, 0.2}, {100, 0}, {0.03, -0.04, -0.1}};
    const auto table = MakeTable(traverse, false);
    std::vector<double> along = {0};
    for (int i = 1; i < table->Count(); ++i)
        along.push_back(along.back() + table->GetEdgeLength(i));
    const double total = along.back();
    CountingTarget target;
    table->SetNotifyWindow(&target);

    AdjustTraverse(*table);

    EXPECT_EQ(target.Posts, 1);
    ASSERT_EQ(table->Count(), 4);
    EXPECT_TRUE(table->Closed());
    EXPECT_EQ(table->GetX(0), 0);
    EXPECT_EQ(table->GetY(0), 0);
    for (int k = 1; k < 4; ++k) {
        EXPECT_NEAR(table->GetX(k), traverse[k].X - 0.03 * along[k] / total, 1e-12) << k;
        EXPECT_NEAR(table->GetY(k), traverse[k].Y + 0.04 * along[k] / total, 1e-12) << k;
        EXPECT_EQ(table->GetArcConvexity(k), traverse[k].K);
    }
    // The last leg, now ending on the first vertex, is the closing edge with its own arc.
    EXPECT_EQ(table->GetArcConvexity(0), -0.1);
}

// The transit rule by hand: increments (10, 0), (0, 20), (-9.7, -20.4), gap (0.3, -0.4), so
// Σ|ΔX| = 19.7 and Σ|ΔY| = 40.4. Vertex 2 moves by -0.3·10/19.7 = -30/197 in X and not in Y;
// vertex 3 by the same in X and by 0.4·20/40.4 = 20/101 in Y.
TEST(ContourFiguresAdjustment, TransitSpreadsEachAxisByItsIncrements)
{
    const auto table = MakeTable({{0, 0}, {10, 0}, {10, 20}, {0.3, -0.4}}, false);
    AdjustTraverse(*table, TClosureRule::Transit);
    ASSERT_EQ(table->Count(), 3);
    EXPECT_TRUE(table->Closed());
    EXPECT_EQ(table->GetX(0), 0);
    EXPECT_NEAR(table->GetX(1), 1940.0 / 197, 1e-12);
    EXPECT_EQ(table->GetY(1), 0);
    EXPECT_NEAR(table->GetX(2), 1940.0 / 197, 1e-12);
    EXPECT_NEAR(table->GetY(2), 20 + 20.0 / 101, 1e-12);
    // The compass rule moves vertex 2 by its share of the length, 10 of 10 + 20 + √(9.7² + 20.4²).
    const auto compass = MakeTable({{0, 0}, {10, 0}, {10, 20}, {0.3, -0.4}}, false);
    AdjustTraverse(*compass);
    const double total = 30 + std::sqrt(9.7 * 9.7 + 20.4 * 20.4);
    EXPECT_NEAR(compass->GetY(1), 0.4 * 10 / total, 1e-12);
}

TEST(ContourFiguresAdjustment, IsRefusedWithAReasonAndLeavesTheTableAsItWas)
{
    const struct {
        const char* What;
        std::vector<Row> Rows;
        bool Closed;
        const char* Message;
    } cases[] = {
        {"closed", {{0, 0}, {0, 10}, {10, 10}, {1, 1}}, true, "Контур уже замкнут"},
        {"two vertices", {{0, 0}, {0, 10}}, false, "не менее трёх вершин"},
        {"no gap", {{0, 0}, {0, 10}, {10, 10}, {0, 0}}, false, "Невязки нет"},
        {"undefined length", {{0, 0}, {0, kNaN}, {10, 10}, {1, 1}}, false, "не определена"},
    };
    for (const auto& c : cases) {
        const auto table = MakeTable(c.Rows, c.Closed);
        CountingTarget target;
        table->SetNotifyWindow(&target);
        try {
            AdjustTraverse(*table);
            ADD_FAILURE() << c.What << ": not refused";
        } catch (const EAdjustmentRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << c.What << ": " << e.what();
        }
        EXPECT_EQ(target.Posts, 0) << c.What;
        EXPECT_EQ(table->Count(), static_cast<int>(c.Rows.size())) << c.What;
        EXPECT_EQ(table->Closed(), c.Closed) << c.What;
        EXPECT_EQ(table->GetX(static_cast<int>(c.Rows.size()) - 1), c.Rows.back().X) << c.What;
    }
}

TEST(ContourFiguresAdjustment, WorkedExampleClosesWithTheAreaOfTheAdjustedPoints)
{
    // The README's traverse; the expected figures were computed independently of this code.
    const auto table = MakeTable({{452310.25, 1385120.5},
                                  {452321.25, 1385180.5},
                                  {452251.25, 1385204.5},
                                  {452203.25, 1385149.5},
                                  {452310.296875, 1385120.4375}},
                                 false);
    EXPECT_EQ(FormatFiguresLine(ComputeContourFigures(*table), 3),
              "Вершин: 5 \u00B7 Длина: 318.922 \u00B7 Невязка: \u0394X 0.047 \u0394Y \u22120.062 f 0.078 (1:4\u00A0082)");
    AdjustTraverse(*table);
    const TContourFigures f = ComputeContourFigures(*table);
    ASSERT_TRUE(f.Area && f.Length);
    EXPECT_NEAR(*f.Area, 5872.426093765736, 1e-8);
    EXPECT_NEAR(*f.Length, 318.92186090432574, 1e-11);
    EXPECT_EQ(FormatFiguresLine(f, 3), "Вершин: 4 \u00B7 Периметр: 318.922 \u00B7 Площадь: 5\u00A0872.426 (по часовой)");
}

TEST(ContourFiguresText, NumbersAreRoundedAndGroupedWithThinSpaces)
{
    const struct {
        double Value;
        int Digits;
        char Separator;
        const char* Text;
    } cases[] = {
        {1179.2056, 3, '.', "1\u00A0179.206"},
        {-0.008, 3, '.', "\u22120.008"},
        {-0.0004, 3, '.', "0.000"},
        {999.9996, 3, '.', "1\u00A0000.000"},
        {100000, 0, '.', "100\u00A0000"},
        {1234567.5, 0, '.', "1\u00A0234\u00A0568"},
        {2.5, 0, '.', "2"}, // ties to even, as the table's cells round
        {-1234.5, 1, ',', "\u22121\u00A0234,5"},
        {0.5, 7, '.', "0.5000000"},
        {123, 2, '.', "123.00"},
        {kNaN, 3, '.', "\u2014"},
        {-kInf, 0, '.', "\u2014"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFigure(c.Value, c.Digits, c.Separator), c.Text) << c.Value << " digits " << c.Digits;
}

TEST(ContourFiguresText, StatusLineAndSummaryOfClosedAndOpenContours)
{
    TContourFigures closed;
    closed.Vertices = 4;
    closed.Closed = true;
    closed.Length = 140.79362;
    closed.Area = 1179.20561;
    closed.Orientation = TContourOrientation::Clockwise;
    EXPECT_EQ(FormatFiguresLine(closed, 3),
              "Вершин: 4 \u00B7 Периметр: 140.794 \u00B7 Площадь: 1\u00A0179.206 (по часовой)");
    EXPECT_EQ(FormatFiguresSummary(closed),
              "vertices\t4\nperimeter\t140.79362\narea\t1179.20561\norientation\tclockwise\n");
    closed.Orientation = TContourOrientation::CounterClockwise;
    EXPECT_EQ(FormatFiguresLine(closed, 0), "Вершин: 4 \u00B7 Периметр: 141 \u00B7 Площадь: 1\u00A0179 (против часовой)");
    closed.Area.reset();
    closed.Length.reset();
    EXPECT_EQ(FormatFiguresLine(closed, 3), "Вершин: 4 \u00B7 Периметр: \u2014 \u00B7 Площадь: \u2014");
    EXPECT_EQ(FormatFiguresSummary(closed), "vertices\t4\nperimeter\tnull\narea\tnull\norientation\tnull\n");

    TContourFigures open;
    open.Vertices = 5;
    open.Length = 120.5;
    open.Gap = TClosureGap{0.012, -0.008, 0.0144222};
    open.RelativeErrorN = 8600;
    EXPECT_EQ(FormatFiguresLine(open, 3), "Вершин: 5 \u00B7 Длина: 120.500 \u00B7 Невязка: \u0394X 0.012 \u0394Y "
                                          "\u22120.008 f 0.014 (1:8\u00A0600)");
    EXPECT_EQ(FormatFiguresSummary(open), "vertices\t5\nlength\t120.5\ngap_dx\t0.012\ngap_dy\t-0.0080000000000000002\n"
                                          "gap\t0.0144222\nrelative_error_n\t8600\n");
    open.RelativeErrorN.reset();
    EXPECT_EQ(FormatFiguresLine(open, 1),
              "Вершин: 5 \u00B7 Длина: 120.5 \u00B7 Невязка: \u0394X 0.0 \u0394Y 0.0 f 0.0 (1:\u2014)");
    open.Gap.reset();
    open.Length.reset();
    EXPECT_EQ(FormatFiguresLine(open, 3), "Вершин: 5 \u00B7 Длина: \u2014 \u00B7 Невязка: \u2014");
    EXPECT_EQ(FormatFiguresSummary(open),
              "vertices\t5\nlength\tnull\ngap_dx\tnull\ngap_dy\tnull\ngap\tnull\nrelative_error_n\tnull\n");
}

} // namespace
