#include "Polypad/OutlineOverlay.h"

#include "CoreLib/Errors.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <unordered_map>

TOutlineOverlay::TOutlineOverlay(TPaintHintManager& manager, TContourFactory createContour, const TPaintHintPen& pen)
    : FManager(manager), FCreateContour(std::move(createContour)), FPen(pen)
{
}

bool TOutlineOverlay::Sync(const std::vector<TVertexRecord>& rows, bool closed, std::chrono::steady_clock::duration budget)
{
    const auto start = std::chrono::steady_clock::now();
    const auto timeIsUp = [&] { return std::chrono::steady_clock::now() - start >= budget; };
    const auto n = static_cast<std::int32_t>(rows.size());
    const bool rewrittenOnly = !FAnyChange && !FRewritten.empty() && FTargetRows == n && FTargetsClosed == closed;
    std::vector<TOutlinePiece> previous = std::move(FTargets);
    if (rewrittenOnly) {
        FTargets = previous;
        for (const auto& [first, count] : FRewritten)
            FTargets = ResplitOutline(rows, closed, FTargets, first, count);
    } else {
        FTargets = SplitOutline(rows, closed);
    }
    // Shown pieces in step with the previous targets that neither changed nor hold a rewritten
    // row show what they showed: only the pieces between them are matched and built.
    const TKeptEnds kept = rewrittenOnly && FInTargetOrder ? KeptEnds(previous, FRewritten) : TKeptEnds{};
    FTargetRows = n;
    FTargetsClosed = closed;
    FAnyChange = false;
    FRewritten.clear();
    FInTargetOrder = false;
    const std::vector<TOutlinePiece>& targets = FTargets;
    std::vector<bool> unused;
    std::vector<std::int32_t> matched = Match(rows, targets, kept, unused);
    FLastBuilt = 0;
    if (!RemoveUnused(unused, matched, timeIsUp))
        return false;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (matched[t] >= 0)
            continue;
        if ((FLastBuilt > 0 || FLastRemoved > 0) && timeIsUp())
            return false;
        Build(rows, targets[t]);
        matched[t] = static_cast<std::int32_t>(FPieces.size()) - 1;
        ++FLastBuilt;
    }
    PutInTargetOrder(matched);
    return true;
}

TOutlineOverlay::TKeptEnds
TOutlineOverlay::KeptEnds(const std::vector<TOutlinePiece>& previous,
                          const std::vector<std::pair<std::int32_t, std::int32_t>>& rewritten) const
{
    std::int32_t low = std::numeric_limits<std::int32_t>::max(), high = -1;
    for (const auto& [first, count] : rewritten) {
        low = std::min(low, first);
        high = std::max(high, first + count - 1);
    }
    const auto same = [](const TOutlinePiece& a, const TOutlinePiece& b) {
        return a.First == b.First && a.Count == b.Count && a.ClosingVertex == b.ClosingVertex &&
               a.Closed == b.Closed && a.Hash == b.Hash;
    };
    // A piece holds rows [First, First + Count), and row 0 too with the closing vertex.
    const auto untouched = [&](const TOutlinePiece& p) {
        return (p.First + p.Count <= low || p.First > high) && !(p.ClosingVertex && low == 0);
    };
    const std::size_t shared = std::min(previous.size(), FTargets.size());
    TKeptEnds kept;
    while (kept.Head < shared && same(previous[kept.Head], FTargets[kept.Head]) && untouched(previous[kept.Head]))
        ++kept.Head;
    const auto fromEnd = [](const std::vector<TOutlinePiece>& pieces, std::size_t i) -> const TOutlinePiece& {
        return pieces[pieces.size() - 1 - i];
    };
    while (kept.Head + kept.Tail < shared && same(fromEnd(previous, kept.Tail), fromEnd(FTargets, kept.Tail)) &&
           untouched(fromEnd(previous, kept.Tail)))
        ++kept.Tail;
    return kept;
}

void TOutlineOverlay::RowsRewritten(std::int32_t first, std::int32_t count)
{
    // Many small changes (painting off while the user types) cost as much as one whole split.
    if (FRewritten.size() >= 64)
        RowsChanged();
    if (!FAnyChange)
        FRewritten.emplace_back(first, count);
}

void TOutlineOverlay::RowsChanged()
{
    FAnyChange = true;
    FRewritten.clear();
}

std::vector<std::int32_t> TOutlineOverlay::Match(const std::vector<TVertexRecord>& rows,
                                                 const std::vector<TOutlinePiece>& targets, const TKeptEnds& kept,
                                                 std::vector<bool>& unused) const
{
    const std::size_t shown = FPieces.size();
    std::vector<std::int32_t> matched(targets.size(), -1);
    unused.assign(shown, true);
    for (std::size_t i = 0; i < kept.Head; ++i) {
        matched[i] = static_cast<std::int32_t>(i);
        unused[i] = false;
    }
    for (std::size_t i = 1; i <= kept.Tail; ++i) {
        matched[targets.size() - i] = static_cast<std::int32_t>(shown - i);
        unused[shown - i] = false;
    }
    std::unordered_multimap<std::uint64_t, std::int32_t> byHash;
    byHash.reserve(shown - kept.Head - kept.Tail);
    for (std::size_t s = kept.Head; s < shown - kept.Tail; ++s)
        byHash.emplace(FPieces[s].Hash, static_cast<std::int32_t>(s));
    for (std::size_t t = kept.Head; t < targets.size() - kept.Tail; ++t) {
        const auto [first, last] = byHash.equal_range(targets[t].Hash);
        for (auto it = first; it != last; ++it) {
            const TShownPiece& piece = FPieces[static_cast<std::size_t>(it->second)];
            if (unused[static_cast<std::size_t>(it->second)] &&
                PieceHolds(rows, targets[t], piece.Vertices, piece.Closed)) {
                unused[static_cast<std::size_t>(it->second)] = false;
                matched[t] = it->second;
                break;
            }
        }
    }
    return matched;
}

// Unused hints leave the manager, which erases each from the map and destroys it even when
// erasing fails; at least one goes, the rest only while there is time (they stay unused).
// matched follows the pieces to their places among those kept.
bool TOutlineOverlay::RemoveUnused(const std::vector<bool>& unused, std::vector<std::int32_t>& matched,
                                   const std::function<bool()>& timeIsUp)
{
    std::vector<TShownPiece> kept;
    std::vector<std::int32_t> placeOf(FPieces.size(), -1);
    std::vector<TPaintHint*> removed;
    kept.reserve(FPieces.size());
    bool all = true;
    std::exception_ptr failure;
    for (std::size_t s = 0; s < FPieces.size(); ++s) {
        if (!unused[s] || (!removed.empty() && timeIsUp())) {
            all = all && !unused[s];
            placeOf[s] = static_cast<std::int32_t>(kept.size());
            kept.push_back(std::move(FPieces[s]));
            continue;
        }
        removed.push_back(FPieces[s].Hint);
        try {
            FManager.Delete(FManager.IndexOf(removed.back()));
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    FPieces = std::move(kept);
    for (std::int32_t& m : matched)
        if (m >= 0)
            m = placeOf[static_cast<std::size_t>(m)];
    FLastRemoved = static_cast<std::int32_t>(removed.size());
    if (failure)
        std::rethrow_exception(failure);
    return all;
}

// With every target shown, the pieces are put in the targets' order (placeOf[t] is the piece
// showing target t), so that the next Sync finds the unchanged ones by place.
void TOutlineOverlay::PutInTargetOrder(const std::vector<std::int32_t>& placeOf)
{
    Assert(placeOf.size() == FPieces.size(), "TOutlineOverlay.PutInTargetOrder: a piece shows no target");
    std::vector<TShownPiece> ordered;
    ordered.reserve(placeOf.size());
    for (const std::int32_t s : placeOf)
        ordered.push_back(std::move(FPieces[static_cast<std::size_t>(s)]));
    FPieces = std::move(ordered);
    FInTargetOrder = true;
}

void TOutlineOverlay::Build(const std::vector<TVertexRecord>& rows, const TOutlinePiece& piece)
{
    std::vector<TVertexRecord> vertices = PieceVertices(rows, piece);
    const TComPtr<IHostContour> contour = FCreateContour();
    TComPtr<IHostContourPart> part;
    ThrowIfFailed(contour->InsertPart(-1, part.put()));
    RequireHostObject(part, "IHostContour.InsertPart");
    ThrowIfFailed(part->SetClosed(piece.Closed ? VARIANT_TRUE : VARIANT_FALSE));
    for (const TVertexRecord& v : vertices)
        ThrowIfFailed(part->InsertVertex(-1, v.X, v.Y, v.ArcConvexity));
    auto hint = std::make_unique<TPaintHint>(contour.get(), true, FPen);
    // Known before it is added: adding draws it, and a failed drawing leaves it in the manager.
    FPieces.push_back({hint.get(), std::move(vertices), piece.Closed, piece.Hash});
    FManager.AddHint(hint.release());
}
