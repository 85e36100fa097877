// The overlay outline in pieces: together the pieces draw every edge of the contour once with its
// convexity, their sizes stay bounded, and a local change leaves all but the pieces around it
// as they were.
#include "Polypad/OutlinePieces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

static bool operator==(const TVertexRecord& a, const TVertexRecord& b)
{
    return a.X == b.X && a.Y == b.Y && a.ArcConvexity == b.ArcConvexity;
}

namespace {

struct TEdge {
    TVertexRecord From, To; // To.ArcConvexity is the edge's
};

bool operator==(const TEdge& a, const TEdge& b)
{
    return a.From.X == b.From.X && a.From.Y == b.From.Y && a.To == b.To;
}

// The edges a part draws (a closed part adds the edge back to its first vertex).
std::vector<TEdge> PartEdges(const std::vector<TVertexRecord>& v, bool closed)
{
    std::vector<TEdge> edges;
    for (std::size_t i = 1; i < v.size(); ++i)
        edges.push_back({v[i - 1], v[i]});
    if (closed && v.size() > 1)
        edges.push_back({v.back(), v.front()});
    return edges;
}

std::vector<TVertexRecord> Ring(int n, std::uint32_t seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    std::vector<TVertexRecord> rows;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        rows.push_back({452285 + 50 * std::cos(a) + jitter(random), 1385220 + 50 * std::sin(a) + jitter(random),
                        i % 10 == 0 ? 0.1 : 0.0});
    }
    return rows;
}

// Pieces of after that no piece of before holds: what a change makes the overlay rebuild.
int RebuiltPieces(const std::vector<TVertexRecord>& before, const std::vector<TVertexRecord>& after, bool closed)
{
    std::vector<std::vector<TVertexRecord>> old;
    for (const TOutlinePiece& p : SplitOutline(before, closed))
        old.push_back(PieceVertices(before, p));
    int rebuilt = 0;
    for (const TOutlinePiece& p : SplitOutline(after, closed)) {
        bool found = false;
        for (const auto& vertices : old)
            found = found || PieceHolds(after, p, vertices, false);
        rebuilt += !found;
    }
    return rebuilt;
}

} // namespace

TEST(OutlinePieces, TogetherThePiecesDrawEveryEdgeOnceWithItsConvexity)
{
    for (const bool closed : {true, false}) {
        for (const int n : {kOutlineWholeLimit + 1, 5000, 100000}) {
            const std::vector<TVertexRecord> rows = Ring(n);
            const std::vector<TOutlinePiece> pieces = SplitOutline(rows, closed);
            std::vector<TEdge> drawn;
            for (std::size_t k = 0; k < pieces.size(); ++k) {
                const TOutlinePiece& p = pieces[k];
                ASSERT_FALSE(p.Closed);
                const std::vector<TVertexRecord> vertices = PieceVertices(rows, p);
                const std::size_t edges = vertices.size() - 1;
                EXPECT_LE(edges, static_cast<std::size_t>(kOutlineMaxEdges) + 1) << k;
                if (k + 1 < pieces.size()) {
                    EXPECT_GE(edges, static_cast<std::size_t>(kOutlineMinEdges)) << k;
                }
                EXPECT_EQ(vertices.front().ArcConvexity, 0) << "the edge into a piece is its neighbour's";
                for (const TEdge& e : PartEdges(vertices, false))
                    drawn.push_back(e);
            }
            EXPECT_EQ(drawn, PartEdges(rows, closed)) << n << (closed ? " closed" : " open");
        }
    }
}

TEST(OutlinePieces, ASmallContourIsOnePartAsTheTableHoldsIt)
{
    EXPECT_TRUE(SplitOutline({}, true).empty());
    for (const int n : {1, 2, 4, kOutlineWholeLimit}) {
        const std::vector<TVertexRecord> rows = Ring(n);
        const std::vector<TOutlinePiece> pieces = SplitOutline(rows, true);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_TRUE(pieces[0].Closed);
        EXPECT_EQ(PieceVertices(rows, pieces[0]), rows) << "row 0 keeps its convexity, the closing edge's";
        EXPECT_TRUE(PieceHolds(rows, pieces[0], rows, true));
        EXPECT_FALSE(PieceHolds(rows, pieces[0], rows, false)) << "the closed flag is part of the piece";
    }
}

TEST(OutlinePieces, ALocalChangeRebuildsOnlyThePiecesAroundIt)
{
    constexpr int n = 100000;
    const std::vector<TVertexRecord> rows = Ring(n);
    const auto pieceCount = static_cast<int>(SplitOutline(rows, true).size());
    EXPECT_GT(pieceCount, n / (kOutlineMaxEdges + 1));
    EXPECT_EQ(RebuiltPieces(rows, rows, true), 0);

    std::vector<TVertexRecord> moved = rows;
    moved[50000].X += 1;
    EXPECT_GE(RebuiltPieces(rows, moved, true), 1) << "a moved vertex is drawn anew";
    EXPECT_LE(RebuiltPieces(rows, moved, true), 2) << "one vertex: its piece, or the two it joins";

    std::vector<TVertexRecord> arc = rows;
    arc[50001].ArcConvexity = 0.3;
    EXPECT_EQ(RebuiltPieces(rows, arc, true), 1) << "an edge's convexity belongs to one piece";

    std::vector<TVertexRecord> inserted = rows;
    inserted.insert(inserted.begin() + 40000, TVertexRecord{452200, 1385200, 0});
    EXPECT_GE(RebuiltPieces(rows, inserted, true), 1);
    EXPECT_LE(RebuiltPieces(rows, inserted, true), 3) << "the rows after an insertion move, their pieces stay";

    std::vector<TVertexRecord> deleted = rows;
    deleted.erase(deleted.begin() + 70000, deleted.begin() + 70010);
    EXPECT_GE(RebuiltPieces(rows, deleted, true), 1);
    EXPECT_LE(RebuiltPieces(rows, deleted, true), 3);

    std::vector<TVertexRecord> first = rows;
    first[0].Y -= 1;
    EXPECT_GE(RebuiltPieces(rows, first, true), 1);
    EXPECT_LE(RebuiltPieces(rows, first, true), 2) << "the first piece and the closing one";

    // Opening the contour drops only the closing edge's piece.
    std::vector<std::vector<TVertexRecord>> closedPieces;
    int rebuilt = 0;
    for (const TOutlinePiece& p : SplitOutline(rows, true))
        closedPieces.push_back(PieceVertices(rows, p));
    for (const TOutlinePiece& p : SplitOutline(rows, false)) {
        bool found = false;
        for (const auto& v : closedPieces)
            found = found || PieceHolds(rows, p, v, false);
        rebuilt += !found;
    }
    EXPECT_EQ(rebuilt, 1);
}

TEST(OutlinePieces, RepeatedRowsStillMakeBoundedPieces)
{
    // Identical rows have no end of their own: pieces end at the maximum length.
    const std::vector<TVertexRecord> rows(20000, TVertexRecord{1, 2, 0});
    const std::vector<TOutlinePiece> pieces = SplitOutline(rows, true);
    for (const TOutlinePiece& p : pieces)
        EXPECT_LE(p.Count, kOutlineMaxEdges + 1);
    EXPECT_EQ(pieces.size(), static_cast<std::size_t>((20000 - 1 + kOutlineMaxEdges - 1) / kOutlineMaxEdges));
}

// Rows rewritten in place: splitting again from the old pieces gives exactly the pieces a split
// of the whole contour gives, whether the change moves piece ends or not.
TEST(OutlinePieces, ResplittingAroundRewrittenRowsMatchesAWholeSplit)
{
    auto same = [](const std::vector<TOutlinePiece>& a, const std::vector<TOutlinePiece>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].First != b[i].First || a[i].Count != b[i].Count || a[i].ClosingVertex != b[i].ClosingVertex ||
                a[i].Closed != b[i].Closed || a[i].Hash != b[i].Hash)
                return false;
        return true;
    };
    std::mt19937 random(77);
    for (const bool closed : {true, false}) {
        for (const int n : {900, 1025, 5000, 30000}) {
            std::vector<TVertexRecord> rows = Ring(n, static_cast<std::uint32_t>(n));
            std::vector<TOutlinePiece> pieces = SplitOutline(rows, closed);
            std::uniform_int_distribution<int> pick(0, n - 1);
            std::uniform_real_distribution<double> move(-2, 2);
            for (int step = 0; step < 200; ++step) {
                const int first = step % 17 == 0 ? n - 1 : step % 23 == 0 ? 0 : pick(random);
                const int count = std::min(1 + step % 4, n - first);
                for (int r = first; r < first + count; ++r) {
                    rows[static_cast<std::size_t>(r)].X += move(random);
                    if (step % 3 == 0)
                        rows[static_cast<std::size_t>(r)].ArcConvexity = step % 2 ? 0.25 : 0;
                }
                pieces = ResplitOutline(rows, closed, pieces, first, count);
                ASSERT_TRUE(same(SplitOutline(rows, closed), pieces))
                    << n << " rows, closed " << closed << ", step " << step << ", rows " << first << "+" << count;
            }
        }
    }
}

// A deleted row where one piece ends and the next begins, and row 0, whose vertex the closing
// piece ends on: the pieces on both sides change, the rest stay.
TEST(OutlinePieces, ADeletedRowAtAPiecesEndsRebuildsItsNeighboursOnly)
{
    constexpr int n = 20000;
    for (const bool closed : {true, false}) {
        const std::vector<TVertexRecord> rows = Ring(n);
        const std::vector<TOutlinePiece> pieces = SplitOutline(rows, closed);
        ASSERT_GT(pieces.size(), 4u);
        const TOutlinePiece& middle = pieces[pieces.size() / 2];
        struct TCase {
            const char* What;
            int Row;
        };
        const TCase cases[] = {
            {"a piece's first row", middle.First},
            {"a piece's last row", middle.First + middle.Count - 1},
            {"row 0", 0},
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.What) + (closed ? ", closed" : ", open"));
            std::vector<TVertexRecord> deleted = rows;
            deleted.erase(deleted.begin() + c.Row);
            const int rebuilt = RebuiltPieces(rows, deleted, closed);
            EXPECT_GE(rebuilt, 1);
            EXPECT_LE(rebuilt, 3);
        }
    }
}
