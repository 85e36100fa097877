#include "Polypad/OutlinePieces.h"

#include <bit>

namespace {

// About one row in 64 past the minimum length ends a piece.
constexpr std::uint64_t kEndMask = 0x3F;

std::uint64_t Mix(std::uint64_t h)
{
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBULL;
    return h ^ (h >> 31);
}

// From the coordinates only: a changed convexity does not move a piece's end.
std::uint64_t PointHash(const TVertexRecord& v)
{
    return Mix(std::bit_cast<std::uint64_t>(v.X) ^ Mix(std::bit_cast<std::uint64_t>(v.Y)));
}

std::uint64_t VertexHash(double x, double y, double convexity)
{
    return Mix(std::bit_cast<std::uint64_t>(x) ^ Mix(std::bit_cast<std::uint64_t>(y) ^
                                                     Mix(std::bit_cast<std::uint64_t>(convexity))));
}

bool SameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool SameVertex(const TVertexRecord& a, const TVertexRecord& b)
{
    return SameBits(a.X, b.X) && SameBits(a.Y, b.Y) && SameBits(a.ArcConvexity, b.ArcConvexity);
}

// Calls visit(x, y, convexity) for each vertex of the piece, in order.
template <typename Visit>
void ForEachVertex(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece, Visit visit)
{
    for (std::int32_t i = 0; i < piece.Count; ++i) {
        const TVertexRecord& v = rows[static_cast<std::size_t>(piece.First + i)];
        visit(v.X, v.Y, i == 0 && !piece.Closed ? 0.0 : v.ArcConvexity);
    }
    if (piece.ClosingVertex)
        visit(rows[0].X, rows[0].Y, rows[0].ArcConvexity);
}

std::uint64_t PieceHash(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece)
{
    std::uint64_t h = piece.Closed ? 0x9E3779B97F4A7C15ULL : 0;
    ForEachVertex(rows, piece, [&](double x, double y, double c) { h = Mix(h + VertexHash(x, y, c)); });
    return h;
}

bool EndsPiece(const TVertexRecord& v) { return (PointHash(v) & kEndMask) == 0; }

} // namespace

std::vector<TOutlinePiece> SplitOutline(const std::vector<TVertexRecord>& rows, bool closed)
{
    std::vector<TOutlinePiece> pieces;
    const auto n = static_cast<std::int32_t>(rows.size());
    if (n == 0)
        return pieces;
    if (n <= kOutlineWholeLimit) {
        pieces.push_back({0, n, false, closed, 0});
    } else {
        std::int32_t first = 0;
        for (std::int32_t i = 1; i < n - 1; ++i) {
            const std::int32_t edges = i - first;
            if (edges >= kOutlineMaxEdges || (edges >= kOutlineMinEdges && EndsPiece(rows[static_cast<std::size_t>(i)]))) {
                pieces.push_back({first, edges + 1, false, false, 0});
                first = i;
            }
        }
        pieces.push_back({first, n - first, closed, false, 0});
    }
    for (TOutlinePiece& piece : pieces)
        piece.Hash = PieceHash(rows, piece);
    return pieces;
}

std::vector<TOutlinePiece> ResplitOutline(const std::vector<TVertexRecord>& rows, bool closed,
                                          const std::vector<TOutlinePiece>& previous, std::int32_t first,
                                          std::int32_t count)
{
    const auto n = static_cast<std::int32_t>(rows.size());
    // Row 0 is in the first piece and, closed, in the last; small contours are one piece.
    const bool fits = !previous.empty() && previous.back().First + previous.back().Count == n &&
                      previous.back().ClosingVertex == closed && !previous.back().Closed;
    if (n <= kOutlineWholeLimit || !fits || first <= 0 || count <= 0 || first > n - count)
        return SplitOutline(rows, closed);
    const std::int32_t end = first + count;
    // A piece's end depends on its own row and on where the piece began: the ends before the
    // first changed row stay, and past the changed rows the split is the old one again from the
    // first end the two share.
    std::size_t k = 0;
    while (k + 1 < previous.size() && previous[k + 1].First < first)
        ++k;
    std::vector<TOutlinePiece> pieces(previous.begin(), previous.begin() + static_cast<std::ptrdiff_t>(k));
    std::int32_t start = previous[k].First;
    ++k;
    auto add = [&](TOutlinePiece piece) {
        piece.Hash = PieceHash(rows, piece);
        pieces.push_back(piece);
    };
    for (std::int32_t i = start + 1; i < n - 1; ++i) {
        const std::int32_t edges = i - start;
        if (edges >= kOutlineMaxEdges || (edges >= kOutlineMinEdges && EndsPiece(rows[static_cast<std::size_t>(i)]))) {
            add({start, edges + 1, false, false, 0});
            start = i;
            while (k < previous.size() && previous[k].First < i)
                ++k;
            if (i >= end && k < previous.size() && previous[k].First == i) {
                pieces.insert(pieces.end(), previous.begin() + static_cast<std::ptrdiff_t>(k), previous.end());
                return pieces;
            }
        }
    }
    add({start, n - start, closed, false, 0});
    return pieces;
}

std::vector<TVertexRecord> PieceVertices(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece)
{
    std::vector<TVertexRecord> vertices;
    vertices.reserve(static_cast<std::size_t>(piece.Count) + 1);
    ForEachVertex(rows, piece, [&](double x, double y, double c) { vertices.push_back({x, y, c}); });
    return vertices;
}

bool PieceHolds(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece,
                const std::vector<TVertexRecord>& vertices, bool closed)
{
    if (closed != piece.Closed || vertices.size() != static_cast<std::size_t>(piece.Count) + piece.ClosingVertex)
        return false;
    std::size_t k = 0;
    bool same = true;
    ForEachVertex(rows, piece, [&](double x, double y, double c) {
        same = same && SameVertex(vertices[k++], TVertexRecord{x, y, c});
    });
    return same;
}
