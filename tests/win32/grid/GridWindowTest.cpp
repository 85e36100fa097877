// TSimpleGrid in a real top-level window: typing, Enter, Tab, invalid input with its message box,
// Ctrl+0, orientation and an empty grid, all through posted input and the message loop.
#include "GridTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class GridWindow : public testing::Test {
protected:
    void SetUp() override
    {
        SetFormatSettings(TFormatSettings{});
        auto& columns = Form.Grid.Columns();
        columns.BeginUpdate();
        AddColumn("Целое", gdtInteger, true);
        AddColumn("Текст", gdtString, true);
        TSimpleGridColumn& flag = AddColumn("Флаг", gdtBoolean, false);
        flag.SetDropDown(gddValueList);
        TSimpleGridColumn& nullable = AddColumn("Пусто", gdtInteger, true);
        nullable.SetNullable(true);
        columns.EndUpdate();
        Table.Values.assign(3, std::vector<TGridValue>{TGridValue::Integer(1), TGridValue::String("a"),
                                                        TGridValue::Boolean(true), TGridValue::Integer(5)});
        Table.Bind(Form.Grid);
        Form.Grid.SetDataRowCount(3);
        Form.Grid.SetOptionsEx(SgoBit(sgoReturnUseForMoveNext) | SgoBit(sgoCtr0UseForSetNull));
        Form.Grid.SetFocus();
        Form.Grid.MoveToDataCell(0, 0);
        Pump(100);
        Table.Events.clear();
    }

    TSimpleGridColumn& AddColumn(const char* caption, TSimpleGridDataType type, bool editable)
    {
        TSimpleGridColumn& c = Form.Grid.Columns().InsertColumn(-1);
        c.SetCaption(caption);
        c.SetDataType(type);
        c.SetTextEditable(editable);
        c.SetWidth(90);
        return c;
    }

    HWND Focus() const { return ::GetFocus(); }
    HWND Editor() const { return Form.Grid.InplaceEditor() ? Form.Grid.InplaceEditor()->Handle() : nullptr; }
    POINT CellCenter(int dataCol, int dataRow) const
    {
        const TGridPoint g = Form.Grid.DataToGrid(dataCol, dataRow);
        const RECT r = Form.Grid.CellRect(g.Col, g.Row);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void ReplaceEditorText(const std::wstring& text)
    {
        ASSERT_EQ(Focus(), Editor());
        ::SendMessageW(Editor(), EM_SETSEL, 0, -1);
        PostChars(Editor(), text);
        Pump(50);
    }

    TTestForm Form;
    TCellTable Table;
};

TEST_F(GridWindow, TypedTextAndEnterSetOneValueAndMoveToNextInteractiveCell)
{
    ASSERT_EQ(Focus(), Editor()) << "the editor takes the focus on an editable cell";
    ReplaceEditorText(L"42");
    PostKey(Focus(), VK_RETURN);
    Pump(100);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Col, 0);
    EXPECT_EQ(Table.Sets[0].Row, 0);
    EXPECT_EQ(Table.Sets[0].Value.Type(), TVarType::Integer);
    EXPECT_EQ(Table.Sets[0].Value.AsInteger(), 42);
    EXPECT_EQ(Form.Grid.DataCol(), 1);
    EXPECT_EQ(Form.Grid.DataRow(), 0);
    EXPECT_EQ(Form.Grid.Editor().Text, "a");
}

TEST_F(GridWindow, EnterAtTheLastCellAppliesAndStays)
{
    Form.Grid.MoveToDataCell(3, 2);
    Pump(50);
    ReplaceEditorText(L"7");
    PostKey(Focus(), VK_RETURN);
    Pump(100);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.AsInteger(), 7);
    EXPECT_EQ(Form.Grid.DataCol(), 3);
    EXPECT_EQ(Form.Grid.DataRow(), 2);
}

TEST_F(GridWindow, InvalidIntegerThenClickShowsOneMessageAndKeepsTheCell)
{
    ReplaceEditorText(L"abc");
    std::vector<std::string> boxes;
    TInputScript script;
    script.Then([&] {
        const HWND box = FindMessageBox();
        if (!box)
            return false;
        boxes.push_back(MessageBoxText(box));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    const POINT p = CellCenter(1, 1);
    PostClick(Form.Grid.Handle(), p.x, p.y);
    script.Start();
    Pump(1500, [&] { return script.Done(); });
    Pump(300);
    EXPECT_THAT(boxes, ElementsAre("Ошибка ввода данных: ожидается целое число"));
    EXPECT_EQ(FindMessageBox(), nullptr) << "a second message box";
    EXPECT_EQ(Form.Grid.DataCol(), 0);
    EXPECT_EQ(Form.Grid.DataRow(), 0);
    EXPECT_TRUE(Table.Sets.empty());
    EXPECT_EQ(Form.Grid.Editor().Text, "abc") << "the typed text stays";
}

TEST_F(GridWindow, EscapeGivesUpTheTypedText)
{
    ReplaceEditorText(L"abc");
    PostKey(Focus(), VK_ESCAPE);
    Pump(50);
    EXPECT_EQ(Form.Grid.Editor().Text, "1");
    EXPECT_EQ(Form.Grid.InplaceEditor()->EditText(), "1");
    const POINT p = CellCenter(1, 1);
    PostClick(Form.Grid.Handle(), p.x, p.y);
    Pump(100);
    EXPECT_EQ(FindMessageBox(), nullptr);
    EXPECT_EQ(Form.Grid.DataCol(), 1);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    EXPECT_TRUE(Table.Sets.empty());
}

TEST_F(GridWindow, TabWrapsToTheNextRowAndLeavesTheGridAtTheLastCell)
{
    Form.Grid.MoveToDataCell(3, 0);
    Pump(50);
    PostKey(Focus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataCol(), 0);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    SetModifier(VK_SHIFT, true);
    PostKey(Focus(), VK_TAB);
    Pump(50);
    SetModifier(VK_SHIFT, false);
    EXPECT_EQ(Form.Grid.DataCol(), 3);
    EXPECT_EQ(Form.Grid.DataRow(), 0);
    Form.Grid.MoveToDataCell(3, 2);
    Pump(50);
    PostKey(Focus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(Focus(), Form.Other);
    EXPECT_EQ(Form.Grid.DataCol(), 3);
}

TEST_F(GridWindow, CtrlZeroSetsNullOnlyOnANullableColumn)
{
    SetModifier(VK_CONTROL, true);
    PostKey(Focus(), '0');
    Pump(50);
    SetModifier(VK_CONTROL, false);
    EXPECT_TRUE(Table.Sets.empty());
    Form.Grid.MoveToDataCell(3, 1);
    Pump(50);
    SetModifier(VK_CONTROL, true);
    PostKey(Focus(), '0');
    Pump(50);
    SetModifier(VK_CONTROL, false);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_TRUE(Table.Sets[0].Value.IsNull());
    EXPECT_EQ(Form.Grid.Editor().Text, "") << "a null value edits as empty text";
}

// A cell's text is laid out as DrawText lays it out in the cell, whether it fits on one line or
// is wrapped and cut with an ellipsis.
TEST_F(GridWindow, DataTextIsDrawnAsDrawTextLaysItOut)
{
    const std::string texts[] = {"1385203.125", "СВ 12°34'56\"", "a text far too long for a column ninety wide"};
    for (int row = 0; row < 3; ++row)
        Table.Values[static_cast<std::size_t>(row)][1] = TGridValue::String(texts[row]);
    Form.Grid.InvalidateData(-1, -1);
    RECT client{};
    ::GetClientRect(Form.Grid.Handle(), &client);
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(client.right, client.bottom, &bits);
    TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    TSelectObject selected(dc.get(), bitmap.get());
    ::SendMessageW(Form.Grid.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    ::GdiFlush();
    const auto* painted = static_cast<const DWORD*>(bits);
    const std::vector<DWORD> grid(painted, painted + static_cast<std::size_t>(client.right) * client.bottom);
    for (int row = 0; row < 3; ++row) {
        const TGridPoint g = Form.Grid.DataToGrid(1, row);
        const RECT cell = Form.Grid.CellRect(g.Col, g.Row);
        // The cell without its separator lines, drawn again here as DrawText draws it.
        RECT inside = cell;
        inside.right -= 1;
        inside.bottom -= 1;
        {
            const int saved = ::SaveDC(dc.get());
            ::IntersectClipRect(dc.get(), inside.left, inside.top, inside.right, inside.bottom);
            ::SetDCBrushColor(dc.get(), ::GetSysColor(COLOR_WINDOW));
            ::FillRect(dc.get(), &inside, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
            ::SelectObject(dc.get(), Form.Grid.Font());
            ::SetBkMode(dc.get(), TRANSPARENT);
            ::SetTextColor(dc.get(), ::GetSysColor(COLOR_WINDOWTEXT));
            const std::wstring text = Widen(texts[row]);
            RECT textRect = cell;
            ::OffsetRect(&textRect, 2, 2);
            ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &textRect,
                        DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_NOPREFIX | DT_LEFT |
                            DT_TOP);
            ::RestoreDC(dc.get(), saved);
        }
        ::GdiFlush();
        int differ = 0;
        for (int y = inside.top; y < inside.bottom; ++y)
            for (int x = inside.left; x < inside.right; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * client.right + x;
                differ += (painted[i] & 0xFFFFFF) != (grid[i] & 0xFFFFFF);
            }
        EXPECT_EQ(differ, 0) << "pixels of \"" << texts[row] << "\" not as DrawText draws them";
    }
}

TEST_F(GridWindow, CellChangeFiresEventsInOrder)
{
    Form.Grid.MoveToDataCell(1, 1);
    Pump(50);
    EXPECT_THAT(Table.Events, ElementsAre("apply row", "init row", "select 0,1", "select 1,1"));
}

TEST_F(GridWindow, HorizontalOrientationTabsAlongDataRows)
{
    Form.Grid.SetOrientation(gorHorizontal);
    Form.Grid.SyncCurrentCell();
    Form.Grid.MoveToDataCell(0, 0);
    Pump(50);
    EXPECT_EQ(Form.Grid.ColCount(), 4);
    EXPECT_EQ(Form.Grid.RowCount(), 5);
    for (int c = 0; c < Form.Grid.ColCount(); ++c)
        EXPECT_EQ(Form.Grid.ColWidth(c), Form.Grid.DefaultColWidth());
    PostKey(Focus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataCol(), 0);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    Form.Grid.MoveToDataCell(0, 2);
    Pump(50);
    PostKey(Focus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataCol(), 1);
    EXPECT_EQ(Form.Grid.DataRow(), 0);
    const TGridPoint g = Form.Grid.DataToGrid(1, 0);
    EXPECT_EQ(g.Col, 1);
    EXPECT_EQ(g.Row, 2);
}

TEST_F(GridWindow, NoDataRowsMeansNoCurrentRowAndTabLeaves)
{
    Form.Grid.SetDataRowCount(0);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), -1);
    EXPECT_EQ(Form.Grid.RowCount(), 2) << "one empty line below the header";
    Form.Grid.SetFocus();
    Pump(50);
    PostKey(Focus(), VK_RETURN);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), -1);
    EXPECT_TRUE(Table.Sets.empty());
    PostKey(Focus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(Focus(), Form.Other);
}

// Growth and shrinking batch the scroll bars and the editor's move to the end of the layout and
// leave alone what did not change: after each, through the loop, the vertical bar spans the rows
// with its thumb at the top row, and the editor covers the current cell.
TEST_F(GridWindow, GrowingAndShrinkingKeepTheScrollBarAndTheEditorOnTheCell)
{
    Table.Values.resize(301, Table.Values[0]);
    auto verticalBar = [&] {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        ::GetScrollInfo(Form.Grid.Handle(), SB_VERT, &si);
        return si;
    };
    auto expectEditorOnCurrentCell = [&](const char* when) {
        ASSERT_TRUE(Editor() && ::IsWindowVisible(Editor())) << when;
        const TGridPoint g = Form.Grid.DataToGrid(Form.Grid.DataCol(), Form.Grid.DataRow());
        const RECT cell = Form.Grid.CellRect(g.Col, g.Row);
        RECT editor{};
        ::GetWindowRect(Editor(), &editor);
        ::MapWindowPoints(nullptr, Form.Grid.Handle(), reinterpret_cast<POINT*>(&editor), 2);
        EXPECT_EQ(editor.left, cell.left) << when;
        EXPECT_EQ(editor.top, cell.top) << when;
        EXPECT_EQ(editor.bottom, cell.bottom) << when;
        EXPECT_GT(cell.bottom, cell.top) << when << ": the current cell is in view";
    };
    auto expectBarAtTopRow = [&](int dataRows, const char* when) {
        const SCROLLINFO si = verticalBar();
        EXPECT_EQ(si.nPos, Form.Grid.TopRow()) << when;
        if (si.nPage == 0) {
            EXPECT_EQ(si.nMax, si.nMin) << when << ": nothing to scroll";
            return;
        }
        // The last scroll position shows the last row.
        const int lastTop = si.nMax - static_cast<int>(si.nPage) + 1;
        const TGridPoint last = Form.Grid.DataToGrid(0, dataRows - 1);
        EXPECT_GE(lastTop + static_cast<int>(si.nPage), last.Row) << when;
        EXPECT_LE(lastTop, last.Row) << when;
    };

    Form.Grid.MoveToDataCell(0, 1);
    Pump(50);
    expectEditorOnCurrentCell("before");

    Form.Grid.SetDataRowCount(200);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    expectBarAtTopRow(200, "grown to 200");
    EXPECT_GT(verticalBar().nPage, 0u) << "200 rows do not fit";
    expectEditorOnCurrentCell("grown to 200");

    // At the bottom, row by row as a paste grows the grid.
    Form.Grid.MoveToDataCell(0, 199);
    Pump(50);
    const int topAtBottom = Form.Grid.TopRow();
    const SCROLLINFO atBottom = verticalBar();
    for (int rows = 201; rows <= 300; ++rows)
        Form.Grid.SetDataRowCount(rows);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), 199);
    EXPECT_EQ(Form.Grid.TopRow(), topAtBottom);
    EXPECT_EQ(verticalBar().nMax, atBottom.nMax + 100);
    expectBarAtTopRow(300, "grown row by row");
    expectEditorOnCurrentCell("grown row by row");

    // Shrunk above the current row and the top row: both follow, and so do the bar and the editor.
    Form.Grid.SetDataRowCount(50);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), 49);
    expectBarAtTopRow(50, "shrunk to 50");
    expectEditorOnCurrentCell("shrunk to 50");

    Form.Grid.SetDataRowCount(2);
    Pump(50);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    EXPECT_EQ(Form.Grid.TopRow(), Form.Grid.FixedRows());
    expectBarAtTopRow(2, "shrunk to 2");
    expectEditorOnCurrentCell("shrunk to 2");
}

TEST_F(GridWindow, FocusLossAppliesTheTextOnce)
{
    ReplaceEditorText(L"9");
    ::SetFocus(Form.Other);
    Pump(50);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.AsInteger(), 9);
    Form.Grid.SetFocus();
    Pump(50);
    ::SetFocus(Form.Other);
    Pump(50);
    EXPECT_EQ(Table.Sets.size(), 1u) << "unchanged text is not applied again";
}

TEST_F(GridWindow, AngleMaskShapesTheTypedText)
{
    Form.Grid.Columns().Items(1).SetTextEditMask("999°99'99\"");
    Form.Grid.MoveToDataCell(1, 1);
    Pump(50);
    ASSERT_EQ(Focus(), Editor());
    ::SendMessageW(Editor(), EM_SETSEL, 0, 0);
    PostChars(Editor(), L"12°3'4");
    Pump(50);
    EXPECT_EQ(Form.Grid.InplaceEditor()->EditText(), "12_°3_'4_\"");
    PostKey(Focus(), VK_RETURN);
    Pump(50);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.AsText(), "12 °3 '4 \"");
}

TEST_F(GridWindow, ColumnDragWritesTheWidthBack)
{
    const TGridPoint g = Form.Grid.DataToGrid(0, 0);
    const RECT header = Form.Grid.CellRect(g.Col, 0);
    ::SendMessageW(Form.Grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(header.right - 1, 5));
    ::SendMessageW(Form.Grid.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(header.right + 30, 5));
    ::SendMessageW(Form.Grid.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(header.right + 30, 5));
    EXPECT_EQ(Form.Grid.Columns().Items(0).Width(), 120);
    EXPECT_EQ(Form.Grid.ColWidth(g.Col), 120);
}

} // namespace
