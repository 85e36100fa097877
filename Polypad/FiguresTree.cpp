#include "Polypad/FiguresTree.h"

#include "CoreLib/Errors.h"

#include <algorithm>
#include <cmath>

namespace {

// Edges summed one after another in a leaf: enough to keep the tree small, few enough that a
// changed row costs microseconds.
constexpr std::int32_t kBlockEdges = 32;

// The convexity up to which ContourParts and ArcByConvexity take an edge as straight.
constexpr double kStraightConvexity = 1e-15;

inline bool IsFinite(TFloatPoint p) { return std::isfinite(p.X) && std::isfinite(p.Y); }
inline TFloatPoint PointOf(const TVertexRecord& row) { return TFloatPoint{row.X, row.Y}; }

// theta - sin(theta); for a small angle from its series, since the difference would cancel.
// Above 0.01 the double sine loses under 1e-11 of the result and costs a fraction of sinl.
long double ThetaMinusSine(double theta)
{
    if (std::fabs(theta) < 0.01) {
        const long double t2 = static_cast<long double>(theta) * theta;
        return theta * t2 / 6 * (1 - t2 / 20 * (1 - t2 / 42 * (1 - t2 / 72)));
    }
    return theta - std::sin(theta);
}

// The chord as Distance gives it, computed in place: a call inside the loop over the edges would
// make 32-bit code store its extended-precision sums to memory on every edge.
inline double Chord(TFloatPoint p, TFloatPoint q)
{
    const long double dx = static_cast<long double>(p.X) - q.X;
    const long double dy = static_cast<long double>(p.Y) - q.Y;
    return static_cast<double>(__builtin_sqrtl(dx * dx + dy * dy));
}

// The rest of MeasureContourEdge for an arc, length holding its chord.
[[gnu::noinline]] bool MeasureArc(TFloatPoint p, TFloatPoint q, double convexity, long double& length,
                                  long double& segment)
{
    // An arc, from its chord and convexity in closed form (what ArcByConvexity builds, without
    // its centre): the sweep is 4 atan K, the radius chord / 2|sin(sweep / 2)|.
    if (!std::isfinite(convexity) || length == 0)
        return false; // an arc that cannot be built: its ends coincide
    if (length < 1e-12L * (1 + std::fabs(p.X) + std::fabs(p.Y))) {
        // Ends a few units in the last place apart: built only when the table can build it.
        double sweep;
        TFloatPoint centre;
        if (!ArcByConvexity(p, q, convexity, sweep, centre))
            return false;
    }
    // Double precision transcendentals: x87 long double ones cost ten times as much and the
    // figures are shown to 7 decimals at most.
    const double sweep = 4 * std::atan(convexity);
    const long double radius = length / (2 * std::fabs(std::sin(sweep / 2)));
    length = std::fabs(sweep) * radius;
    segment = radius * radius * ThetaMinusSine(sweep) / 2;
    return std::isfinite(length) && std::isfinite(segment);
}

inline bool MeasureEdge(TFloatPoint p, TFloatPoint q, double convexity, long double& length, long double& segment)
{
    if (!IsFinite(p) || !IsFinite(q))
        return false;
    segment = 0;
    length = Chord(p, q);
    if (convexity == 0 || std::fabs(convexity) <= kStraightConvexity)
        return std::isfinite(length);
    return MeasureArc(p, q, convexity, length, segment);
}

// Edges [lo, hi) one after another; an undefined edge ends the block.
TEdgeSums SumBlock(std::span<const TVertexRecord> rows, std::int32_t lo, std::int32_t hi)
{
    const std::int32_t n = static_cast<std::int32_t>(rows.size());
    const TFloatPoint origin = PointOf(rows.front());
    TEdgeSums sums;
    for (std::int32_t e = lo; e < hi; ++e) {
        const TVertexRecord& from = rows[static_cast<std::size_t>(e)];
        const TVertexRecord& to = rows[static_cast<std::size_t>(e + 1 == n ? 0 : e + 1)];
        const TFloatPoint p = PointOf(from), q = PointOf(to);
        long double edge, segment;
        if (!MeasureEdge(p, q, to.ArcConvexity, edge, segment)) {
            sums.Defined = false;
            break;
        }
        sums.Length += edge;
        sums.Segments += segment;
        const long double px = static_cast<long double>(p.X) - origin.X;
        const long double py = static_cast<long double>(p.Y) - origin.Y;
        const long double qx = static_cast<long double>(q.X) - origin.X;
        const long double qy = static_cast<long double>(q.Y) - origin.Y;
        sums.TwiceArea += px * qy - qx * py;
    }
    return sums;
}

TEdgeSums Combine(const TEdgeSums& a, const TEdgeSums& b)
{
    TEdgeSums sums;
    sums.Defined = a.Defined && b.Defined;
    sums.Length = a.Length + b.Length;
    sums.TwiceArea = a.TwiceArea + b.TwiceArea;
    sums.Segments = a.Segments + b.Segments;
    return sums;
}

// The tree's shape: a run of more than a block splits at its middle.
inline std::int32_t Middle(std::int32_t lo, std::int32_t hi) { return lo + (hi - lo) / 2; }

TEdgeSums SumRange(std::span<const TVertexRecord> rows, std::int32_t lo, std::int32_t hi)
{
    if (hi - lo <= kBlockEdges)
        return SumBlock(rows, lo, hi);
    const std::int32_t mid = Middle(lo, hi);
    return Combine(SumRange(rows, lo, mid), SumRange(rows, mid, hi));
}

} // namespace

bool MeasureContourEdge(TFloatPoint p, TFloatPoint q, double convexity, long double& length, long double& segment)
{
    return MeasureEdge(p, q, convexity, length, segment);
}

std::int32_t ContourEdgeCount(std::int32_t rows, bool closed)
{
    if (rows < 2)
        return 0;
    return closed ? rows : rows - 1;
}

TEdgeSums SumContourEdges(std::span<const TVertexRecord> rows, bool closed)
{
    const std::int32_t edges = ContourEdgeCount(static_cast<std::int32_t>(rows.size()), closed);
    if (edges == 0)
        return {};
    return SumRange(rows, 0, edges);
}

TContourFigures FiguresFromSums(std::span<const TVertexRecord> rows, bool closed, const TEdgeSums& sums)
{
    TContourFigures figures;
    figures.Vertices = static_cast<std::int32_t>(rows.size());
    figures.Closed = closed;
    if (rows.size() < 2)
        return figures;
    if (sums.Defined)
        figures.Length = static_cast<double>(sums.Length);

    if (closed) {
        const long double signedArea = sums.TwiceArea / 2 + sums.Segments;
        if (sums.Defined && std::isfinite(signedArea)) {
            figures.Area = static_cast<double>(std::fabs(signedArea));
            if (signedArea > 0)
                figures.Orientation = TContourOrientation::Clockwise;
            else if (signedArea < 0)
                figures.Orientation = TContourOrientation::CounterClockwise;
        }
        return figures;
    }

    const TFloatPoint first = PointOf(rows.front());
    const TFloatPoint last = PointOf(rows.back());
    if (IsFinite(first) && IsFinite(last)) {
        TClosureGap gap;
        gap.DX = static_cast<double>(static_cast<long double>(last.X) - first.X);
        gap.DY = static_cast<double>(static_cast<long double>(last.Y) - first.Y);
        gap.Length = Distance(first, last);
        if (std::isfinite(gap.DX) && std::isfinite(gap.DY) && std::isfinite(gap.Length)) {
            figures.Gap = gap;
            if (figures.Length && gap.Length > 0) {
                const double n = std::floor(*figures.Length / gap.Length);
                if (std::isfinite(n))
                    figures.RelativeErrorN = n;
            }
        }
    }
    return figures;
}

// ---- TFiguresTree ----------------------------------------------------------------------------

void TFiguresTree::Rebuild(std::span<const TVertexRecord> rows, bool closed)
{
    FRows = static_cast<std::int32_t>(rows.size());
    FClosed = closed;
    FEdges = ContourEdgeCount(FRows, closed);
    FNodes.assign(2, TEdgeSums{});
    // A mid-split tree of L leaves has its nodes below 4L.
    FNodes.reserve(static_cast<std::size_t>(4 * (2 * (FEdges / kBlockEdges) + 2)));
    if (FEdges > 0)
        Build(rows, 1, 0, FEdges);
    FBuilt = true;
}

void TFiguresTree::Build(std::span<const TVertexRecord> rows, std::size_t node, std::int32_t lo, std::int32_t hi)
{
    if (FNodes.size() <= node)
        FNodes.resize(node + 1);
    if (hi - lo <= kBlockEdges) {
        FNodes[node] = SumBlock(rows, lo, hi);
        return;
    }
    const std::int32_t mid = Middle(lo, hi);
    Build(rows, 2 * node, lo, mid);
    Build(rows, 2 * node + 1, mid, hi);
    FNodes[node] = Combine(FNodes[2 * node], FNodes[2 * node + 1]);
}

std::int32_t TFiguresTree::Update(std::span<const TVertexRecord> rows, std::size_t node, std::int32_t lo,
                                  std::int32_t hi, std::int32_t edge)
{
    if (hi - lo <= kBlockEdges) {
        FNodes[node] = SumBlock(rows, lo, hi);
        return hi;
    }
    const std::int32_t mid = Middle(lo, hi);
    const std::int32_t end =
        edge < mid ? Update(rows, 2 * node, lo, mid, edge) : Update(rows, 2 * node + 1, mid, hi, edge);
    FNodes[node] = Combine(FNodes[2 * node], FNodes[2 * node + 1]);
    return end;
}

void TFiguresTree::RowsChanged(std::span<const TVertexRecord> rows, std::int32_t first, std::int32_t count)
{
    Assert(Fits(static_cast<std::int32_t>(rows.size()), FClosed), "TFiguresTree.RowsChanged: the rows changed in number");
    Assert(first >= 0 && count >= 0 && first <= FRows - count, "TFiguresTree.RowsChanged: no such rows");
    if (count == 0 || FEdges == 0)
        return;
    // Every edge's area term is taken about row 0; many rows are cheaper summed all at once.
    if (first == 0 || count > FEdges / kBlockEdges) {
        Rebuild(rows, FClosed);
        return;
    }
    // Row r ends edge r - 1 and starts edge r (the closing edge ends at row 0). A block is summed
    // once however many of its edges changed.
    const std::int32_t last = std::min(first + count, FEdges);
    for (std::int32_t e = first - 1; e < last;)
        e = Update(rows, 1, 0, FEdges, e);
}

const TEdgeSums& TFiguresTree::Sums() const
{
    Assert(FBuilt, "TFiguresTree.Sums: not built");
    return FNodes[1];
}

TContourFigures TFiguresTree::Figures(std::span<const TVertexRecord> rows) const
{
    Assert(Fits(static_cast<std::int32_t>(rows.size()), FClosed), "TFiguresTree.Figures: the rows changed in number");
    return FiguresFromSums(rows, FClosed, Sums());
}

// ---- TFiguresChanges -------------------------------------------------------------------------

TFiguresChanges::TExpected TFiguresChanges::Expect(std::span<const TRange> ranges)
{
    FExpected.assign(ranges.begin(), ranges.end());
    return TExpected(*this);
}

void TFiguresChanges::Announced()
{
    if (FExpected.empty()) {
        FAll = true;
        FRanges.clear();
    } else if (!FAll) {
        FRanges.insert(FRanges.end(), FExpected.begin(), FExpected.end());
    }
}

void TFiguresChanges::ApplyTo(TFiguresTree& tree, std::span<const TVertexRecord> rows, bool closed)
{
    const std::int32_t n = static_cast<std::int32_t>(rows.size());
    bool rebuild = FAll || !tree.Fits(n, closed);
    for (const TRange& r : FRanges)
        rebuild = rebuild || r.First < 0 || r.Count < 0 || r.First > n - r.Count;
    if (rebuild)
        tree.Rebuild(rows, closed);
    else
        for (const TRange& r : FRanges)
            tree.RowsChanged(rows, r.First, r.Count);
    FAll = false;
    FRanges.clear();
}
