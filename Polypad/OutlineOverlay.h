// The table's outline on the map as paint hints, one per outline piece. Bringing it in line with
// the rows removes the hints of pieces that are gone and builds those that are new; pieces found
// again unchanged cost no Host call. Building stops when its time is up, so that a whole new
// contour is drawn over several messages instead of one long one.
#pragma once

#include "Polypad/OrvexPaintHints.h"
#include "Polypad/OutlinePieces.h"

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

class TOutlineOverlay {
public:
    using TContourFactory = std::function<TComPtr<IHostContour>()>;

    // The hints go into manager, which owns them; createContour gives an empty Host contour.
    TOutlineOverlay(TPaintHintManager& manager, TContourFactory createContour, const TPaintHintPen& pen);
    TOutlineOverlay(const TOutlineOverlay&) = delete;
    TOutlineOverlay& operator=(const TOutlineOverlay&) = delete;

    // Removes what no longer matches the rows, then builds new pieces, until budget has passed
    // (doing at least one of either); true when the overlay shows exactly the rows.
    bool Sync(const std::vector<TVertexRecord>& rows, bool closed, std::chrono::steady_clock::duration budget);

    // What changed since the last Sync, as far as the caller knows: rows rewritten in place, or
    // anything. With rewritten rows only, the next Sync splits the outline again around them
    // alone; with nothing noted it splits the whole outline.
    void RowsRewritten(std::int32_t first, std::int32_t count);
    void RowsChanged();

    std::int32_t PieceCount() const { return static_cast<std::int32_t>(FPieces.size()); }
    // Pieces built and removed by the last Sync.
    std::int32_t LastBuilt() const { return FLastBuilt; }
    std::int32_t LastRemoved() const { return FLastRemoved; }

private:
    struct TShownPiece {
        TPaintHint* Hint = nullptr;
        std::vector<TVertexRecord> Vertices;
        bool Closed = false;
        std::uint64_t Hash = 0;
    };

    // How many targets at the head and the tail are known to be shown by the pieces in the same
    // places, with no need to compare their vertices.
    struct TKeptEnds {
        std::size_t Head = 0;
        std::size_t Tail = 0;
    };
    TKeptEnds KeptEnds(const std::vector<TOutlinePiece>& previous,
                       const std::vector<std::pair<std::int32_t, std::int32_t>>& rewritten) const;
    // Indexes of FPieces matched to each target piece (-1 for none); unmatched shown pieces are
    // marked in unused.
    std::vector<std::int32_t> Match(const std::vector<TVertexRecord>& rows, const std::vector<TOutlinePiece>& targets,
                                    const TKeptEnds& kept, std::vector<bool>& unused) const;
    // False when time ran out before every unused piece was removed.
    bool RemoveUnused(const std::vector<bool>& unused, std::vector<std::int32_t>& matched,
                      const std::function<bool()>& timeIsUp);
    void PutInTargetOrder(const std::vector<std::int32_t>& placeOf);
    void Build(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece);

    TPaintHintManager& FManager;
    TContourFactory FCreateContour;
    TPaintHintPen FPen;
    std::vector<TShownPiece> FPieces;
    // The pieces of the rows at the last Sync, and the rows rewritten since.
    std::vector<TOutlinePiece> FTargets;
    std::int32_t FTargetRows = -1;
    bool FTargetsClosed = false;
    bool FAnyChange = false;
    // FPieces[i] shows FTargets[i], for every target: the last Sync finished.
    bool FInTargetOrder = false;
    std::vector<std::pair<std::int32_t, std::int32_t>> FRewritten;
    std::int32_t FLastBuilt = 0;
    std::int32_t FLastRemoved = 0;
};
