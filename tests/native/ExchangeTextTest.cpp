// The exchange text: the number format, the copy's pieces and the paste's splitting and numbers.
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {

class MirroredHost : public TTableHost {
public:
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        xAxis = FloatPoint(1, 0);
        yAxis = FloatPoint(0, -1);
    }
};

TColumnGroups Groups(std::initializer_list<TColumnGroup> shown)
{
    TColumnGroups groups{};
    for (TColumnGroup g : shown)
        groups[g] = true;
    return groups;
}

std::unique_ptr<TTable> MakeTable(std::initializer_list<TVertexRecord> rows, bool closed = false)
{
    auto table = std::make_unique<TTable>(std::make_unique<MirroredHost>());
    for (const TVertexRecord& r : rows)
        table->AddRow(FloatPoint(r.X, r.Y), r.ArcConvexity);
    table->SetClosed(closed);
    return table;
}

TEST(GeneralNumberFormat, FixedAndScientificNotation)
{
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {-2.5, "-2.5"},
        {1234.57, "1234.57"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {0.00005, "5E-5"},
        {0.000015, "1.5E-5"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {2.5e20, "2.5E20"},
        {-3e-7, "-3E-7"},
        {1.0 / 3, "0.333333333333333"},
        {452310.45, "452310.45"},
        {0.1 + 0.2, "0.3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatGeneral(c.Value, '.'), c.Text) << c.Value;
    EXPECT_EQ(FormatGeneral(-2.5, ','), "-2,5");
    EXPECT_EQ(FormatGeneral(1.5e-5, ','), "1,5E-5");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN(), '.'), "NAN");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::infinity(), '.'), "-INF");
}

TEST(RoundToDigits, NearestWithTiesToEven)
{
    EXPECT_EQ(FormatGeneral(RoundToDigits(1234.5678, 2), '.'), "1234.57");
    EXPECT_EQ(RoundToDigits(2.5, 0), 2);
    EXPECT_EQ(RoundToDigits(3.5, 0), 4);
    EXPECT_EQ(RoundToDigits(-2.5, 0), -2);
    EXPECT_EQ(FormatGeneral(RoundToDigits(0.123456789, 7), '.'), "0.1234568");
    // Beyond what 64-bit integers hold the value is simply kept.
    EXPECT_EQ(RoundToDigits(1e300, 7), 1e300);
    EXPECT_THROW(RoundToDigits(1, 38), EAssertionFailed);
}

TEST(BuildClipboardText, WritesTheVisibleGroupsAsTheGridShowsThem)
{
    auto table = MakeTable({{1, 2, 0}, {3, 4, 0}});
    EXPECT_EQ(BuildClipboardText(*table, Groups({cgCoordinates}), 0, '.'), "1\t2\n3\t4");

    // Row 0 of an open part: the word null keeps its place, the missing length does not.
    EXPECT_EQ(BuildClipboardText(*table, Groups({cgPointNumber, cgCoordinates, cgEdgeLength, cgDirectionAngle}), 3, '.'),
              "1\t1\t2\tnull\n2\t3\t4\t2.828\t45°0'0\"");

    auto empty = MakeTable({});
    EXPECT_EQ(BuildClipboardText(*empty, Groups({cgCoordinates}), 2, '.'), "");
    EXPECT_EQ(BuildClipboardText(*table, Groups({}), 2, '.'), "\n");
}

TEST(BuildClipboardText, ArcPiecesOnlyForArcEdges)
{
    const double k = std::tan(M_PI / 8);
    auto table = MakeTable({{0, 0, 0}, {2, 0, k}}, true);
    const TColumnGroups arcs = Groups({cgArcConvexity, cgArcCenter, cgArcRadius});
    EXPECT_EQ(BuildClipboardText(*table, arcs, 4, ','), "\n0,4142\t1\t1\t1,4142");

    // A convexity too small to build an arc: written (rounded), but no undefined centre or radius.
    auto tiny = MakeTable({{0, 0, 0}, {2, 0, 1e-16}});
    EXPECT_EQ(BuildClipboardText(*tiny, arcs, 7, '.'), "\n0");
}

TEST(BuildClipboardText, AllColumnsOfAClosedParcel)
{
    auto table = MakeTable({{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}}, true);
    TColumnGroups all;
    all.fill(true);
    EXPECT_EQ(BuildClipboardText(*table, all, 2, '.'),
              "1\t0\t0\t10\t90°0'0\"\t270°0'0\"\t180°0'0\"\n"
              "2\t0\t10\t10\t90°0'0\"\t270°0'0\"\t90°0'0\"\n"
              "3\t10\t10\t10\t90°0'0\"\t270°0'0\"\t0°0'0\"\n"
              "4\t10\t0\t10\t90°0'0\"\t270°0'0\"\t270°0'0\"");
}

TEST(SplitClipboardText, LinesAndFields)
{
    const TPasteBuffer buffer = SplitClipboardText("10\t20\r\n30\t40\t0.5\n\n");
    EXPECT_EQ(buffer.Cell(0, 0), "10");
    EXPECT_EQ(buffer.Cell(0, 1), "20");
    EXPECT_EQ(buffer.Cell(0, 2), "");
    EXPECT_EQ(buffer.Cell(1, 2), "0.5");
    EXPECT_EQ(buffer.Cell(2, 0), "");
    EXPECT_EQ(buffer.Cell(99, 99), "");

    // A single line without separators is still a line of one field.
    EXPECT_EQ(SplitClipboardText("7").Cell(0, 0), "7");
    EXPECT_EQ(SplitClipboardText("").LineCount(), 0);
}

TEST(SplitClipboardText, BoundsOfOnePaste)
{
    std::string fields12 = "1";
    for (int i = 1; i < 12; ++i)
        fields12 += "\t1";
    EXPECT_EQ(SplitClipboardText(fields12).Cell(0, 11), "1");
    EXPECT_THROW(SplitClipboardText(fields12 + "\t1"), ERangeError);

    std::string lines;
    for (int i = 0; i < TPasteBuffer::kMaxLines; ++i)
        lines += "1\t2\n";
    EXPECT_EQ(SplitClipboardText(lines + "\n\n").LineCount(), TPasteBuffer::kMaxLines);
    try {
        SplitClipboardText(lines + "1\t2");
        FAIL() << "line 10002 accepted";
    } catch (const ERangeError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
}

TEST(ParseClipboardNumber, BothSeparatorsAndClearErrors)
{
    const struct {
        const char* Text;
        char Separator;
        double Value;
    } good[] = {
        {"1.5", ',', 1.5},   {"2,5", '.', 2.5},   {"-3", '.', -3},   {" 4 ", '.', 4},     {"+1e3", '.', 1000},
        {"1,5E-2", ',', 0.015}, {".5", '.', 0.5}, {"5.", '.', 5},   {"1e-999", '.', 0},
    };
    for (const auto& c : good)
        EXPECT_DOUBLE_EQ(ParseClipboardNumber(c.Text, c.Separator), c.Value) << c.Text;

    for (const char* bad : {"", "abc", "1.2.3", "1,2.3", "nan", "inf", "1e999", "1e", "--1", "1 2", "0x10", "12°"}) {
        try {
            ParseClipboardNumber(bad, '.');
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid floating point value");
        }
    }
}

TEST(ParsePastedRows, FirstThreeFieldsOfLinesWithAFirstField)
{
    const auto rows = ParsePastedRows(SplitClipboardText("10\t20\n\n\t5\t5\n30\t40\t0.25\t99\tjunk"), '.');
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].X, 10);
    EXPECT_EQ(rows[0].Y, 20);
    EXPECT_EQ(rows[0].ArcConvexity, 0);
    EXPECT_EQ(rows[1].X, 30);
    EXPECT_EQ(rows[1].ArcConvexity, 0.25);

    EXPECT_THROW(ParsePastedRows(SplitClipboardText("1\t2\n3\tx\n5\t6"), '.'), EConvertError);
}

TEST(ExchangeRoundTrip, CoordinatesAndConvexitySurviveCopyAndPaste)
{
    auto table = MakeTable({{452310.45, 1385120.3, 0}, {452335.12, 1385158.77, 0.1183}, {452351.9, 1385201.05, 0},
                            {452342.66, 1385240.18, -0.2076}},
                           true);
    for (char separator : {'.', ','}) {
        const std::string text = BuildClipboardText(*table, Groups({cgCoordinates, cgArcConvexity}), 7, separator);
        const auto rows = ParsePastedRows(SplitClipboardText(text), separator);
        ASSERT_EQ(rows.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(rows[i].X, table->GetX(i));
            EXPECT_EQ(rows[i].Y, table->GetY(i));
            EXPECT_EQ(rows[i].ArcConvexity, table->GetArcConvexity(i));
        }
    }
}

} // namespace
