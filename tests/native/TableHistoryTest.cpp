// The table's undo/redo history: every kind of step restores rows, closed flag and current cell
// bit for bit, redo re-applies, the redo branch, the memory bound, the clean mark, and what the
// history does when a command fails or the table is changed behind its back.
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/TableHistory.h"

#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct TState {
    std::vector<TVertexRecord> Rows;
    bool Closed = false;
};

TState StateOf(const TTable& table) { return {table.ContourPart().Vertices, table.Closed()}; }

// Bit for bit: -0.0 is not 0.0 here.
::testing::AssertionResult SameState(const TState& expected, const TState& actual)
{
    if (expected.Closed != actual.Closed)
        return ::testing::AssertionFailure() << "closed " << expected.Closed << " became " << actual.Closed;
    if (expected.Rows.size() != actual.Rows.size())
        return ::testing::AssertionFailure() << expected.Rows.size() << " rows became " << actual.Rows.size();
    for (std::size_t i = 0; i < expected.Rows.size(); ++i)
        if (std::memcmp(&expected.Rows[i], &actual.Rows[i], sizeof(TVertexRecord)) != 0)
            return ::testing::AssertionFailure() << "row " << i << " differs: (" << expected.Rows[i].X << ", "
                                                 << expected.Rows[i].Y << ", " << expected.Rows[i].ArcConvexity
                                                 << ") became (" << actual.Rows[i].X << ", " << actual.Rows[i].Y
                                                 << ", " << actual.Rows[i].ArcConvexity << ")";
    return ::testing::AssertionSuccess();
}

// Awkward numbers (0.1 + 0.2, -0.0) and arcs on row 2 and on the closing edge (row 0).
const std::vector<TVertexRecord> kRows = {
    {0.1 + 0.2, 0.2, 0.2}, {10.3, -0.0, 0}, {10.7, 9.9, 0.41421356237309503}, {-0.3, 10.1, 0}, {-4.5, 5.25, 0},
};

std::unique_ptr<TTable> MakeTable(const std::vector<TVertexRecord>& rows, bool closed)
{
    auto table = std::make_unique<TTable>(std::make_unique<FixedAxesHost>());
    table->ReplaceRows(0, 0, rows, closed);
    return table;
}

// count vertices on a circle of radius 1000, every even row's edge an arc.
std::vector<TVertexRecord> ManyRows(std::size_t count)
{
    std::vector<TVertexRecord> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double a = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count);
        rows[i] = TVertexRecord{1000 * std::cos(a), 1000 * std::sin(a), i % 2 ? 0 : 0.01};
    }
    return rows;
}

const TTableCell kCellA{2, 3};
const TTableCell kCellB{3, 1};

struct TStepCase {
    const char* Label;
    bool Closed; // the table's flag before the step
    std::string Name;
    std::function<bool(TTableHistory&)> Command;
};

void SetCell(TTable& table, TTableColumnKind kind, std::int32_t row, double value)
{
    switch (kind) {
    case ckX: table.SetX(row, value); break;
    case ckY: table.SetY(row, value); break;
    case ckEdgeLength: table.SetEdgeLength(row, value); break;
    case ckLeftAngle: table.SetLeftAngle(row, value); break;
    case ckRightAngle: table.SetRightAngle(row, value); break;
    case ckDirectionAngle: table.SetDirectionAngle(row, value); break;
    case ckArcConvexity: table.SetArcConvexity(row, value); break;
    case ckArcCenterX: table.SetArcCenterX(row, value); break;
    case ckArcCenterY: table.SetArcCenterY(row, value); break;
    default: break;
    }
}

std::string CellName(TTableColumnKind kind) { return TableEditName(TTableEdit::teCell, kind); }

std::vector<TStepCase> StepCases()
{
    auto cell = [](TTableColumnKind kind, std::int32_t row, double value) {
        return [=](TTableHistory& h) { return h.EditCell(kind, row, value, kCellA, kCellB); };
    };
    const std::vector<TVertexRecord> pasted = {{1, 2, 0}, {3, 4, -0.25}, {5, 6, 0}};
    return {
        {"X", false, CellName(ckX), cell(ckX, 2, 12.345)},
        {"Y: -0.0 becomes 0.0", false, CellName(ckY), cell(ckY, 1, 0.0)},
        {"straight edge length", false, CellName(ckEdgeLength), cell(ckEdgeLength, 3, 7.5)},
        {"arc length", false, CellName(ckEdgeLength), cell(ckEdgeLength, 2, 12)},
        {"left angle", false, CellName(ckLeftAngle), cell(ckLeftAngle, 2, 123.5)},
        {"right angle of the last row moves row 0", true, CellName(ckRightAngle), cell(ckRightAngle, 4, 95)},
        {"direction angle of row 0", true, CellName(ckDirectionAngle), cell(ckDirectionAngle, 0, 200.25)},
        {"convexity", false, CellName(ckArcConvexity), cell(ckArcConvexity, 1, -0.3)},
        {"arc centre X moves rows 1 and 2", false, CellName(ckArcCenterX), cell(ckArcCenterX, 2, 3.5)},
        {"arc centre Y of row 0 moves rows 4 and 0", true, CellName(ckArcCenterY), cell(ckArcCenterY, 0, -1.75)},
        {"add row", false, "добавление строки",
         [](TTableHistory& h) { return h.AddRow(FloatPoint(1e300, -1e-300), 0.5, kCellA, kCellB); }},
        {"insert row", false, "вставка строки", [](TTableHistory& h) { return h.InsertRow(2, kCellA, kCellB); }},
        {"insert row at the end", true, "вставка строки",
         [](TTableHistory& h) { return h.InsertRow(5, kCellA, kCellB); }},
        {"delete row", true, "удаление строки", [](TTableHistory& h) { return h.DeleteRow(2, kCellA, kCellB); }},
        {"delete past the end takes the last row", false, "удаление строки",
         [](TTableHistory& h) { return h.DeleteRow(99, kCellA, kCellB); }},
        {"move row up", false, "перемещение строки вверх",
         [](TTableHistory& h) { return h.MoveRowUp(3, kCellA, kCellB); }},
        {"move row down", false, "перемещение строки вниз",
         [](TTableHistory& h) { return h.MoveRowDown(1, kCellA, kCellB); }},
        {"clear a closed table", true, "очистка таблицы", [](TTableHistory& h) { return h.ClearTable(kCellA, kCellB); }},
        {"close", false, "замыкание контура", [](TTableHistory& h) { return h.SetClosed(true, kCellA, kCellB); }},
        {"open", true, "размыкание контура", [](TTableHistory& h) { return h.SetClosed(false, kCellA, kCellB); }},
        {"paste", false, "вставка из буфера обмена",
         [=](TTableHistory& h) { return h.ReplaceAll(TTableEdit::tePaste, pasted, true, kCellA, kCellB); }},
        {"fill", true, "заполнение из карты",
         [=](TTableHistory& h) { return h.ReplaceAll(TTableEdit::teFill, pasted, false, kCellA, kCellB); }},
    };
}

class TableHistoryTest : public ::testing::Test {
protected:
    void Make(const std::vector<TVertexRecord>& rows, bool closed, std::size_t limit = TTableHistory::kDefaultByteLimit)
    {
        History.reset();
        Table = MakeTable(rows, closed);
        Table->SetNotifyWindow(&Target);
        History = std::make_unique<TTableHistory>(*Table, limit);
    }

    CountingTarget Target;
    std::unique_ptr<TTable> Table;
    std::unique_ptr<TTableHistory> History;
};

TEST_F(TableHistoryTest, EveryKindOfStepUndoesAndRedoesBitExactWithOneAnnouncement)
{
    for (const TStepCase& c : StepCases()) {
        SCOPED_TRACE(c.Label);
        Make(kRows, c.Closed);
        const TState before = StateOf(*Table);
        ASSERT_TRUE(c.Command(*History));
        const TState after = StateOf(*Table);
        ASSERT_FALSE(SameState(before, after));
        EXPECT_EQ(History->UndoText(), "Отменить: " + c.Name);
        EXPECT_EQ(History->RedoText(), "Повторить");

        Target.Posts = 0;
        EXPECT_EQ(History->Undo(), kCellA);
        EXPECT_TRUE(SameState(before, StateOf(*Table)));
        EXPECT_EQ(Target.Posts, 1);
        EXPECT_FALSE(History->CanUndo());
        EXPECT_EQ(History->UndoText(), "Отменить");
        EXPECT_EQ(History->RedoText(), "Повторить: " + c.Name);

        Target.Posts = 0;
        EXPECT_EQ(History->Redo(), kCellB);
        EXPECT_TRUE(SameState(after, StateOf(*Table)));
        EXPECT_EQ(Target.Posts, 1);
        EXPECT_FALSE(History->CanRedo());
        EXPECT_FALSE(History->Redo().has_value());
    }
}

// The fill reads the Host into the table through its own calls; the history sees only the
// table before and after.
TEST_F(TableHistoryTest, FillByAnyMeansIsOneStep)
{
    Make(kRows, true);
    const TState before = StateOf(*Table);
    ASSERT_TRUE(History->ReplaceAllBy(TTableEdit::teFill, [&] {
        Table->ContourPart().Clear();
        for (const TVertexRecord& r : ManyRows(7))
            Table->AddRow(FloatPoint(r.X, r.Y), r.ArcConvexity);
        Table->SetClosed(false);
    }, kCellA, {0, 3}));
    const TState after = StateOf(*Table);
    EXPECT_EQ(History->UndoText(), "Отменить: заполнение из карты");
    EXPECT_EQ(History->Undo(), kCellA);
    EXPECT_TRUE(SameState(before, StateOf(*Table)));
    EXPECT_EQ(History->Redo(), (TTableCell{0, 3}));
    EXPECT_TRUE(SameState(after, StateOf(*Table)));
}

// What the rows were filled from comes back with them: a fill from three parts, then a paste
// or a clear (no parts), then a typed cell; undo and redo bring each state's parts back, a
// failed command leaves them, and a write as one part outside any step says what the rows are.
TEST_F(TableHistoryTest, FilledPartsFollowTheRows)
{
    const std::vector<std::function<bool(TTableHistory&)>> emptying = {
        [](TTableHistory& h) { return h.ReplaceAll(TTableEdit::tePaste, ManyRows(4), false, kCellA, kCellB); },
        [](TTableHistory& h) { return h.ClearTable(kCellA, kCellB); },
    };
    for (const auto& empty : emptying) {
        Make(kRows, false);
        ASSERT_TRUE(History->ReplaceAllBy(TTableEdit::teFill, [&] {
            Table->ReplaceRows(0, Table->Count(), ManyRows(9), true);
            History->SetFilledParts(3);
        }, kCellA, kCellB));
        EXPECT_EQ(History->FilledParts(), 3);
        ASSERT_TRUE(empty(*History));
        EXPECT_EQ(History->FilledParts(), 0);
        ASSERT_TRUE(History->AddRow(FloatPoint(1, 2), 0, kCellA, kCellB));
        EXPECT_EQ(History->FilledParts(), 0);
        EXPECT_THROW(History->ReplaceAllBy(TTableEdit::teFill, [&] {
            Table->ReplaceRows(0, Table->Count(), ManyRows(5), false);
            History->SetFilledParts(5);
            throw Exception("отказ карты");
        }, kCellA, kCellB), Exception);
        EXPECT_EQ(History->FilledParts(), 0);

        History->Undo();
        EXPECT_EQ(History->FilledParts(), 0);
        History->Undo();
        EXPECT_EQ(History->FilledParts(), 3);
        History->Undo();
        EXPECT_EQ(History->FilledParts(), 0);
        History->Redo();
        EXPECT_EQ(History->FilledParts(), 3);
        History->Redo();
        EXPECT_EQ(History->FilledParts(), 0);
        History->Undo();
        History->SetFilledParts(1); // written to the map as one part
        EXPECT_EQ(History->FilledParts(), 1);
        ASSERT_TRUE(History->SetClosed(false, kCellA, kCellB));
        History->Undo();
        EXPECT_EQ(History->FilledParts(), 1);
    }
}

// Undo walks back through several steps of different kinds, redo forward again.
TEST_F(TableHistoryTest, ChainOfStepsWalksBothWays)
{
    Make(kRows, false);
    std::vector<TState> states{StateOf(*Table)};
    const std::vector<std::function<bool()>> steps = {
        [&] { return History->EditCell(ckDirectionAngle, 3, 10, {3, 6}, {3, 6}); },
        [&] { return History->InsertRow(1, {1, 0}, {2, 0}); },
        [&] { return History->EditCell(ckArcCenterY, 3, 4, {3, 9}, {3, 9}); },
        [&] { return History->SetClosed(true, {3, 9}, {3, 9}); },
        [&] { return History->EditCell(ckLeftAngle, 5, 45, {5, 4}, {5, 4}); },
        [&] { return History->DeleteRow(0, {0, 0}, {0, 0}); },
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step());
        states.push_back(StateOf(*Table));
    }

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(History->Undo().has_value());
        EXPECT_TRUE(SameState(states[i - 1], StateOf(*Table))) << "undone to " << i - 1;
    }
    EXPECT_FALSE(History->CanUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(History->Redo().has_value());
        EXPECT_TRUE(SameState(states[i], StateOf(*Table))) << "redone to " << i;
    }
}

TEST_F(TableHistoryTest, NewStepAfterUndoDropsTheRedoBranch)
{
    Make(kRows, false);
    History->EditCell(ckX, 0, 1, kCellA, kCellA);
    History->EditCell(ckX, 1, 2, kCellA, kCellA);
    History->Undo();
    ASSERT_TRUE(History->CanRedo());
    History->MoveRowDown(2, kCellA, kCellB);
    EXPECT_FALSE(History->CanRedo());
    EXPECT_EQ(History->RedoText(), "Повторить");
    EXPECT_EQ(History->UndoText(), "Отменить: перемещение строки вниз");
    History->Undo();
    EXPECT_EQ(History->UndoText(), "Отменить: " + CellName(ckX));
    History->Undo();
    EXPECT_TRUE(SameState({kRows, false}, StateOf(*Table)));
}

// A command that changes nothing is no step: an undo after it undoes the change before it.
TEST_F(TableHistoryTest, CommandsThatChangeNothingKeepNoStep)
{
    Make(kRows, false);
    History->AddRow(FloatPoint(1, 1), 0, kCellA, kCellA);
    const std::vector<std::function<bool()>> idle = {
        [&] { return History->EditCell(ckX, 1, 10.3, kCellA, kCellA); },      // the same value
        [&] { return History->EditCell(ckDirectionAngle, 0, 30, kCellA, kCellA); }, // no edge into row 0
        [&] { return History->EditCell(ckArcCenterX, 1, 5, kCellA, kCellA); },  // a straight edge
        [&] { return History->EditCell(ckPointNumber, 1, 5, kCellA, kCellA); },
        [&] { return History->EditCell(ckArcRadius, 2, 5, kCellA, kCellA); },
        [&] { return History->MoveRowUp(0, kCellA, kCellA); },
        [&] { return History->MoveRowDown(5, kCellA, kCellA); },
        [&] { return History->SetClosed(false, kCellA, kCellA); },
        [&] { return History->ReplaceAll(TTableEdit::tePaste, StateOf(*Table).Rows, false, kCellA, kCellA); },
    };
    for (std::size_t i = 0; i < idle.size(); ++i)
        EXPECT_FALSE(idle[i]()) << "command " << i;
    EXPECT_EQ(History->UndoText(), "Отменить: добавление строки");
    History->Undo();
    EXPECT_FALSE(History->CanUndo());

    Make({}, false);
    EXPECT_FALSE(History->DeleteRow(0, kCellA, kCellA));
    EXPECT_FALSE(History->ClearTable(kCellA, kCellA));
    EXPECT_FALSE(History->CanUndo());
}

// A refused command leaves table and history as they were, even when it had begun changing.
TEST_F(TableHistoryTest, FailedCommandLeavesTableAndHistory)
{
    Make(kRows, true);
    History->EditCell(ckY, 1, 3, kCellA, kCellA);
    const TState state = StateOf(*Table);

    EXPECT_THROW(History->EditCell(ckX, 1, std::numeric_limits<double>::infinity(), kCellA, kCellB), Exception);
    EXPECT_THROW(History->EditCell(ckX, 5, 1, kCellA, kCellB), Exception);
    EXPECT_THROW(History->InsertRow(6, kCellA, kCellB), Exception);
    EXPECT_THROW(History->MoveRowDown(7, kCellA, kCellB), Exception);
    EXPECT_THROW(History->ReplaceAllBy(TTableEdit::teFill, [&] {
        Table->ContourPart().Clear();
        Table->AddRow(FloatPoint(1, 2), 0);
        Table->SetClosed(false);
        throw Exception("Хост не ответил");
    }, kCellA, kCellB), Exception);

    EXPECT_TRUE(SameState(state, StateOf(*Table)));
    EXPECT_EQ(History->UndoText(), "Отменить: " + CellName(ckY));
    History->Undo();
    EXPECT_TRUE(SameState({kRows, true}, StateOf(*Table)));
}

// Which rows each setter moves is what a typed cell keeps: every row outside them must stay.
TEST_F(TableHistoryTest, TypedCellKeepsEveryRowItsSetterMoves)
{
    const struct {
        TTableColumnKind Kind;
        double Value;
    } typed[] = {
        {ckX, 3.25}, {ckY, -2}, {ckEdgeLength, 2.5}, {ckLeftAngle, 30}, {ckRightAngle, 300},
        {ckDirectionAngle, 123}, {ckArcConvexity, 0.3}, {ckArcCenterX, 1.5}, {ckArcCenterY, -2.5},
    };
    for (const bool closed : {false, true})
        for (const auto& t : typed) {
            int moved = 0;
            for (std::int32_t row = 0; row < static_cast<std::int32_t>(kRows.size()); ++row) {
                SCOPED_TRACE(testing::Message() << CellName(t.Kind) << " row " << row << " closed " << closed);
                // The plain setter on a twin table says what the typed cell must do.
                const std::unique_ptr<TTable> twin = MakeTable(kRows, closed);
                bool refused = false;
                try {
                    SetCell(*twin, t.Kind, row, t.Value);
                } catch (const Exception&) {
                    refused = true;
                }
                Make(kRows, closed);
                const auto keeps = Table->RowsMovedByCell(t.Kind, row);
                if (refused) {
                    EXPECT_THROW(History->EditCell(t.Kind, row, t.Value, kCellA, kCellA), Exception);
                    EXPECT_TRUE(SameState({kRows, closed}, StateOf(*Table)));
                    continue;
                }
                History->EditCell(t.Kind, row, t.Value, kCellA, kCellA);
                const TState after = StateOf(*Table);
                EXPECT_TRUE(SameState(StateOf(*twin), after));
                for (std::size_t i = 0; i < kRows.size(); ++i) {
                    const bool same = std::memcmp(&kRows[i], &after.Rows[i], sizeof(TVertexRecord)) == 0;
                    if (!same)
                        ++moved;
                    EXPECT_TRUE(same || static_cast<std::int32_t>(i) == keeps[0] ||
                                static_cast<std::int32_t>(i) == keeps[1])
                        << "row " << i << " moved but is not kept";
                }
                // A cell that changes the table keeps exactly one step, which takes it all back.
                const bool changed = !SameState({kRows, closed}, after);
                EXPECT_EQ(History->CanUndo(), changed);
                History->Undo();
                EXPECT_TRUE(SameState({kRows, closed}, StateOf(*Table)));
                EXPECT_FALSE(History->CanUndo());
            }
            EXPECT_GT(moved, 0) << CellName(t.Kind) << " moved nothing, closed " << closed;
        }
}

// At 10^5 rows a typed cell keeps its one or two rows, whatever the setter, and undoes exactly.
TEST_F(TableHistoryTest, TypedCellAtManyRowsCostsItsRowsOnly)
{
    const std::vector<TVertexRecord> rows = ManyRows(100000);
    Make(rows, true);
    const struct {
        TTableColumnKind Kind;
        std::int32_t Row;
        double Value;
    } typed[] = {
        {ckDirectionAngle, 0, 45}, {ckLeftAngle, 99999, 170}, {ckRightAngle, 5000, 190}, {ckEdgeLength, 77, 3},
        {ckEdgeLength, 0, 0.05}, {ckArcCenterX, 0, 12}, {ckArcCenterY, 50000, -7}, {ckArcConvexity, 3, 0.5},
    };
    for (const auto& t : typed) {
        SCOPED_TRACE(CellName(t.Kind));
        const std::size_t held = History->BytesHeld();
        ASSERT_TRUE(History->EditCell(t.Kind, t.Row, t.Value, kCellA, kCellA));
        EXPECT_LE(History->BytesHeld() - held, 256u);
    }
    while (History->CanUndo())
        History->Undo();
    EXPECT_TRUE(SameState({rows, true}, StateOf(*Table)));
}

TEST_F(TableHistoryTest, TenThousandOneCellStepsAtManyRowsStayUnderTheBound)
{
    const std::vector<TVertexRecord> rows = ManyRows(100000);
    Make(rows, true);
    for (std::int32_t i = 0; i < 10000; ++i)
        History->EditCell(i % 2 ? ckX : ckDirectionAngle, i * 10, i, kCellA, kCellA);
    EXPECT_LT(History->BytesHeld(), TTableHistory::kDefaultByteLimit);
    EXPECT_LT(History->BytesHeld(), 10000u * 256);
    int undone = 0;
    while (History->CanUndo()) {
        History->Undo();
        ++undone;
    }
    EXPECT_EQ(undone, 10000);
    EXPECT_TRUE(SameState({rows, true}, StateOf(*Table)));
}

// Pastes of 10^5 rows at the default bound of 64 MiB: the oldest steps go, what is left never
// passes the bound, and the oldest state still reachable is exactly the one that paste made.
TEST_F(TableHistoryTest, PastesOfManyRowsAtTheDefaultBoundDropTheOldestSteps)
{
    // Paste k: 10^5 rows, none equal to a row of another paste.
    auto pasted = [](int k) {
        std::vector<TVertexRecord> rows(100000);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = TVertexRecord{k * 1e6 + static_cast<double>(i) * 0.5, static_cast<double>(i) * 0.25 - k,
                                    i % 7 ? 0 : 0.1};
        return rows;
    };
    Make(kRows, false);
    ASSERT_EQ(History->ByteLimit(), std::size_t{64} << 20);
    constexpr int kPastes = 30; // 30 steps of two 2.4 MB row sets each: twice the bound
    for (int k = 1; k <= kPastes; ++k) {
        ASSERT_TRUE(History->ReplaceAll(TTableEdit::tePaste, pasted(k), k % 2 == 0, kCellA, kCellB));
        ASSERT_LE(History->BytesHeld(), History->ByteLimit()) << "paste " << k;
    }
    EXPECT_GT(History->BytesHeld(), History->ByteLimit() / 2) << "the bound, not a step count, decides";
    int undone = 0;
    while (History->Undo())
        ++undone;
    ASSERT_GT(undone, 5);
    ASSERT_LT(undone, kPastes) << "the oldest steps are dropped";
    const int oldest = kPastes - undone;
    EXPECT_TRUE(SameState({pasted(oldest), oldest % 2 == 0}, StateOf(*Table)));
    EXPECT_FALSE(History->CanUndo());
    for (int k = oldest + 1; k <= kPastes; ++k) {
        ASSERT_TRUE(History->Redo());
        ASSERT_TRUE(SameState({pasted(k), k % 2 == 0}, StateOf(*Table))) << "paste " << k;
    }
    EXPECT_FALSE(History->CanRedo());
}

TEST_F(TableHistoryTest, SmallBoundDropsTheOldestStepsFirst)
{
    Make(kRows, false, 2000);
    std::vector<TState> states{StateOf(*Table)};
    for (int i = 1; i <= 100; ++i) {
        History->EditCell(ckX, i % 5, i, kCellA, {i, 1});
        states.push_back(StateOf(*Table));
        ASSERT_LE(History->BytesHeld(), 2000u);
    }
    int undone = 0;
    while (History->CanUndo()) {
        History->Undo();
        ++undone;
    }
    ASSERT_GT(undone, 0);
    ASSERT_LT(undone, 100);
    // Only the newest steps are left: undoing them all reaches the state after the dropped ones.
    EXPECT_TRUE(SameState(states[static_cast<std::size_t>(100 - undone)], StateOf(*Table)));

    // Lowering the bound drops at once; a step larger than the bound empties the history.
    History->SetByteLimit(History->BytesHeld() / 2);
    EXPECT_LE(History->BytesHeld(), History->ByteLimit());
    History->ReplaceAll(TTableEdit::tePaste, ManyRows(1000), false, kCellA, kCellA);
    EXPECT_FALSE(History->CanUndo());
    EXPECT_FALSE(History->CanRedo());
    EXPECT_EQ(History->BytesHeld(), 0u);
    EXPECT_EQ(Table->Count(), 1000);
}

TEST_F(TableHistoryTest, CleanMarkFollowsUndoAndRedo)
{
    Make(kRows, false);
    EXPECT_TRUE(History->IsClean()); // as it was opened
    History->EditCell(ckX, 0, 1, kCellA, kCellA);
    EXPECT_FALSE(History->IsClean());
    History->Undo();
    EXPECT_TRUE(History->IsClean());

    // Written to the map after two steps: clean there, not before or after it.
    History->Redo();
    History->AddRow(FloatPoint(2, 2), 0, kCellA, kCellA);
    History->SetClean();
    History->SetClosed(true, kCellA, kCellA);
    EXPECT_FALSE(History->IsClean());
    History->Undo();
    EXPECT_TRUE(History->IsClean());
    History->Undo();
    EXPECT_FALSE(History->IsClean());
    History->Redo();
    EXPECT_TRUE(History->IsClean());

    // A new step from before the clean state makes it unreachable.
    History->Undo();
    History->DeleteRow(0, kCellA, kCellA);
    History->Undo();
    EXPECT_FALSE(History->IsClean());
    History->Redo();
    EXPECT_FALSE(History->IsClean());
}

TEST_F(TableHistoryTest, CleanStateGoesWithItsDroppedStep)
{
    Make(kRows, false, 1000);
    History->SetClean();
    for (int i = 1; i <= 20; ++i)
        History->EditCell(ckY, 2, i, kCellA, kCellA);
    int depth = 0;
    while (History->CanUndo()) {
        History->Undo();
        EXPECT_FALSE(History->IsClean());
        ++depth;
    }
    ASSERT_LT(depth, 20);
    while (History->CanRedo()) {
        History->Redo();
        EXPECT_FALSE(History->IsClean());
    }

    // A clean state whose step is still held survives the dropping of older ones.
    History->SetClean();
    for (int i = 1; i <= 3; ++i)
        History->EditCell(ckX, 2, i, kCellA, kCellA);
    for (int i = 1; i <= 3; ++i)
        History->Undo();
    EXPECT_TRUE(History->IsClean());
}

// A change made without the history (a fill that follows the map, say) leaves its steps stale:
// they must not be applied to rows they were not made on.
TEST_F(TableHistoryTest, ChangeBehindTheHistorysBackDropsItsSteps)
{
    Make(kRows, false);
    History->EditCell(ckX, 0, 1, kCellA, kCellA);
    History->EditCell(ckX, 1, 1, kCellA, kCellA);
    History->Undo();
    Table->AddRow(FloatPoint(5, 5), 0);
    const TState state = StateOf(*Table);
    EXPECT_FALSE(History->CanUndo());
    EXPECT_FALSE(History->CanRedo());
    EXPECT_FALSE(History->IsClean());
    EXPECT_FALSE(History->Undo().has_value());
    EXPECT_TRUE(SameState(state, StateOf(*Table)));
    EXPECT_EQ(History->BytesHeld(), 0u);

    History->SetClean();
    History->EditCell(ckY, 5, 1, kCellA, kCellA);
    History->Undo();
    EXPECT_TRUE(History->IsClean());
    EXPECT_TRUE(SameState(state, StateOf(*Table)));

    // Straight on the contour part nothing is announced.
    History->Redo();
    Table->ContourPart().Clear();
    EXPECT_FALSE(History->CanUndo());
    EXPECT_FALSE(History->Undo().has_value());
    EXPECT_EQ(Table->Count(), 0);
}

} // namespace

// What the window repaints and sums again after an undo or redo: the runs the history names are
// exactly the rows that differ between the two states (no row twice, none that stays as it was),
// and a step that adds or removes rows or turns the closed flag names none (the window then
// takes the whole table).
TEST_F(TableHistoryTest, RewrittenRowsAreExactlyTheRowsAnUndoOrRedoChanges)
{
    auto rowsOf = [](const std::vector<TTableHistory::TRowRange>& runs) {
        std::vector<std::size_t> rows;
        for (const auto& run : runs)
            for (std::int32_t row = run.Start; row < run.Start + run.Count; ++row)
                rows.push_back(static_cast<std::size_t>(row));
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    int inPlace = 0;
    for (const TStepCase& c : StepCases()) {
        SCOPED_TRACE(c.Label);
        Make(kRows, c.Closed);
        EXPECT_TRUE(History->RowsRewrittenBy(false).empty()) << "nothing to undo";
        const TState before = StateOf(*Table);
        ASSERT_TRUE(c.Command(*History));
        const TState after = StateOf(*Table);
        EXPECT_TRUE(History->RowsRewrittenBy(true).empty()) << "nothing to redo";
        for (const bool redo : {false, true}) {
            const std::vector<TTableHistory::TRowRange> runs = History->RowsRewrittenBy(redo);
            const bool sameShape = before.Rows.size() == after.Rows.size() && before.Closed == after.Closed;
            if (!sameShape) {
                EXPECT_TRUE(runs.empty());
            } else {
                std::vector<std::size_t> changed;
                for (std::size_t i = 0; i < after.Rows.size(); ++i)
                    if (std::memcmp(&before.Rows[i], &after.Rows[i], sizeof(TVertexRecord)) != 0)
                        changed.push_back(i);
                EXPECT_FALSE(changed.empty());
                EXPECT_EQ(rowsOf(runs), changed);
                inPlace += redo;
            }
            if (redo)
                History->Redo();
            else
                History->Undo();
        }
    }
    EXPECT_GE(inPlace, 10); // the typed cells and the moves keep their row count
}
