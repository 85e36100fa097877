// The coordinate table: derived columns, the setters that move vertices, row operations and the
// number of change announcements each of them makes.
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "CoreLib/FloatPrecision.h"

#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

const double kQuarterK = std::tan(M_PI / 8); // quarter circle

struct Row {
    double X, Y, K = 0;
};

class TableTest : public ::testing::Test {
protected:
    TableTest()
    {
        auto host = std::make_unique<FixedAxesHost>(FloatPoint(0, -1), FloatPoint(1, 0));
        Host = host.get();
        Table = std::make_unique<TTable>(std::move(host));
        Table->SetNotifyWindow(&Target);
    }

    void Fill(const std::vector<Row>& rows, bool closed = false)
    {
        for (const Row& r : rows)
            Table->AddRow(FloatPoint(r.X, r.Y), r.K);
        Table->SetClosed(closed);
        Target.Posts = 0;
    }

    void ExpectVertex(int i, double x, double y, double tolerance = 1e-9)
    {
        EXPECT_NEAR(Table->GetX(i), x, tolerance) << "row " << i;
        EXPECT_NEAR(Table->GetY(i), y, tolerance) << "row " << i;
    }

    FixedAxesHost* Host;
    CountingTarget Target;
    std::unique_ptr<TTable> Table;
};

TEST_F(TableTest, EmptyTableHasOnlyUndefinedDerivedValues)
{
    EXPECT_EQ(Table->GetEdgeLength(0), -1);
    EXPECT_EQ(Table->GetArcCenterX(0), -1);
    EXPECT_EQ(Table->GetArcCenterY(0), -1);
    EXPECT_EQ(Table->GetArcRadius(0), -1);
    EXPECT_EQ(Table->GetLeftAngleText(0), "null");
    EXPECT_EQ(Table->GetRightAngleText(0), "null");
    EXPECT_EQ(Table->GetDirectionAngleText(0), "null");
}

TEST_F(TableTest, OpenPartLacksTheEdgeOfRowZeroAndTheAnglesAtItsEnds)
{
    Fill({{0, 0}, {0, 1}, {1, 1}});
    EXPECT_EQ(Table->GetEdgeLength(0), -1);
    EXPECT_EQ(Table->GetDirectionAngleText(0), "null");
    EXPECT_EQ(Table->GetLeftAngleText(0), "null");
    EXPECT_EQ(Table->GetRightAngleText(2), "null");
    EXPECT_EQ(Table->GetLeftAngleText(1), "90°0'0\"");

    Table->SetClosed(true);
    EXPECT_DOUBLE_EQ(Table->GetEdgeLength(0), std::sqrt(2.0)); // from the last vertex
    EXPECT_EQ(Table->GetDirectionAngleText(0), "225°0'0\"");
    EXPECT_NE(Table->GetLeftAngleText(2), "null");
}

TEST_F(TableTest, AnArcWhoseEndsAreTooCloseForACentreShowsUndefinedArcCells)
{
    Fill({{1e6, 0}, {std::nextafter(1e6, 2e6), 0, 1}});
    EXPECT_EQ(Table->GetArcCenterX(1), -1);
    EXPECT_EQ(Table->GetArcCenterY(1), -1);
    EXPECT_EQ(Table->GetArcRadius(1), -1);
    EXPECT_GE(Table->GetEdgeLength(1), 0);
}

// The cells come out the same whatever x87 precision the caller left set: the module's entry
// points compute with the 64-bit mantissa and give the caller's setting back.
TEST_F(TableTest, CellsComputedUnderTheExtendedPrecisionGuardDoNotDependOnTheCallersPrecision)
{
    Fill({{452300, 1385200}, {452330, 1385200, 0.41421356237309503}, {452330.123456789, 1385240.987654321},
          {452300.5, 1385240.25, -0.2}},
         true);
    auto cells = [&] {
        const TExtendedPrecision precision;
        std::vector<std::string> texts;
        for (int i = 0; i < Table->Count(); ++i) {
            char buffer[200];
            std::snprintf(buffer, sizeof buffer, "%a %a %a %a", Table->GetEdgeLength(i), Table->GetArcCenterX(i),
                          Table->GetArcCenterY(i), Table->GetArcRadius(i));
            texts.push_back(buffer + Table->GetLeftAngleText(i) + Table->GetDirectionAngleText(i));
        }
        return texts;
    };
    const std::uint16_t callers = FloatPrecision::Precision();
    const auto extended = cells();
    FloatPrecision::SetPrecision(FloatPrecision::kDouble);
    const auto underDouble = cells();
    EXPECT_EQ(FloatPrecision::Precision(), FloatPrecision::kDouble) << "the caller's setting is given back";
    FloatPrecision::SetPrecision(callers);
    EXPECT_EQ(underDouble, extended);
}

TEST_F(TableTest, SingleVertex)
{
    Fill({{5, 7}});
    EXPECT_EQ(Table->GetEdgeLength(0), -1);
    EXPECT_EQ(Table->GetDirectionAngleText(0), "null");
    EXPECT_EQ(Table->GetLeftAngleText(0), "null");

    Table->SetClosed(true);
    EXPECT_EQ(Table->GetEdgeLength(0), 0);
    EXPECT_EQ(Table->GetDirectionAngleText(0), "0°0'0\"");
    EXPECT_EQ(Table->GetLeftAngleText(0), "0°0'0\"");
    EXPECT_EQ(Table->GetRightAngleText(0), "0°0'0\"");
}

TEST_F(TableTest, DirectionAngleIsTheBearingFromThePreviousVertex)
{
    const struct {
        double X, Y;
        const char* Text;
    } cases[] = {
        {1, 0, "0°0'0\""}, {0, 1, "90°0'0\""}, {-1, 0, "180°0'0\""}, {0, -1, "270°0'0\""}, {1, 1, "45°0'0\""},
    };
    for (const auto& c : cases) {
        Table->ContourPart().Clear();
        Fill({{0, 0}, {c.X, c.Y}});
        EXPECT_EQ(Table->GetDirectionAngleText(1), c.Text) << c.X << "," << c.Y;
    }
}

TEST_F(TableTest, LeftAndRightAnglesAreTheTurnMeasuredBothWays)
{
    Fill({{0, 0}, {1, 0}, {1, 1}});
    EXPECT_EQ(Table->GetLeftAngleText(1), "270°0'0\"");
    EXPECT_EQ(Table->GetRightAngleText(1), "90°0'0\"");

    Table->ContourPart().Clear();
    Fill({{0, 0}, {1, 0}, {2, 0}});
    EXPECT_EQ(Table->GetLeftAngleText(1), "0°0'0\"");
    EXPECT_EQ(Table->GetRightAngleText(1), "0°0'0\"");
}

TEST_F(TableTest, AngleSettersMoveTheNextVertexKeepingItsDistance)
{
    Fill({{0, 0}, {1, 0}, {5, 0, 0.25}});
    Table->SetRightAngle(1, 90);
    ExpectVertex(2, 1, 4);
    EXPECT_EQ(Table->GetArcConvexity(2), 0.25);
    EXPECT_EQ(Table->GetRightAngleText(1), "90°0'0\"");

    Table->SetLeftAngle(1, 90);
    ExpectVertex(2, 1, -4);
    EXPECT_EQ(Table->GetLeftAngleText(1), "90°0'0\"");
}

TEST_F(TableTest, AngleSetterOnTheLastRowOfAClosedPartMovesRowZero)
{
    Fill({{0, 0}, {4, 0}, {4, 3}}, true);
    Table->SetRightAngle(2, 90);
    EXPECT_NEAR(Distance(Table->GetVertex(2), Table->GetVertex(0)), 5, 1e-9);
    EXPECT_EQ(Table->GetRightAngleText(2), "90°0'0\"");
    ExpectVertex(1, 4, 0);
}

TEST_F(TableTest, AngleSettersIgnoreRowsWithoutAnAngle)
{
    Fill({{0, 0}, {1, 0}, {5, 0}});
    Table->SetLeftAngle(0, 30);
    Table->SetRightAngle(2, 30);
    Table->SetDirectionAngle(0, 30);
    EXPECT_EQ(Target.Posts, 0);
    ExpectVertex(0, 0, 0);
    ExpectVertex(1, 1, 0);
}

TEST_F(TableTest, AngleWithCoincidentIncomingEdgeIsRefusedWithoutMovingAnything)
{
    // The next vertex would otherwise collapse onto this one.
    Fill({{0, 0}, {0, 0}, {5, 0}});
    EXPECT_THROW(Table->SetRightAngle(1, 90), Exception);
    ExpectVertex(2, 5, 0);
    EXPECT_EQ(Target.Posts, 0);
}

TEST_F(TableTest, DirectionSetterTurnsTheEdgeAroundThePreviousVertex)
{
    Fill({{0, 0}, {3, 0, 0.5}});
    Table->SetDirectionAngle(1, 90);
    ExpectVertex(1, 0, 3);
    EXPECT_EQ(Table->GetArcConvexity(1), 0.5);

    Table->SetDirectionAngle(1, 45.5);
    EXPECT_EQ(Table->GetDirectionAngleText(1), "45°30'0\"");
    EXPECT_NEAR(Distance(Table->GetVertex(0), Table->GetVertex(1)), 3, 1e-9);
}

TEST_F(TableTest, StraightEdgeLengthMovesTheVertexAlongTheEdge)
{
    Fill({{0, 0}, {3, 4}});
    Table->SetEdgeLength(1, 5);
    ExpectVertex(1, 3, 4);
    Table->SetEdgeLength(1, 10);
    ExpectVertex(1, 6, 8);
    Table->SetEdgeLength(1, -5);
    ExpectVertex(1, -3, -4);
}

TEST_F(TableTest, EdgeLengthOfRowZeroInAnOpenPartIsNotSettable)
{
    // Row 0 of an open part ends no edge; its empty cell must not move the vertex.
    Fill({{0, 0}, {3, 4}});
    Table->SetEdgeLength(0, 10);
    ExpectVertex(0, 0, 0);
    EXPECT_EQ(Target.Posts, 0);
}

TEST_F(TableTest, ArcColumnsFollowTheConvexity)
{
    Fill({{0, 0}, {2, 0, kQuarterK}});
    EXPECT_NEAR(Table->GetArcCenterX(1), 1, 1e-12);
    EXPECT_NEAR(Table->GetArcCenterY(1), 1, 1e-12);
    EXPECT_NEAR(Table->GetArcRadius(1), std::sqrt(2.0), 1e-12);
    // A straight edge has no arc columns.
    EXPECT_EQ(Table->GetArcCenterX(0), -1);
}

TEST_F(TableTest, ArcLengthIsCentralAngleTimesRadiusInEitherViewOrientation)
{
    const struct {
        double K;
        double CentralAngle;
    } cases[] = {
        {kQuarterK, M_PI / 2},
        {-kQuarterK, M_PI / 2},
        {1, M_PI},
        {-1, M_PI},
        {std::tan(3 * M_PI / 8), 3 * M_PI / 2},
        {-std::tan(3 * M_PI / 8), 3 * M_PI / 2},
    };
    for (const auto& c : cases) {
        Table->ContourPart().Clear();
        Fill({{0, 0}, {2, 0, c.K}});
        const double radius = Table->GetArcRadius(1);
        for (bool mirrored : {true, false}) {
            Host->Y = FloatPoint(0, mirrored ? -1 : 1);
            EXPECT_NEAR(Table->GetEdgeLength(1), c.CentralAngle * radius, 1e-9) << "K " << c.K << " mirrored " << mirrored;
        }
    }
}

TEST_F(TableTest, ArcEdgeLengthSetterKeepsTheCircleAndReadsBack)
{
    for (double k : {kQuarterK, -kQuarterK, 2.0}) {
        Table->ContourPart().Clear();
        Fill({{0, 0}, {2, 0, k}});
        const double cx = Table->GetArcCenterX(1), cy = Table->GetArcCenterY(1), r = Table->GetArcRadius(1);
        Target.Posts = 0;
        Table->SetEdgeLength(1, 1.5);
        EXPECT_EQ(Target.Posts, 2);
        EXPECT_NEAR(Table->GetEdgeLength(1), 1.5, 1e-9) << "K " << k;
        EXPECT_NEAR(Table->GetArcCenterX(1), cx, 1e-9);
        EXPECT_NEAR(Table->GetArcCenterY(1), cy, 1e-9);
        EXPECT_NEAR(Table->GetArcRadius(1), r, 1e-9);
        EXPECT_EQ(Table->GetArcConvexity(1) < 0, k < 0);
        ExpectVertex(0, 0, 0);
    }
}

TEST_F(TableTest, ArcLengthThatBringsTheEndOntoTheStartIsRefused)
{
    Fill({{0, 0}, {2, 0, kQuarterK}});
    EXPECT_THROW(Table->SetEdgeLength(1, 0), Exception);
    ExpectVertex(1, 2, 0, 0);
    EXPECT_EQ(Table->GetArcConvexity(1), kQuarterK);
    EXPECT_EQ(Target.Posts, 0);
}

TEST_F(TableTest, ConvexityTooSmallForAnArcActsAsAStraightEdge)
{
    Fill({{0, 0}, {3, 4, 1e-16}});
    EXPECT_EQ(Table->GetArcCenterX(1), -1);
    EXPECT_EQ(Table->GetArcRadius(1), -1);
    EXPECT_DOUBLE_EQ(Table->GetEdgeLength(1), 5);
    Table->SetEdgeLength(1, 10);
    ExpectVertex(1, 6, 8);
    EXPECT_THROW(Table->SetArcCenterX(1, 5), Exception);
    ExpectVertex(0, 0, 0);
}

TEST_F(TableTest, ArcCentreSetterShiftsTheWholeEdge)
{
    Fill({{0, 0}, {2, 0, kQuarterK}, {5, 5}});
    Table->SetArcCenterX(1, 3);
    EXPECT_EQ(Target.Posts, 3);
    ExpectVertex(0, 2, 0);
    ExpectVertex(1, 4, 0);
    ExpectVertex(2, 5, 5);
    EXPECT_EQ(Table->GetArcConvexity(1), kQuarterK);
    EXPECT_NEAR(Table->GetArcCenterX(1), 3, 1e-12);

    Table->SetArcCenterY(1, -1);
    ExpectVertex(0, 2, -2);
    ExpectVertex(1, 4, -2);
    EXPECT_NEAR(Table->GetArcCenterY(1), -1, 1e-12);

    // A straight row has no centre to move.
    Target.Posts = 0;
    Table->SetArcCenterX(2, 10);
    EXPECT_EQ(Target.Posts, 0);
}

TEST_F(TableTest, ArcCentreSetterOnRowZeroOfAClosedPartMovesTheLastRow)
{
    Fill({{2, 0, kQuarterK}, {9, 9}, {0, 0}}, true);
    Table->SetArcCenterX(0, 3);
    ExpectVertex(2, 2, 0);
    ExpectVertex(0, 4, 0);
    ExpectVertex(1, 9, 9);
}

TEST_F(TableTest, RowOperations)
{
    Fill({{1, 1, 0.1}, {2, 2, 0.2}, {3, 3, 0.3}});

    Table->InsertRow(1);
    ASSERT_EQ(Table->Count(), 4);
    ExpectVertex(1, 0, 0, 0);
    EXPECT_EQ(Table->GetArcConvexity(1), 0);
    ExpectVertex(2, 2, 2, 0);

    Table->MoveRowDown(2);
    ExpectVertex(3, 2, 2, 0);
    EXPECT_EQ(Table->GetArcConvexity(3), 0.2);
    Table->MoveRowUp(3);
    EXPECT_EQ(Table->GetArcConvexity(2), 0.2);

    Table->DeleteRow(1);
    ASSERT_EQ(Table->Count(), 3);
    ExpectVertex(1, 2, 2, 0);

    Table->DeleteRow(99); // beyond the last row: the last row goes
    ASSERT_EQ(Table->Count(), 2);
    ExpectVertex(1, 2, 2, 0);

    Table->InsertRow(2); // at the end
    EXPECT_EQ(Table->Count(), 3);
    EXPECT_THROW(Table->InsertRow(5), EAssertionFailed);
}

TEST_F(TableTest, EveryChangeIsAnnouncedAsCounted)
{
    Fill({{0, 0}, {2, 0, kQuarterK}, {4, 4}}, true);
    const struct {
        const char* What;
        std::function<void()> Run;
        int Posts;
    } cases[] = {
        {"SetX", [&] { Table->SetX(0, 1); }, 1},
        {"SetY", [&] { Table->SetY(0, 1); }, 1},
        {"SetArcConvexity", [&] { Table->SetArcConvexity(2, 0); }, 1},
        {"Closed", [&] { Table->SetClosed(true); }, 1},
        {"SetEdgeLength straight", [&] { Table->SetEdgeLength(2, 3); }, 1},
        {"SetEdgeLength arc", [&] { Table->SetEdgeLength(1, 2); }, 2},
        {"SetDirectionAngle", [&] { Table->SetDirectionAngle(2, 10); }, 1},
        {"SetLeftAngle", [&] { Table->SetLeftAngle(1, 100); }, 1},
        {"SetRightAngle", [&] { Table->SetRightAngle(1, 100); }, 1},
        {"SetArcCenterY", [&] { Table->SetArcCenterY(1, 2); }, 3},
        {"AddRow", [&] { Table->AddRow(FloatPoint(7, 7), 0); }, 1},
        {"InsertRow", [&] { Table->InsertRow(0); }, 1},
        {"MoveRowUp", [&] { Table->MoveRowUp(1); }, 1},
        {"MoveRowUp of row 0", [&] { Table->MoveRowUp(0); }, 0},
        {"MoveRowUp of -1", [&] { Table->MoveRowUp(-1); }, 0},
        {"MoveRowDown", [&] { Table->MoveRowDown(0); }, 1},
        {"MoveRowDown of the last row", [&] { Table->MoveRowDown(Table->Count() - 1); }, 0},
        {"MoveRowDown of -1", [&] { Table->MoveRowDown(-1); }, 0},
        {"DeleteRow", [&] { Table->DeleteRow(0); }, 1},
        {"DeleteRow of -1", [&] { Table->DeleteRow(-1); }, 1},
        {"getters", [&] {
             for (int i = 0; i < Table->Count(); ++i) {
                 Table->GetEdgeLength(i);
                 Table->GetLeftAngleText(i);
                 Table->GetArcRadius(i);
             }
         }, 0},
    };
    for (const auto& c : cases) {
        Target.Posts = 0;
        c.Run();
        EXPECT_EQ(Target.Posts, c.Posts) << c.What;
    }
}

TEST_F(TableTest, NonFiniteValuesGiveMarkersAndNeverSpreadIntoOtherRows)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Fill({{0, 0}, {nan, 1, 0.3}, {2, 2}, {inf, 0}}, true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NO_THROW(Table->GetDirectionAngleText(i));
        EXPECT_NO_THROW(Table->GetLeftAngleText(i));
        EXPECT_NO_THROW(Table->GetRightAngleText(i));
        EXPECT_NO_THROW(Table->GetEdgeLength(i));
        EXPECT_NO_THROW(Table->GetArcRadius(i));
    }
    EXPECT_EQ(Table->GetDirectionAngleText(2), "null");
    EXPECT_EQ(Table->GetEdgeLength(2), -1);
    EXPECT_EQ(Table->GetArcCenterX(1), -1);

    // A move computed from an undefined neighbour is refused; the row keeps its values.
    EXPECT_THROW(Table->SetDirectionAngle(2, 30), Exception);
    EXPECT_THROW(Table->SetEdgeLength(2, 30), Exception);
    ExpectVertex(2, 2, 2, 0);
    EXPECT_THROW(Table->SetX(2, nan), Exception);
    EXPECT_THROW(Table->SetEdgeLength(0, inf), Exception);
    ExpectVertex(2, 2, 2, 0);
    EXPECT_EQ(Target.Posts, 0);
}

TEST(ViewOrientation, MirroredWhenTheAxesCrossProductIsNotPositive)
{
    EXPECT_FALSE(IsMirroredTransform(FloatPoint(0, -1), FloatPoint(1, 0)));
    EXPECT_TRUE(IsMirroredTransform(FloatPoint(1, 0), FloatPoint(0, -1)));
    EXPECT_TRUE(IsMirroredTransform(FloatPoint(1, 1), FloatPoint(2, 2)));
}

TEST_F(TableTest, ViewOrientationAsksTheHostEveryTime)
{
    EXPECT_FALSE(Table->ViewIsMirrored());
    Host->Y = FloatPoint(-1, 0);
    EXPECT_TRUE(Table->ViewIsMirrored());
    EXPECT_EQ(Host->Calls, 2);
}

TEST(TableColumns, CaptionsTypesAndDefaults)
{
    TTableColumns columns;
    const struct {
        TTableColumnKind Kind;
        const char* Caption;
        TSimpleGridDataType Type;
    } expected[] = {
        {ckPointNumber, "Номер точки", gdtInteger},     {ckX, "X", gdtDouble},
        {ckY, "Y", gdtDouble},                          {ckEdgeLength, "Длина ребра", gdtDouble},
        {ckLeftAngle, "Левый угол", gdtString},         {ckRightAngle, "Правый угол", gdtString},
        {ckDirectionAngle, "Дирекционный угол", gdtString}, {ckArcConvexity, "Кривизна дуги", gdtDouble},
        {ckArcCenterX, "Центр дуги X", gdtDouble},      {ckArcCenterY, "Центр дуги Y", gdtDouble},
        {ckArcRadius, "Радиус дуги", gdtDouble},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(columns[e.Kind].Caption, e.Caption);
        EXPECT_EQ(columns[e.Kind].DataType, e.Type);
        EXPECT_TRUE(columns[e.Kind].Visible);
        EXPECT_EQ(columns[e.Kind].Width, 100);
        EXPECT_EQ(KindOfCaption(e.Caption), e.Kind);
    }
    EXPECT_EQ(KindOfCaption("x"), ckNone);
    EXPECT_EQ(KindOfCaption("Центр дуги"), ckNone);
    EXPECT_EQ(KindOfCaption(""), ckNone);
}

} // namespace
