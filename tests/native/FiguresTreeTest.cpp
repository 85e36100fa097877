// The figures' tree of partial sums: after any sequence of rows rewritten in place it holds the
// same bits as a full pass over the rows, and the window's record of changes rebuilds it whenever
// it cannot tell exactly which rows changed.
#include "Polypad/FiguresTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// Bit for bit: the tree must give what a full pass gives, not merely something close.
void ExpectSameBits(const TEdgeSums& expected, const TEdgeSums& actual, const char* where)
{
    EXPECT_EQ(expected.Defined, actual.Defined) << where;
    if (!expected.Defined || !actual.Defined)
        return;
    // long double carries padding bytes; compare the values, which are finite here.
    EXPECT_TRUE(expected.Length == actual.Length) << where;
    EXPECT_TRUE(expected.TwiceArea == actual.TwiceArea) << where;
    EXPECT_TRUE(expected.Segments == actual.Segments) << where;
}

std::vector<TVertexRecord> Ring(int n, std::mt19937& random)
{
    std::uniform_real_distribution<double> jitter(-3, 3);
    std::vector<TVertexRecord> rows;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        rows.push_back({452000 + 800 * std::cos(a) + jitter(random), 1385000 + 800 * std::sin(a) + jitter(random),
                        i % 7 == 3 ? 0.2 : 0});
    }
    return rows;
}

TEST(FiguresTree, RowUpdatesGiveTheBitsOfAFullPass)
{
    std::mt19937 random(21);
    for (const bool closed : {true, false}) {
        for (const int n : {2, 3, 33, 64, 65, 1000, 4099}) {
            std::vector<TVertexRecord> rows = Ring(n, random);
            TFiguresTree tree;
            tree.Rebuild(rows, closed);
            ExpectSameBits(SumContourEdges(rows, closed), tree.Sums(), "rebuilt");
            std::uniform_int_distribution<int> pick(0, n - 1);
            std::uniform_real_distribution<double> move(-5, 5);
            for (int step = 0; step < 60; ++step) {
                // Single rows and short runs, the last row and row 0 (the origin) among them.
                const int first = step % 10 == 0 ? n - 1 : step % 10 == 1 ? 0 : pick(random);
                const int count = std::min(1 + step % 3, n - first);
                for (int r = first; r < first + count; ++r) {
                    rows[static_cast<std::size_t>(r)].X += move(random);
                    rows[static_cast<std::size_t>(r)].Y += move(random);
                    if (step % 5 == 0)
                        rows[static_cast<std::size_t>(r)].ArcConvexity = step % 2 ? -0.4 : 0;
                }
                tree.RowsChanged(rows, first, count);
                ExpectSameBits(SumContourEdges(rows, closed), tree.Sums(), "after a change");
            }
        }
    }
}

TEST(FiguresTree, AnUndefinedEdgeEmptiesTheFiguresAndItsRepairRestoresThem)
{
    std::mt19937 random(5);
    std::vector<TVertexRecord> rows = Ring(500, random);
    TFiguresTree tree;
    tree.Rebuild(rows, true);
    const TContourFigures before = tree.Figures(rows);
    ASSERT_TRUE(before.Length && before.Area);

    const double x = rows[300].X;
    rows[300].X = std::numeric_limits<double>::quiet_NaN();
    tree.RowsChanged(rows, 300, 1);
    const TContourFigures broken = tree.Figures(rows);
    EXPECT_FALSE(broken.Length);
    EXPECT_FALSE(broken.Area);

    // An arc whose ends coincide cannot be built either.
    rows[300].X = x;
    rows[301] = rows[300];
    rows[301].ArcConvexity = 0.5;
    tree.RowsChanged(rows, 301, 1);
    EXPECT_FALSE(tree.Figures(rows).Length);

    rows[301].ArcConvexity = 0; // a zero-length straight edge is defined
    tree.RowsChanged(rows, 301, 1);
    EXPECT_TRUE(tree.Figures(rows).Length);
    ExpectSameBits(SumContourEdges(rows, true), tree.Sums(), "repaired");
}

TEST(FiguresChanges, OnlyExpectedAnnouncementsUpdateRowsInPlace)
{
    std::mt19937 random(8);
    std::vector<TVertexRecord> rows = Ring(3000, random);
    TFiguresTree tree;
    TFiguresChanges changes;
    changes.ApplyTo(tree, rows, true); // nothing noted yet: built whole
    ExpectSameBits(SumContourEdges(rows, true), tree.Sums(), "first");

    {
        const auto expected = changes.Expect(std::vector<TFiguresChanges::TRange>{{1200, 1}});
        rows[1200].X += 10;
        changes.Announced();
    }
    // A change nobody described, after the guard went: the tree cannot trust the noted rows.
    rows[17].Y -= 40;
    changes.Announced();
    changes.ApplyTo(tree, rows, true);
    ExpectSameBits(SumContourEdges(rows, true), tree.Sums(), "undescribed change");

    {
        const auto expected = changes.Expect(std::vector<TFiguresChanges::TRange>{{2999, 1}, {5, 2}});
        rows[2999].Y += 3;
        rows[6].X += 2;
        changes.Announced();
    }
    changes.ApplyTo(tree, rows, true);
    ExpectSameBits(SumContourEdges(rows, true), tree.Sums(), "described change");

    // Rows added or the flag changed while an in-place change was expected: built whole.
    {
        const auto expected = changes.Expect(std::vector<TFiguresChanges::TRange>{{10, 1}});
        rows.push_back({452000, 1385000, 0});
        changes.Announced();
    }
    changes.ApplyTo(tree, rows, true);
    ExpectSameBits(SumContourEdges(rows, true), tree.Sums(), "a row more");
    changes.ApplyTo(tree, rows, false);
    ExpectSameBits(SumContourEdges(rows, false), tree.Sums(), "opened");
}

} // namespace
