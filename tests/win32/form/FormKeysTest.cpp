// The editor window as a user types and clicks into it: keys through the message loop into the
// grid and its in-place editor, the current cell as the rows come and go, command states, the
// status bar's hint under the pointer, the precision list's hint and the grid's lines.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "controls/WinHandles.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <algorithm>

TEST_F(FormInput, CtrlDeleteInACellsEditorDeletesTheRowAndLeavesTheNextOneAsItWas)
{
    OpenParcel();
    const std::vector<TRow> before = Rows(*FTable);
    ASSERT_EQ(before.size(), 4u);
    ClickCell(ckLeftAngle, 1);
    ASSERT_TRUE(FForm->SimpleGrid->EditorMode());
    Press(VK_DELETE, true);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{before[0], before[2], before[3]}));
    ClickCell(ckX, 0); // leaving the cell applies what its editor holds
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{before[0], before[2], before[3]}));
    EXPECT_EQ(WrittenToTheMap(), (std::vector<TRow>{before[0], before[2], before[3]}));
}

TEST_F(FormInput, RowKeysMoveInsertAndDeleteRowsAndTheCursorFollowsTheRow)
{
    OpenParcel();
    const std::vector<TRow> r = Rows(*FTable);
    const TRow zero{0, 0, 0};
    ClickCell(ckX, 1);
    Press(VK_DOWN, true);
    Press(VK_DOWN, true);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{r[0], r[2], r[3], r[1]}));
    EXPECT_EQ(CurrentRow(), 3) << "the moved row stays current";
    Press(VK_UP, true);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{r[0], r[2], r[1], r[3]}));
    EXPECT_EQ(CurrentRow(), 2);
    Press('A', true);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{r[0], r[2], r[3], r[1]}));
    EXPECT_EQ(CurrentRow(), 3);
    Press(VK_INSERT);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{r[0], r[2], r[3], zero, r[1]}));
    EXPECT_EQ(CurrentRow(), 4) << "the row that was current stays current";
    Press(VK_DELETE, true);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{r[0], r[2], r[3], zero}));
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_EQ(WrittenToTheMap(), (std::vector<TRow>{r[0], r[2], r[3], zero}));
}

TEST_F(FormInput, EnterAppliesTabMovesOnAndEscapeTakesTheTypingBack)
{
    OpenParcel();
    const std::vector<TRow> r = Rows(*FTable);
    ClickCell(ckX, 0);
    Type(L"452301.5");
    Press(VK_ESCAPE);
    EXPECT_EQ(Rows(*FTable), r) << "Escape drops what was typed";
    ClickCell(ckX, 0); // the same cell again: the click lands on its editor
    Type(L"452301.5");
    Press(VK_RETURN);
    EXPECT_EQ(FTable->GetX(0), 452301.5);
    EXPECT_EQ(CurrentRow(), 0);
    ClickCell(ckX, 2);
    Press(VK_TAB);
    EXPECT_EQ(FForm->SimpleGrid->DataCol(), GridColumn(ckY)) << "Tab goes to the next cell";
    EXPECT_EQ(CurrentRow(), 2);
    Type(L"1385199");
    Press(VK_TAB);
    EXPECT_EQ(FTable->GetY(2), 1385199);
    std::vector<TRow> expected = r;
    expected[0][0] = 452301.5;
    expected[2][1] = 1385199;
    EXPECT_EQ(WrittenToTheMap(), expected);
}

TEST_F(FormInput, ShortcutsOfDisabledCommandsGoOnToTheGrid)
{
    TPolypadForm& form = Open(false);
    Select(101);
    form.SynchronizeWithMap(); // the Host's Synchronize after the selection
    PumpAll();
    ASSERT_EQ(FTable->Count(), 4);
    const std::vector<TRow> r = Rows(*FTable);
    ::SetForegroundWindow(form.Handle());
    ClickCell(ckX, 2);
    ASSERT_EQ(CurrentRow(), 2);
    Press(VK_UP, true);
    EXPECT_EQ(Rows(*FTable), r) << "no row moves outside editing mode";
    EXPECT_EQ(CurrentRow(), 1) << "the grid took the key: the cursor went up";
    Press('A', true);
    Press(VK_DELETE, true);
    Press(VK_INSERT);
    EXPECT_EQ(Rows(*FTable), r);
}

TEST_F(FormInput, AGridThatGoesFromEmptyToFilledHasACurrentCellAndTheCommandsFollow)
{
    TPolypadForm& form = Open(false);
    ASSERT_EQ(FTable->Count(), 0);
    EXPECT_FALSE(form.PositionAction->Enabled());
    Select(101);
    form.SynchronizeWithMap(); // the Host's Synchronize: the empty table is filled
    PumpAll();
    ASSERT_EQ(FTable->Count(), 4);
    EXPECT_EQ(CurrentRow(), 0);
    EXPECT_TRUE(form.PositionAction->Enabled());
    EXPECT_TRUE(form.FitToWindowAction->Enabled());

    // Cleared, then a row added into the empty table.
    form.EditingModeActionExecute();
    form.ClearRows();
    PumpAll();
    EXPECT_FALSE(form.PositionAction->Enabled());
    EXPECT_FALSE(form.FitToWindowAction->Enabled());
    form.AddRowActionExecute();
    PumpAll();
    EXPECT_EQ(FTable->Count(), 1) << "one row, not one for the grid and one for the command";
    EXPECT_EQ(CurrentRow(), 0);
    EXPECT_TRUE(form.PositionAction->Enabled());
    EXPECT_TRUE(form.FitToWindowAction->Enabled());

    form.ClearRows();
    form.SimpleGrid->MoveToDataCell(0, -1);
    form.InsertRowActionExecute();
    PumpAll();
    EXPECT_EQ(FTable->Count(), 1);
    EXPECT_TRUE(form.PositionAction->Enabled());
}

TEST_F(FormInput, AColumnShownAgainIsEditableOnlyInEditingMode)
{
    TPolypadForm& form = Open(false);
    form.EdgeLengthColumnAction->Execute(); // hidden through the column menu
    form.EdgeLengthColumnAction->Execute(); // and shown again
    EXPECT_FALSE(form.SimpleGrid->Columns().Items(GridColumn(ckEdgeLength)).TextEditable());
    form.EditingModeActionExecute();
    EXPECT_TRUE(form.SimpleGrid->Columns().Items(GridColumn(ckEdgeLength)).TextEditable());
}

TEST_F(FormInput, TheStatusHintFollowsTheButtonUnderThePointerWhenItsStateChanges)
{
    TPolypadForm& form = Open(false);
    const HWND bar = form.ToolBar->Handle();
    const int index = 23; // "Режим редактирования"
    const RECT r = form.ToolBar->ButtonRect(index);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    ::SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    Pump(10000, [&] { return form.MainStatusBar->SimpleText() == " Режим редактирования отключен"; });
    EXPECT_EQ(form.MainStatusBar->SimpleText(), " Режим редактирования отключен");
    PostClick(bar, x, y);
    ::PostMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    Pump(10000, [&] { return form.FEditingMode && form.MainStatusBar->SimpleText() == " Режим редактирования включен"; });
    ASSERT_TRUE(form.FEditingMode);
    EXPECT_EQ(form.MainStatusBar->SimpleText(), " Режим редактирования включен");
}

TEST_F(FormInput, ThePrecisionListHasItsHint)
{
    TPolypadForm& form = Open(false);
    EXPECT_EQ(form.DigitsComboBox->Hint(), "Точность");
}

// The grid's vertical lines run the whole height of each cell.
TEST_F(FormInput, GridLinesBetweenColumnsAreWholeLines)
{
    TPolypadForm& form = OpenParcel();
    TSimpleGrid& grid = *form.SimpleGrid;
    RECT client{};
    ::GetClientRect(grid.Handle(), &client);
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(client.right, client.bottom, &bits);
    TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    TSelectObject selected(dc.get(), bitmap.get());
    ::SendMessageW(grid.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    ::GdiFlush();
    auto pixel = [&](int x, int y) {
        return static_cast<const DWORD*>(bits)[static_cast<std::size_t>(y) * client.right + x] & 0xFFFFFF;
    };
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const DWORD line = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    // Row 2, column X (not current, not the last column).
    const TGridPoint g = grid.DataToGrid(GridColumn(ckX), 2);
    const RECT cell = grid.CellRect(g.Col, g.Row);
    ASSERT_LT(cell.left, cell.right);
    int onLine = 0;
    for (int y = cell.top; y < cell.bottom; ++y)
        onLine += pixel(cell.right - 1, y) == line;
    EXPECT_EQ(onLine, cell.bottom - cell.top) << "the line's pixels from the cell's top to its bottom";
}

namespace {

// The grid's client area as the screen shows it, the cell editor left out: its caret blinks.
std::vector<DWORD> CellsOnScreen(HWND grid)
{
    std::vector<DWORD> shown = ClientOnScreen(grid);
    RECT client{}, editor{};
    ::GetClientRect(grid, &client);
    const HWND edit = ::FindWindowExW(grid, nullptr, L"Edit", nullptr);
    if (edit && ::IsWindowVisible(edit)) {
        ::GetWindowRect(edit, &editor);
        ::MapWindowPoints(nullptr, grid, reinterpret_cast<POINT*>(&editor), 2);
        for (int y = std::max<LONG>(editor.top, 0); y < std::min(editor.bottom, client.bottom); ++y)
            for (int x = std::max<LONG>(editor.left, 0); x < std::min(editor.right, client.right); ++x)
                shown[static_cast<std::size_t>(y) * client.right + x] = 0;
    }
    return shown;
}

// The grid's frame as the screen shows it: its scroll bars and border, the cells (and the
// editor's blinking caret) left out.
std::vector<DWORD> FrameOnScreen(HWND grid)
{
    RECT frame{};
    ::GetWindowRect(grid, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(width, height, &bits);
    TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    TSelectObject selected(dc.get(), bitmap.get());
    {
        const HDC screen = ::GetWindowDC(grid);
        ::BitBlt(dc.get(), 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ::ReleaseDC(grid, screen);
    }
    ::GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    std::vector<DWORD> shown(pixels, pixels + static_cast<std::size_t>(width) * height);
    RECT client{};
    ::GetClientRect(grid, &client);
    ::MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -frame.left, -frame.top);
    for (int y = client.top; y < client.bottom; ++y)
        for (int x = client.left; x < client.right; ++x)
            shown[static_cast<std::size_t>(y) * width + x] = 0;
    return shown;
}

} // namespace

// A scroll draws the bar whose position moved at once; a change of the rows' count draws the
// frame with the next paint.
// Either way the screen then is what a full repaint of the frame draws.
TEST_F(FormInput, TheScrollBarsOnTheScreenFollowScrollsJumpsAndAPaste)
{
    TPolypadForm& form = OpenParcel();
    const HWND grid = form.SimpleGrid->Handle();
    const auto expectFrameAsRedrawn = [&](const char* after) {
        PumpAll();
        const std::vector<DWORD> shown = FrameOnScreen(grid);
        ::RedrawWindow(grid, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
        PumpAll();
        EXPECT_TRUE(FrameOnScreen(grid) == shown) << "a stale scroll bar after " << after;
    };
    PasteRows(form, 300);
    ASSERT_EQ(FTable->Count(), 300);
    expectFrameAsRedrawn("a paste");
    ClickCell(ckX, 0);
    Press(VK_NEXT);
    expectFrameAsRedrawn("Page Down");
    Press(VK_END, true);
    expectFrameAsRedrawn("a jump to the last row");
    Press(VK_PRIOR);
    expectFrameAsRedrawn("Page Up");
    Press('Z', true); // the paste undone: four rows, the view back at the top
    ASSERT_EQ(FTable->Count(), 4);
    expectFrameAsRedrawn("an undo that shrinks the table");
    Press('Y', true);
    expectFrameAsRedrawn("its redo");
}

// A scroll repaints the cells that moved, the column captions staying as they are when only the
// rows move and the row numbers when only the columns do: the screen then is what a full repaint
// draws. The editor over the current cell (its caret blinks) is left out.
TEST_F(FormInput, TheCellsOnTheScreenFollowScrollsAndJumps)
{
    TPolypadForm& form = OpenParcel();
    TSimpleGrid& grid = *form.SimpleGrid;
    const auto cellsOnScreen = [&] { return CellsOnScreen(grid.Handle()); };
    const auto expectCellsAsRedrawn = [&](const char* after) {
        PumpAll();
        const std::vector<DWORD> shown = cellsOnScreen();
        ::InvalidateRect(grid.Handle(), nullptr, TRUE);
        ::UpdateWindow(grid.Handle());
        PumpAll();
        EXPECT_TRUE(cellsOnScreen() == shown) << "stale cells after " << after;
    };
    PasteRows(form, 300);
    ASSERT_EQ(FTable->Count(), 300);
    // Narrow enough for the columns to scroll as well.
    ::SetWindowPos(form.Handle(), nullptr, 0, 0, 420, 420, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpAll();
    ClickCell(ckX, 0);
    Press(VK_NEXT);
    ASSERT_GT(grid.TopRow(), grid.FixedRows());
    expectCellsAsRedrawn("Page Down");
    const int top = grid.TopRow();
    ::PostMessageW(::GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    PumpAll();
    ASSERT_NE(grid.TopRow(), top) << "the wheel scrolled nothing";
    expectCellsAsRedrawn("the wheel");
    const int left = grid.LeftCol();
    Press(VK_END);
    ASSERT_NE(grid.LeftCol(), left) << "the columns did not scroll";
    expectCellsAsRedrawn("End (the columns scrolled)");
    Press(VK_END, true);
    ASSERT_EQ(CurrentRow(), 299);
    expectCellsAsRedrawn("Ctrl+End");
    Press(VK_HOME, true);
    ASSERT_EQ(CurrentRow(), 0);
    ASSERT_EQ(grid.LeftCol(), grid.FixedCols());
    expectCellsAsRedrawn("Ctrl+Home (rows and columns scrolled)");
    // A typed cell far down, undone from the top: the undo jumps to it.
    ClickCell(ckX, 250);
    Type(L"452999");
    Press(VK_RETURN);
    ClickCell(ckX, 0);
    ASSERT_EQ(CurrentRow(), 0);
    Press('Z', true);
    ASSERT_EQ(CurrentRow(), 250);
    expectCellsAsRedrawn("an undo that jumps");
}

// The figures panel follows typed cells, their undo and redo (its text is set only when it
// changes): the screen then is what a full repaint draws. A figures line of another width moves
// the panels.
TEST_F(FormInput, TheFiguresPanelOnTheScreenFollowsTypedCellsUndoAndRedo)
{
    TPolypadForm& form = OpenParcel();
    const HWND bar = form.MainStatusBar->Handle();
    const auto expectBarAsRedrawn = [&](const std::string& after) {
        PumpAll();
        const std::vector<DWORD> shown = ClientOnScreen(bar);
        ::InvalidateRect(bar, nullptr, TRUE);
        ::UpdateWindow(bar);
        PumpAll();
        EXPECT_TRUE(ClientOnScreen(bar) == shown) << "a stale figures panel after " << after;
    };
    for (const int row : {1, 2, 0}) {
        ClickCell(ckX, row);
        Type(L"45230" + std::to_wstring(row));
        Press(VK_RETURN);
        expectBarAsRedrawn("typing X of row " + std::to_string(row));
    }
    Press('Z', true);
    expectBarAsRedrawn("an undo");
    Press('Y', true);
    expectBarAsRedrawn("a redo");
    // A far vertex: the perimeter and the area take more digits.
    ClickCell(ckY, 1);
    Type(L"99385200");
    Press(VK_RETURN);
    expectBarAsRedrawn("a figures line of another width");
}

// Undo and redo turn their buttons on and off (a button's state is set only when it changes): the
// screen then is what a full repaint draws.
TEST_F(FormInput, TheToolButtonsOnTheScreenFollowUndoAndRedo)
{
    TPolypadForm& form = OpenParcel();
    const HWND bar = form.ToolBar->Handle();
    const auto expectBarAsRedrawn = [&](const std::string& after) {
        PumpAll();
        const std::vector<DWORD> shown = ClientOnScreen(bar);
        ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        PumpAll();
        EXPECT_TRUE(ClientOnScreen(bar) == shown) << "a stale tool button after " << after;
    };
    ClickCell(ckX, 1);
    Type(L"452301");
    Press(VK_RETURN);
    expectBarAsRedrawn("a typed cell");
    for (int i = 0; i < 3; ++i) {
        Press('Z', true);
        ASSERT_TRUE(form.RedoAction->Enabled());
        expectBarAsRedrawn("an undo");
        Press('Y', true);
        ASSERT_FALSE(form.RedoAction->Enabled());
        expectBarAsRedrawn("a redo");
    }
}

// A typed coordinate repaints only the rows it changes, its neighbours' lengths and angles among
// them (across the closing edge too): the screen then is what a full repaint draws.
TEST_F(FormInput, ATypedCoordinateRepaintsEveryRowWhoseFiguresItChanges)
{
    TPolypadForm& form = OpenParcel();
    const HWND grid = form.SimpleGrid->Handle();
    for (const int row : {1, 0, 3}) {
        ClickCell(ckX, row);
        Type(L"45230" + std::to_wstring(row));
        Press(VK_RETURN);
        PumpAll();
        ASSERT_EQ(FTable->GetX(row), 452300 + row);
        const std::vector<DWORD> shown = CellsOnScreen(grid);
        ::InvalidateRect(grid, nullptr, TRUE);
        ::UpdateWindow(grid);
        PumpAll();
        EXPECT_TRUE(CellsOnScreen(grid) == shown) << "a stale row on the screen after typing X of row " << row;
    }
}

// Undo and redo of a typed cell repaint only the rows the step puts back and their neighbours:
// the screen then is what a full repaint draws.
TEST_F(FormInput, UndoAndRedoOfATypedCellRepaintEveryRowTheyChange)
{
    TPolypadForm& form = OpenParcel();
    const HWND grid = form.SimpleGrid->Handle();
    auto expectScreenIsFresh = [&](const char* what, int row) {
        PumpAll();
        const std::vector<DWORD> shown = CellsOnScreen(grid);
        ::InvalidateRect(grid, nullptr, TRUE);
        ::UpdateWindow(grid);
        PumpAll();
        EXPECT_TRUE(CellsOnScreen(grid) == shown) << "a stale row on the screen after " << what << " of row " << row;
    };
    for (const int row : {2, 0, 3}) {
        const double x = FTable->GetX(row);
        ClickCell(ckX, row);
        Type(L"45231" + std::to_wstring(row));
        Press(VK_RETURN);
        PumpAll();
        ASSERT_EQ(FTable->GetX(row), 452310 + row);
        ClickCell(ckY, 1); // the current cell elsewhere: the undo brings it back
        Press('Z', true);
        ASSERT_EQ(FTable->GetX(row), x);
        expectScreenIsFresh("an undo", row);
        Press('Y', true);
        ASSERT_EQ(FTable->GetX(row), 452310 + row);
        expectScreenIsFresh("a redo", row);
    }
}

// Row 0's arc runs from the last vertex in an open contour too: moving the last vertex changes
// row 0's arc centre and radius, and the screen must show them changed.
TEST_F(FormInput, TheLastRowOfAnOpenContourRepaintsTheArcOfRowZero)
{
    // Angle and length columns hidden, so that the arc columns are in view.
    for (const TTableColumnKind kind : {ckEdgeLength, ckLeftAngle, ckRightAngle, ckDirectionAngle})
        WriteSetting("Kestrom.PolypadShowing" + std::to_string(kind), "0");
    TPolypadForm& form = OpenParcel();
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(form.ContourPartClosedAction->Id(), BN_CLICKED),
                   reinterpret_cast<LPARAM>(form.ToolBar->Handle()));
    PumpAll();
    ASSERT_FALSE(FTable->Closed());
    ClickCell(ckArcConvexity, 0);
    Type(L"0.3");
    Press(VK_RETURN);
    ASSERT_EQ(FTable->GetArcConvexity(0), 0.3);
    const double radius = FTable->GetArcRadius(0);
    ASSERT_GT(radius, 0);

    ClickCell(ckX, 3);
    Type(L"452260");
    Press(VK_RETURN);
    PumpAll();
    ASSERT_NE(FTable->GetArcRadius(0), radius);
    const HWND grid = form.SimpleGrid->Handle();
    const std::vector<DWORD> shown = CellsOnScreen(grid);
    ::InvalidateRect(grid, nullptr, TRUE);
    ::UpdateWindow(grid);
    PumpAll();
    EXPECT_TRUE(CellsOnScreen(grid) == shown) << "row 0's arc centre and radius are stale on the screen";
}
