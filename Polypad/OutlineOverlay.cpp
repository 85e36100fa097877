#include "Polypad/OutlineOverlay.h"

#include <exception>
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
    if (!FAnyChange && !FRewritten.empty() && FTargetRows == n && FTargetsClosed == closed) {
        for (const auto& [first, count] : FRewritten)
            FTargets = ResplitOutline(rows, closed, FTargets, first, count);
    } else {
        FTargets = SplitOutline(rows, closed);
    }
    FTargetRows = n;
    FTargetsClosed = closed;
    FAnyChange = false;
    FRewritten.clear();
    const std::vector<TOutlinePiece>& targets = FTargets;
    std::vector<bool> unused;
    const std::vector<std::int32_t> matched = Match(rows, targets, unused);
    FLastBuilt = 0;
    if (!RemoveUnused(unused, timeIsUp))
        return false;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (matched[t] >= 0)
            continue;
        if ((FLastBuilt > 0 || FLastRemoved > 0) && timeIsUp())
            return false;
        Build(rows, targets[t]);
        ++FLastBuilt;
    }
    return true;
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
                                                 const std::vector<TOutlinePiece>& targets,
                                                 std::vector<bool>& unused) const
{
    std::unordered_multimap<std::uint64_t, std::int32_t> byHash;
    byHash.reserve(FPieces.size());
    for (std::size_t s = 0; s < FPieces.size(); ++s)
        byHash.emplace(FPieces[s].Hash, static_cast<std::int32_t>(s));
    unused.assign(FPieces.size(), true);
    std::vector<std::int32_t> matched(targets.size(), -1);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const auto [first, last] = byHash.equal_range(targets[t].Hash);
        for (auto it = first; it != last; ++it) {
            const TShownPiece& shown = FPieces[static_cast<std::size_t>(it->second)];
            if (unused[static_cast<std::size_t>(it->second)] &&
                PieceHolds(rows, targets[t], shown.Vertices, shown.Closed)) {
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
bool TOutlineOverlay::RemoveUnused(const std::vector<bool>& unused, const std::function<bool()>& timeIsUp)
{
    std::vector<TShownPiece> kept;
    std::vector<TPaintHint*> removed;
    kept.reserve(FPieces.size());
    bool all = true;
    std::exception_ptr failure;
    for (std::size_t s = 0; s < FPieces.size(); ++s) {
        if (!unused[s] || (!removed.empty() && timeIsUp())) {
            all = all && !unused[s];
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
    FLastRemoved = static_cast<std::int32_t>(removed.size());
    if (failure)
        std::rethrow_exception(failure);
    return all;
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
