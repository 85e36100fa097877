// The undo/redo history of the coordinate table. Every change the user makes goes through one
// of the commands below, which performs it on the table and keeps a step: the rows of the range
// it changed as they were before and after, the closed flag and the current cell before and
// after. Undo and redo put those rows back with one announcement of the table, so a step costs
// in proportion to the rows it moved, not to the table.
//
// What the rows were filled from goes with them: the number of parts of the shape a fill read
// (the window asks before it writes several parts back as one), undone and redone with the rows.
//
// The history borrows the table (the editor window owns both) and owns its steps. It holds at
// most ByteLimit() bytes of them, dropping the oldest. A change made to the table without the
// history makes every step stale: they are dropped as soon as the history notices it.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Geomet.h"
#include "Polypad/Coordinates.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The grid's current cell as the window counts it (data row and column, -1 for none).
struct TTableCell {
    std::int32_t Row = -1;
    std::int32_t Col = -1;
    bool operator==(const TTableCell&) const = default;
};

// What a step did; it names the step in the hints of Undo and Redo.
enum class TTableEdit : std::uint8_t {
    teCell,
    teAddRow,
    teInsertRow,
    teDeleteRow,
    teMoveRowUp,
    teMoveRowDown,
    teClear,
    teClose,
    teOpen,
    tePaste,
    teFill,
    teAdjust,
    teCourses,
    teTraverse, // the table replaced by a traverse computed from its field book
};

// "изменение ячейки «X»", "вставка из буфера обмена" and so on; column matters for teCell only.
std::string TableEditName(TTableEdit edit, TTableColumnKind column = ckNone);

class TTableHistory {
public:
    static constexpr std::size_t kDefaultByteLimit = std::size_t{64} << 20;

    explicit TTableHistory(TTable& table, std::size_t byteLimit = kDefaultByteLimit);
    TTableHistory(const TTableHistory&) = delete;
    TTableHistory& operator=(const TTableHistory&) = delete;

    // The commands. Each performs the change through the table's own operation, with the
    // table's checks and exceptions; a command that throws leaves the table and the history as
    // they were. A command that changes nothing keeps no step. Each returns whether the table
    // changed. cellBefore and cellAfter are the current cell before and after the command, as
    // the window sets it; undo gives back cellBefore, redo cellAfter.

    // Typing value into column kind of row (decimal degrees for the angle columns); columns that
    // cannot be typed into change nothing.
    bool EditCell(TTableColumnKind kind, std::int32_t row, double value, TTableCell cellBefore, TTableCell cellAfter);
    bool AddRow(TFloatPoint point, double convexity, TTableCell cellBefore, TTableCell cellAfter);
    bool InsertRow(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter);
    bool DeleteRow(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter);
    bool MoveRowUp(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter);
    bool MoveRowDown(std::int32_t row, TTableCell cellBefore, TTableCell cellAfter);
    // No rows, open: what "Очистить таблицу" leaves. Filled from no parts.
    bool ClearTable(TTableCell cellBefore, TTableCell cellAfter);
    bool SetClosed(bool closed, TTableCell cellBefore, TTableCell cellAfter);
    // Replaces every row and the closed flag in one announcement; edit is tePaste, teFill or teTraverse.
    // (ReplaceAllBy below also takes teAdjust, a change computed from the rows themselves.)
    // Rows pasted are filled from no parts.
    bool ReplaceAll(TTableEdit edit, std::span<const TVertexRecord> rows, bool closed, TTableCell cellBefore,
                    TTableCell cellAfter);
    // Lets change rewrite the table by any means (the fill from the map reads the Host into it)
    // and keeps the whole table before and after as one step. When change throws, the rows it
    // found are put back before the exception goes on. A fill calls SetFilledParts inside change.
    bool ReplaceAllBy(TTableEdit edit, const std::function<void()>& change, TTableCell cellBefore,
                      TTableCell cellAfter);

    // The number of parts of the shape the rows were filled from (0 when they were not). Set
    // inside a command's change it is the step's own, and undo and redo bring it back with the
    // rows; outside one it says what the rows now are (after a write of them as one part).
    long FilledParts() const { return FFilledParts; }
    void SetFilledParts(long parts) { FFilledParts = parts; }

    bool CanUndo() const;
    bool CanRedo() const;
    // The hints: "Отменить: <step>" / "Повторить: <step>", or the bare command with nothing to do.
    std::string UndoText() const;
    std::string RedoText() const;
    // Each puts the step's rows and closed flag back with one announcement and returns the cell
    // to make current; nullopt when there is nothing to do.
    std::optional<TTableCell> Undo();
    std::optional<TTableCell> Redo();

    // A run of rows [Start, Start + Count).
    struct TRowRange {
        std::int32_t Start = 0;
        std::int32_t Count = 0;
    };
    // The runs of rows (at most two) that the next Undo, or Redo, rewrites in place, so that the
    // window repaints and sums again only those; empty when that step adds or removes rows,
    // changes the closed flag, or there is no step.
    std::vector<TRowRange> RowsRewrittenBy(bool redo) const;

    // The clean mark: the table as it is now is the one the map has (after a fill from the map or
    // a write to it). IsClean tells whether undo and redo have brought the table back there; once
    // the step leading to that state is dropped nothing is clean until the next SetClean.
    void SetClean();
    bool IsClean() const;

    // Drops every step (a change the user did not make replaced the rows); the clean mark goes.
    void Clear();

    // The heap the steps take (rows, step records and the allocator's block headers).
    std::size_t BytesHeld() const { return FBytes; }
    std::size_t ByteLimit() const { return FByteLimit; }
    // Drops the oldest steps at once until they fit.
    void SetByteLimit(std::size_t bytes);

private:
    // Rows [Start, Start + BeforeCount) became AfterCount rows at Start.
    struct TSpan {
        std::int32_t Start = 0;
        std::int32_t BeforeCount = 0;
        std::int32_t AfterCount = 0;
    };
    struct TStep {
        TTableEdit Edit = TTableEdit::teCell;
        TTableColumnKind Column = ckNone;
        bool ClosedBefore = false;
        bool ClosedAfter = false;
        std::uint8_t SpanCount = 0;
        long PartsBefore = 0;
        long PartsAfter = 0;
        TSpan Spans[2];
        TTableCell CellBefore;
        TTableCell CellAfter;
        // For each span in order: its rows before, then its rows after.
        std::vector<TVertexRecord> Rows;
    };

    // A command under way: what it will change, and those rows as they were.
    struct TPending {
        TTableEdit Edit;
        TTableColumnKind Column;
        std::span<const TRowRange> Ranges;
        std::int32_t CountBefore;
        bool ClosedBefore;
        long PartsBefore;
        std::uint64_t ChangesBefore;
        bool Kept; // Before holds the rows
        std::vector<TVertexRecord> Before;
        TTableCell CellBefore;
        TTableCell CellAfter;
    };

    template <class Change>
    bool Record(TTableEdit edit, TTableColumnKind column, std::span<const TRowRange> ranges, Change change,
                TTableCell cellBefore, TTableCell cellAfter);
    TPending Begin(TTableEdit edit, TTableColumnKind column, std::span<const TRowRange> ranges, TTableCell cellBefore,
                   TTableCell cellAfter);
    void SpansAfter(const TPending& pending, TSpan (&spans)[2]) const;
    void PutBack(const TPending& pending);
    bool Finish(const TPending& pending);
    bool KeepStep(const TPending& pending);
    void Apply(const TStep& step, bool forward);
    void Push(TStep&& step);
    void DropOldest();
    void DropAll();
    // Notes the table as the history's own change (or a check) left it.
    void Seen();
    bool InStep() const;
    void DropIfStale();
    static std::size_t StepBytes(const TStep& step);

    TTable& FTable;
    std::size_t FByteLimit;
    std::size_t FBytes = 0;
    std::deque<TStep> FSteps;
    // Steps [0, FIndex) are done, the rest can be redone.
    std::size_t FIndex = 0;
    long FFilledParts = 0;
    // The index at which the table is clean, or -1 when that state is gone.
    std::ptrdiff_t FCleanIndex = 0;
    // The table after the history's last own change: a change made without the history moves
    // the change count, and one made straight on the contour part (which announces nothing)
    // most likely the count or the closed flag.
    struct TSeen {
        std::uint64_t Changes = 0;
        std::int32_t Count = 0;
        bool Closed = false;
    } FSeen;
};
