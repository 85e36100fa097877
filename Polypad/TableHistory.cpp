#include "Polypad/TableHistory.h"

#include "CoreLib/Errors.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace {

constexpr const char* kNoSuchRow = "Строка таблицы не существует";

static_assert(sizeof(TVertexRecord) == 3 * sizeof(double), "rows are compared as bytes");

bool SameRows(const TVertexRecord* a, const TVertexRecord* b, std::size_t count)
{
    return count == 0 || std::memcmp(a, b, count * sizeof(TVertexRecord)) == 0;
}

} // namespace

std::string TableEditName(TTableEdit edit, TTableColumnKind column)
{
    switch (edit) {
    case TTableEdit::teCell: return std::string("изменение ячейки «") + TableColumnCaption(column) + "»";
    case TTableEdit::teAddRow: return "добавление строки";
    case TTableEdit::teInsertRow: return "вставка строки";
    case TTableEdit::teDeleteRow: return "удаление строки";
    case TTableEdit::teMoveRowUp: return "перемещение строки вверх";
    case TTableEdit::teMoveRowDown: return "перемещение строки вниз";
    case TTableEdit::teClear: return "очистка таблицы";
    case TTableEdit::teClose: return "замыкание контура";
    case TTableEdit::teOpen: return "размыкание контура";
    case TTableEdit::tePaste: return "вставка из буфера обмена";
    case TTableEdit::teFill: return "заполнение из карты";
    case TTableEdit::teAdjust: return "уравнивание хода";
    case TTableEdit::teCourses: return "вставка хода";
    case TTableEdit::teTraverse: return "ход по углам";
    }
    return {};
}

TTableHistory::TTableHistory(TTable& table, std::size_t byteLimit)
    : FTable(table), FByteLimit(byteLimit)
{
    Seen();
}

void TTableHistory::Seen()
{
    FSeen = TSeen{FTable.ChangeCount(), FTable.Count(), FTable.Closed()};
}

bool TTableHistory::InStep() const
{
    return FSeen.Changes == FTable.ChangeCount() && FSeen.Count == FTable.Count() && FSeen.Closed == FTable.Closed();
}

// What a step takes of the heap: itself, its rows and the allocator's header of their block.
std::size_t TTableHistory::StepBytes(const TStep& step)
{
    constexpr std::size_t kBlockOverhead = 16;
    return sizeof(TStep) + (step.Rows.capacity() ? step.Rows.capacity() * sizeof(TVertexRecord) + kBlockOverhead : 0);
}

// The ranges are ascending and apart; more than one only when the change keeps the row count
// (the typed cells), so that the last range alone takes up a change of the count.
TTableHistory::TPending TTableHistory::Begin(TTableEdit edit, TTableColumnKind column, std::span<const TRowRange> ranges,
                                             TTableCell cellBefore, TTableCell cellAfter)
{
    Assert(ranges.size() <= std::extent_v<decltype(TStep::Spans)>);
    DropIfStale();
    TPending pending{edit, column, ranges, FTable.Count(), FTable.Closed(), FFilledParts, FTable.ChangeCount(),
                     false, {}, cellBefore, cellAfter};
    std::size_t rows = 0;
    for (const TRowRange& r : ranges) {
        Assert(r.Start >= 0 && r.Count >= 0 && r.Start <= pending.CountBefore - r.Count, kNoSuchRow);
        rows += static_cast<std::size_t>(r.Count);
    }
    // Rows that alone exceed the bound could never be kept: they are not even copied.
    pending.Kept = rows * sizeof(TVertexRecord) <= FByteLimit;
    if (pending.Kept) {
        const std::vector<TVertexRecord>& vertices = FTable.ContourPart().Vertices;
        pending.Before.reserve(rows);
        for (const TRowRange& r : ranges)
            pending.Before.insert(pending.Before.end(), vertices.begin() + r.Start, vertices.begin() + r.Start + r.Count);
    }
    return pending;
}

// The spans as the change has left them, a change of the count on the last.
void TTableHistory::SpansAfter(const TPending& pending, TSpan (&spans)[2]) const
{
    const std::int32_t delta = FTable.Count() - pending.CountBefore;
    Assert(pending.Ranges.size() <= 1 || delta == 0);
    for (std::size_t s = 0; s < pending.Ranges.size(); ++s) {
        const TRowRange& r = pending.Ranges[s];
        spans[s] = TSpan{r.Start, r.Count, s + 1 == pending.Ranges.size() ? r.Count + delta : r.Count};
        Assert(spans[s].AfterCount >= 0 && spans[s].Start <= FTable.Count() - spans[s].AfterCount);
    }
}

// After a change that failed: puts back what it had done; without its rows the steps are stale.
void TTableHistory::PutBack(const TPending& pending)
{
    FFilledParts = pending.PartsBefore;
    if (FTable.ChangeCount() == pending.ChangesBefore)
        return;
    bool restored = false;
    if (pending.Kept) {
        try {
            TSpan spans[2];
            SpansAfter(pending, spans);
            TRowReplacement back[2];
            std::size_t offset = 0;
            for (std::size_t s = 0; s < pending.Ranges.size(); ++s) {
                const auto count = static_cast<std::size_t>(spans[s].BeforeCount);
                back[s] = TRowReplacement{spans[s].Start, spans[s].AfterCount,
                                          std::span(pending.Before).subspan(offset, count)};
                offset += count;
            }
            FTable.ReplaceRows(std::span(back, pending.Ranges.size()), pending.ClosedBefore);
            restored = true;
        } catch (...) {
        }
    }
    if (!restored)
        DropAll();
    Seen();
}

// After a change that succeeded: keeps its step; false when it left everything as it was. A step
// that cannot be kept (larger than the bound, or no memory for it) leaves the older ones stale.
bool TTableHistory::Finish(const TPending& pending)
{
    if (FTable.ChangeCount() == pending.ChangesBefore)
        return false;
    bool changed = true;
    try {
        changed = KeepStep(pending);
    } catch (const std::bad_alloc&) {
        DropAll();
    } catch (...) {
        DropAll();
        Seen();
        throw;
    }
    Seen();
    return changed;
}

bool TTableHistory::KeepStep(const TPending& pending)
{
    TStep step;
    step.Edit = pending.Edit;
    step.Column = pending.Column;
    step.ClosedBefore = pending.ClosedBefore;
    step.ClosedAfter = FTable.Closed();
    step.PartsBefore = pending.PartsBefore;
    step.PartsAfter = FFilledParts;
    step.CellBefore = pending.CellBefore;
    step.CellAfter = pending.CellAfter;
    step.SpanCount = static_cast<std::uint8_t>(pending.Ranges.size());
    SpansAfter(pending, step.Spans);
    std::size_t afterRows = 0;
    for (std::size_t s = 0; s < step.SpanCount; ++s)
        afterRows += static_cast<std::size_t>(step.Spans[s].AfterCount);
    const std::size_t rows = pending.Before.size() + afterRows;
    if (!pending.Kept || sizeof(TStep) + rows * sizeof(TVertexRecord) > FByteLimit) {
        DropAll();
        return true;
    }

    const std::vector<TVertexRecord>& vertices = FTable.ContourPart().Vertices;
    bool changed = step.ClosedBefore != step.ClosedAfter;
    step.Rows.reserve(rows);
    std::size_t offset = 0;
    for (std::size_t s = 0; s < step.SpanCount; ++s) {
        const TSpan& span = step.Spans[s];
        const TVertexRecord* was = pending.Before.data() + offset;
        const TVertexRecord* is = vertices.data() + span.Start;
        step.Rows.insert(step.Rows.end(), was, was + span.BeforeCount);
        step.Rows.insert(step.Rows.end(), is, is + span.AfterCount);
        changed = changed || span.BeforeCount != span.AfterCount ||
                  !SameRows(was, is, static_cast<std::size_t>(span.BeforeCount));
        offset += static_cast<std::size_t>(span.BeforeCount);
    }
    if (changed)
        Push(std::move(step));
    return changed;
}

template <class Change>
bool TTableHistory::Record(TTableEdit edit, TTableColumnKind column, std::span<const TRowRange> ranges, Change change,
                           TTableCell cellBefore, TTableCell cellAfter)
{
    const TPending pending = Begin(edit, column, ranges, cellBefore, cellAfter);
    try {
        change();
    } catch (...) {
        PutBack(pending);
        throw;
    }
    return Finish(pending);
}

void TTableHistory::Apply(const TStep& step, bool forward)
{
    TRowReplacement replacements[2];
    std::size_t offset = 0;
    for (std::size_t s = 0; s < step.SpanCount; ++s) {
        const TSpan& span = step.Spans[s];
        const std::span<const TVertexRecord> was(step.Rows.data() + offset, static_cast<std::size_t>(span.BeforeCount));
        const std::span<const TVertexRecord> is(was.data() + was.size(), static_cast<std::size_t>(span.AfterCount));
        // Undo goes through the spans backwards, each over the rows the step left.
        if (forward)
            replacements[s] = TRowReplacement{span.Start, span.BeforeCount, is};
        else
            replacements[step.SpanCount - 1 - s] = TRowReplacement{span.Start, span.AfterCount, was};
        offset += was.size() + is.size();
    }
    FTable.ReplaceRows(std::span(replacements, step.SpanCount), forward ? step.ClosedAfter : step.ClosedBefore);
    FFilledParts = forward ? step.PartsAfter : step.PartsBefore;
    Seen();
}

void TTableHistory::Push(TStep&& step)
{
    while (FSteps.size() > FIndex) {
        FBytes -= StepBytes(FSteps.back());
        FSteps.pop_back();
    }
    if (FCleanIndex > static_cast<std::ptrdiff_t>(FIndex))
        FCleanIndex = -1;
    const std::size_t bytes = StepBytes(step);
    FSteps.push_back(std::move(step));
    FBytes += bytes;
    ++FIndex;
    while (FBytes > FByteLimit && !FSteps.empty())
        DropOldest();
}

// The oldest done step goes first; with none done, the farthest step to redo.
void TTableHistory::DropOldest()
{
    if (FIndex > 0) {
        FBytes -= StepBytes(FSteps.front());
        FSteps.pop_front();
        --FIndex;
        if (FCleanIndex == 0)
            FCleanIndex = -1;
        else if (FCleanIndex > 0)
            --FCleanIndex;
    } else {
        FBytes -= StepBytes(FSteps.back());
        FSteps.pop_back();
        if (FCleanIndex > static_cast<std::ptrdiff_t>(FSteps.size()))
            FCleanIndex = -1;
    }
}

void TTableHistory::DropAll()
{
    FSteps.clear();
    FIndex = 0;
    FBytes = 0;
    FCleanIndex = -1;
}

void TTableHistory::DropIfStale()
{
    if (!InStep()) {
        DropAll();
        Seen();
    }
}

bool TTableHistory::EditCell(TTableColumnKind kind, std::int32_t row, double value, TTableCell cellBefore,
                             TTableCell cellAfter)
{
    Assert(row >= 0 && row < FTable.Count(), kNoSuchRow);
    std::array<std::int32_t, 2> moved = FTable.RowsMovedByCell(kind, row);
    if (moved[0] < 0)
        return false;
    // One range for the rows that touch (the arc centre's two ends are usually neighbours).
    if (moved[1] >= 0 && moved[1] < moved[0])
        std::swap(moved[0], moved[1]);
    TRowRange ranges[2] = {{moved[0], 1}, {}};
    std::size_t rangeCount = 1;
    if (moved[1] >= 0 && moved[1] != moved[0]) {
        if (moved[1] == moved[0] + 1)
            ranges[0].Count = 2;
        else
            ranges[rangeCount++] = TRowRange{moved[1], 1};
    }
    return Record(TTableEdit::teCell, kind, std::span<const TRowRange>(ranges, rangeCount), [&] {
        switch (kind) {
        case ckX: FTable.SetX(row, value); break;
        case ckY: FTable.SetY(row, value); break;
        case ckEdgeLength: FTable.SetEdgeLength(row, value); break;
        case ckLeftAngle: FTable.SetLeftAngle(row, value); break;
        case ckRightAngle: FTable.SetRightAngle(row, value); break;
        case ckDirectionAngle: FTable.SetDirectionAngle(row, value); break;
        case ckArcConvexity: FTable.SetArcConvexity(row, value); break;
        case ckArcCenterX: FTable.SetArcCenterX(row, value); break;
        case ckArcCenterY: FTable.SetArcCenterY(row, value); break;
        default: break;
        }
    }, cellBefore, cellAfter);
}

bool TTableHistory::AddRow(TFloatPoint point, double convexity, TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range{FTable.Count(), 0};
    return Record(TTableEdit::teAddRow, ckNone, std::span(&range, 1), [&] { FTable.AddRow(point, convexity); },
                  cellBefore, cellAfter);
}

bool TTableHistory::InsertRow(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range{row, 0};
    return Record(TTableEdit::teInsertRow, ckNone, std::span(&range, 1), [&] { FTable.InsertRow(row); }, cellBefore,
                  cellAfter);
}

// Past the end the table deletes its last row, as TTable::DeleteRow does.
bool TTableHistory::DeleteRow(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter)
{
    const std::int32_t deleted = std::min(row, FTable.Count() - 1);
    const TRowRange range = deleted >= 0 ? TRowRange{deleted, 1} : TRowRange{};
    return Record(TTableEdit::teDeleteRow, ckNone, std::span(&range, 1), [&] { FTable.DeleteRow(row); }, cellBefore,
                  cellAfter);
}

bool TTableHistory::MoveRowUp(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range = row > 0 ? TRowRange{row - 1, 2} : TRowRange{};
    return Record(TTableEdit::teMoveRowUp, ckNone, std::span(&range, 1), [&] { FTable.MoveRowUp(row); }, cellBefore,
                  cellAfter);
}

bool TTableHistory::MoveRowDown(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range = row >= 0 && row != FTable.Count() - 1 ? TRowRange{row, 2} : TRowRange{};
    return Record(TTableEdit::teMoveRowDown, ckNone, std::span(&range, 1), [&] { FTable.MoveRowDown(row); },
                  cellBefore, cellAfter);
}

bool TTableHistory::ClearTable(TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range{0, FTable.Count()};
    return Record(TTableEdit::teClear, ckNone, std::span(&range, 1),
                  [&] {
                      FTable.ReplaceRows(0, range.Count, {}, false);
                      FFilledParts = 0;
                  },
                  cellBefore, cellAfter);
}

bool TTableHistory::SetClosed(bool closed, TTableCell cellBefore, TTableCell cellAfter)
{
    return Record(closed ? TTableEdit::teClose : TTableEdit::teOpen, ckNone, {}, [&] { FTable.SetClosed(closed); },
                  cellBefore, cellAfter);
}

bool TTableHistory::ReplaceAll(TTableEdit edit, std::span<const TVertexRecord> rows, bool closed,
                               TTableCell cellBefore, TTableCell cellAfter)
{
    const TRowRange range{0, FTable.Count()};
    return Record(
        edit, ckNone, std::span(&range, 1),
        [&] {
            FTable.ReplaceRows(0, range.Count, rows, closed);
            if (edit == TTableEdit::tePaste)
                FFilledParts = 0;
        },
        cellBefore, cellAfter);
}

bool TTableHistory::ReplaceAllBy(TTableEdit edit, const std::function<void()>& change, TTableCell cellBefore,
                                 TTableCell cellAfter)
{
    const TRowRange range{0, FTable.Count()};
    return Record(edit, ckNone, std::span(&range, 1), change, cellBefore, cellAfter);
}

bool TTableHistory::CanUndo() const { return InStep() && FIndex > 0; }

bool TTableHistory::CanRedo() const { return InStep() && FIndex < FSteps.size(); }

std::string TTableHistory::UndoText() const
{
    if (!CanUndo())
        return "Отменить";
    const TStep& step = FSteps[FIndex - 1];
    return "Отменить: " + TableEditName(step.Edit, step.Column);
}

std::string TTableHistory::RedoText() const
{
    if (!CanRedo())
        return "Повторить";
    const TStep& step = FSteps[FIndex];
    return "Повторить: " + TableEditName(step.Edit, step.Column);
}

std::vector<TTableHistory::TRowRange> TTableHistory::RowsRewrittenBy(bool redo) const
{
    std::vector<TRowRange> runs;
    if (redo ? FIndex >= FSteps.size() : FIndex == 0)
        return runs;
    const TStep& step = FSteps[redo ? FIndex : FIndex - 1];
    if (step.ClosedBefore != step.ClosedAfter)
        return runs;
    for (std::size_t s = 0; s < step.SpanCount; ++s) {
        const TSpan& span = step.Spans[s];
        if (span.BeforeCount != span.AfterCount)
            return {};
        runs.push_back({span.Start, span.AfterCount});
    }
    return runs;
}

std::optional<TTableCell> TTableHistory::Undo()
{
    DropIfStale();
    if (FIndex == 0)
        return std::nullopt;
    const TStep& step = FSteps[FIndex - 1];
    Apply(step, false);
    --FIndex;
    return step.CellBefore;
}

std::optional<TTableCell> TTableHistory::Redo()
{
    DropIfStale();
    if (FIndex == FSteps.size())
        return std::nullopt;
    const TStep& step = FSteps[FIndex];
    Apply(step, true);
    ++FIndex;
    return step.CellAfter;
}

void TTableHistory::SetClean()
{
    DropIfStale();
    FCleanIndex = static_cast<std::ptrdiff_t>(FIndex);
}

bool TTableHistory::IsClean() const { return InStep() && FCleanIndex == static_cast<std::ptrdiff_t>(FIndex); }

void TTableHistory::Clear()
{
    DropAll();
    Seen();
}

void TTableHistory::SetByteLimit(std::size_t bytes)
{
    FByteLimit = bytes;
    while (FBytes > FByteLimit && !FSteps.empty())
        DropOldest();
}
