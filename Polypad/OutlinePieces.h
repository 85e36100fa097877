// The contour's overlay outline split into pieces of bounded size, each one Host part of its own,
// so that a change costs Host calls in proportion to the pieces it touches rather than to the
// whole contour.
//
// Piece ends are chosen by the rows' coordinates, not by their positions: a row inserted or
// deleted changes the pieces around it only, and every other piece is found again with the same
// vertices. Pieces are open polylines joined end to start, so that each joint is drawn once by
// an exclusive-or pen that leaves out a line's last point. A contour of up to
// kOutlineWholeLimit rows stays one part, closed as the table is.
#pragma once

#include "CoreLib/ContourParts.h"

#include <cstdint>
#include <vector>

// A typed cell erases, rebuilds and draws the piece that holds it through the Host, at a cost per
// vertex each time: pieces of ~80 rows keep that to a fraction of a millisecond, while a whole
// outline of 10^5 rows takes ~1300 parts. The forced end at the maximum is rare enough that the
// ends stay where the coordinates put them.
inline constexpr std::int32_t kOutlineWholeLimit = 1024;
inline constexpr std::int32_t kOutlineMinEdges = 16;
inline constexpr std::int32_t kOutlineMaxEdges = 256;

struct TOutlinePiece {
    std::int32_t First = 0;     // first row
    std::int32_t Count = 0;     // rows from First
    bool ClosingVertex = false; // row 0 follows, for the closing edge
    bool Closed = false;        // the whole contour as one closed part
    std::uint64_t Hash = 0;     // of the piece's vertices
};

// The pieces of rows in order; none for no rows.
std::vector<TOutlinePiece> SplitOutline(const std::vector<TVertexRecord>& rows, bool closed);

// What SplitOutline gives for rows whose rows [first, first + count) were rewritten in place,
// previous being its pieces before (same count, same closed flag): only the pieces from the one
// holding the first changed row up to where the old piece ends are met again are made afresh.
std::vector<TOutlinePiece> ResplitOutline(const std::vector<TVertexRecord>& rows, bool closed,
                                          const std::vector<TOutlinePiece>& previous, std::int32_t first,
                                          std::int32_t count);

// The vertices the piece's Host part holds. The convexity of a vertex belongs to the edge that
// ends in it, so a piece's first vertex carries none unless the piece is the whole contour.
std::vector<TVertexRecord> PieceVertices(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece);

// True when vertices (a part closed or not) are bit for bit what the piece holds.
bool PieceHolds(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece,
                const std::vector<TVertexRecord>& vertices, bool closed);
