// The sums behind the contour's figures — length, twice the polygon area and the arc segments
// over every edge — kept in a tree of partial sums, so that a change of a few rows costs
// O(log N) instead of a pass over the table. The edges are summed in blocks of a fixed size and
// the blocks pairwise, in one fixed order: a full pass (SumContourEdges) and the tree after any
// number of row updates give the same bits for the same rows.
//
// The tree does not own the rows: every call takes them as the table holds them now. The editor
// window owns one tree and tells it which rows a command rewrote in place; any other change
// rebuilds it whole.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Geomet.h"
#include "Polypad/ContourFigures.h"

#include <cstdint>
#include <span>
#include <vector>

// The edge from p to q, the convexity being its end row's: its length (an arc's own length, as
// the edge-length column has it) and the segment between its chord and its arc, signed like the
// sweep. False when the edge is not defined.
bool MeasureContourEdge(TFloatPoint p, TFloatPoint q, double convexity, long double& length, long double& segment);

// The sums over a run of edges; Defined is false when one of them is not defined.
struct TEdgeSums {
    long double Length = 0;
    long double TwiceArea = 0; // about the first row, so that the products stay small
    long double Segments = 0;
    bool Defined = true;
};

// Edge e runs from row e to row e + 1, the last edge of a closed contour back to row 0; its
// convexity is its end row's. An open contour of n rows has n - 1 edges, a closed one n.
std::int32_t ContourEdgeCount(std::int32_t rows, bool closed);

// Every edge's sums in the tree's order, without allocating.
TEdgeSums SumContourEdges(std::span<const TVertexRecord> rows, bool closed);

// The figures of rows from their edge sums.
TContourFigures FiguresFromSums(std::span<const TVertexRecord> rows, bool closed, const TEdgeSums& sums);

class TFiguresTree {
public:
    // Sums every edge afresh.
    void Rebuild(std::span<const TVertexRecord> rows, bool closed);
    // Rows [first, first + count) were rewritten in place (same count, same closed flag): only
    // their edges are summed again. A change of row 0, the area's origin, rebuilds the tree.
    void RowsChanged(std::span<const TVertexRecord> rows, std::int32_t first, std::int32_t count);
    // Whether the tree was built for this many rows and this closed flag.
    bool Fits(std::int32_t rows, bool closed) const { return FBuilt && FRows == rows && FClosed == closed; }
    const TEdgeSums& Sums() const;
    TContourFigures Figures(std::span<const TVertexRecord> rows) const;

private:
    void Build(std::span<const TVertexRecord> rows, std::size_t node, std::int32_t lo, std::int32_t hi);
    // Sums the block holding edge again, and the nodes above it; returns the block's end.
    std::int32_t Update(std::span<const TVertexRecord> rows, std::size_t node, std::int32_t lo, std::int32_t hi,
                        std::int32_t edge);

    bool FBuilt = false;
    std::int32_t FRows = 0;
    bool FClosed = false;
    std::int32_t FEdges = 0;
    // Heap order: node 1 is the root, node k's halves are 2k and 2k + 1.
    std::vector<TEdgeSums> FNodes;
};

// What has changed in the table since the figures were last brought up to date, as the window
// learns it from the table's announcements: some rows rewritten in place, or anything at all.
class TFiguresChanges {
public:
    // Rows [First, First + Count).
    struct TRange {
        std::int32_t First = 0;
        std::int32_t Count = 0;
    };

    // The next announcements come from a change of the given rows in place; until the returned
    // guard goes, each announcement notes those rows instead of the whole table. No ranges: the
    // change may touch anything.
    class TExpected {
    public:
        explicit TExpected(TFiguresChanges& owner) : FOwner(owner) {}
        TExpected(const TExpected&) = delete;
        TExpected& operator=(const TExpected&) = delete;
        ~TExpected() { FOwner.FExpected.clear(); }

    private:
        TFiguresChanges& FOwner;
    };
    [[nodiscard]] TExpected Expect(std::span<const TRange> ranges);

    // One announcement of the table.
    void Announced();
    // The rows noted since the last ApplyTo; nullptr when anything may have changed.
    const std::vector<TRange>* Noted() const { return FAll ? nullptr : &FRanges; }
    // Brings tree in line with rows and forgets what was noted.
    void ApplyTo(TFiguresTree& tree, std::span<const TVertexRecord> rows, bool closed);

private:
    std::vector<TRange> FExpected;
    bool FAll = true;
    std::vector<TRange> FRanges;
};
