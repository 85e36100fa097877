// Drop-downs opened from the grid: a value list chosen by the mouse or cancelled by a click
// outside, the calendar on a null value, the memo accepted by Ctrl+Enter and by Enter not.
#include "GridTestSupport.h"

#include "controls/SimpleDropDowns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

HWND ChildOfClass(HWND parent, const wchar_t* cls)
{
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(c, name, 64);
        if (_wcsicmp(name, cls) == 0)
            return c;
    }
    return nullptr;
}

double Today()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

class GridPopup : public testing::Test {
protected:
    void SetUp() override
    {
        SetFormatSettings(TFormatSettings{});
        auto& columns = Form.Grid.Columns();
        TSimpleGridColumn& list = columns.InsertColumn(-1);
        list.SetCaption("Список");
        list.SetDataType(gdtInteger);
        list.SetDropDown(gddValueList);
        list.LookupList().Add(TGridValue::Integer(1), "один");
        list.LookupList().Add(TGridValue::Integer(2), "два");
        list.LookupList().Add(TGridValue::Integer(3), "три");
        TSimpleGridColumn& date = columns.InsertColumn(-1);
        date.SetCaption("Дата");
        date.SetDataType(gdtDate);
        date.SetDropDown(gddDatePicker);
        TSimpleGridColumn& memo = columns.InsertColumn(-1);
        memo.SetCaption("Заметка");
        memo.SetDataType(gdtMemo);
        memo.SetDropDown(gddMemoEditor);
        Table.Values.assign(2, std::vector<TGridValue>{TGridValue::Integer(2), TGridValue::Null(),
                                                        TGridValue::String("old")});
        Table.Bind(Form.Grid);
        Form.Grid.SetDataRowCount(2);
        Form.Grid.SetFocus();
        Form.Grid.MoveToDataCell(0, 0);
        Pump(100);
    }

    void OpenWithAltDown()
    {
        SetModifier(VK_MENU, true);
        PostKey(::GetFocus(), VK_DOWN);
        TInputScript release;
        release.Do([] { SetModifier(VK_MENU, false); });
        release.Start();
        Script.Start();
        Pump(3000, [&] { return Script.Done() && !ActiveDropDownWindow(); });
        SetModifier(VK_MENU, false);
    }

    TTestForm Form;
    TCellTable Table;
    TInputScript Script;
};

TEST_F(GridPopup, SpaceOpensTheListWithTheValuePreselectedAndAClickChooses)
{
    int preselected = -2;
    Script.Then([] { return ActiveDropDownWindow() != nullptr; })
        .Do([&] {
            const HWND box = ChildOfClass(ActiveDropDownWindow(), L"ListBox");
            preselected = static_cast<int>(::SendMessageW(box, LB_GETCURSEL, 0, 0));
            RECT item{};
            ::SendMessageW(box, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
            const LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
            ::PostMessageW(box, WM_MOUSEMOVE, 0, at);
            ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
            ::PostMessageW(box, WM_LBUTTONUP, 0, at);
        });
    ASSERT_EQ(::GetFocus(), Form.Grid.Handle()) << "a list cell without text editing keeps the focus on the grid";
    PostChars(Form.Grid.Handle(), L" ");
    Script.Start();
    Pump(3000, [&] { return Script.Done() && !ActiveDropDownWindow(); });
    EXPECT_EQ(preselected, 1);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.AsInteger(), 3);
    EXPECT_EQ(Form.Grid.DataCol(), 1) << "Space moves on after choosing";
    EXPECT_TRUE(Form.Grid.FocusedOrEditing()) << "the grid has the focus back";
}

TEST_F(GridPopup, AClickOutsideCancelsTheList)
{
    bool opened = false;
    Script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do([&] {
        opened = true;
        PostClick(Form.Other, 3, 3);
    });
    SetModifier(VK_MENU, true);
    PostKey(Form.Grid.Handle(), VK_DOWN);
    Script.Start();
    Pump(3000, [&] { return Script.Done() && !ActiveDropDownWindow(); });
    SetModifier(VK_MENU, false);
    Pump(50);
    EXPECT_TRUE(opened);
    EXPECT_EQ(ActiveDropDownWindow(), nullptr);
    EXPECT_TRUE(Table.Sets.empty());
    EXPECT_EQ(Table.Values[0][0].AsInteger(), 2);
    EXPECT_EQ(Form.Grid.DataCol(), 0);
}

TEST_F(GridPopup, EnterWithoutASelectionChoosesNothing)
{
    Table.Values[0][0] = TGridValue::Integer(9); // matches no item
    Form.Grid.InvalidateData(-1, -1);
    int preselected = -2;
    Script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do([&] {
        const HWND box = ChildOfClass(ActiveDropDownWindow(), L"ListBox");
        preselected = static_cast<int>(::SendMessageW(box, LB_GETCURSEL, 0, 0));
        PostKey(box, VK_RETURN);
    });
    SetModifier(VK_CONTROL, true);
    PostKey(Form.Grid.Handle(), VK_SPACE);
    Script.Start();
    Pump(3000, [&] { return Script.Done() && !ActiveDropDownWindow(); });
    SetModifier(VK_CONTROL, false);
    EXPECT_EQ(preselected, -1);
    EXPECT_TRUE(Table.Sets.empty());
}

TEST_F(GridPopup, CalendarOnANullValueOpensOnToday)
{
    Form.Grid.MoveToDataCell(1, 0);
    Pump(50);
    SYSTEMTIME shown{};
    Script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do([&] {
        const HWND calendar = ChildOfClass(ActiveDropDownWindow(), MONTHCAL_CLASSW);
        ::SendMessageW(calendar, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&shown));
        PostKey(calendar, VK_ESCAPE);
    });
    OpenWithAltDown();
    EXPECT_DOUBLE_EQ(EncodeDate(shown.wYear, shown.wMonth, shown.wDay), Today());
    EXPECT_TRUE(Table.Sets.empty()) << "Esc cancels";
}

TEST_F(GridPopup, CalendarPickSetsTheDate)
{
    Form.Grid.MoveToDataCell(1, 1);
    Pump(50);
    Script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do([&] {
        const HWND calendar = ChildOfClass(ActiveDropDownWindow(), MONTHCAL_CLASSW);
        SYSTEMTIME st{};
        st.wYear = 2024;
        st.wMonth = 2;
        st.wDay = 29;
        ::SendMessageW(calendar, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
        NMSELCHANGE nm{};
        nm.nmhdr.hwndFrom = calendar;
        nm.nmhdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(calendar));
        nm.nmhdr.code = MCN_SELECT;
        nm.stSelStart = st;
        nm.stSelEnd = st;
        ::SendMessageW(ActiveDropDownWindow(), WM_NOTIFY, nm.nmhdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    });
    OpenWithAltDown();
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.Type(), TVarType::DateTime);
    EXPECT_DOUBLE_EQ(Table.Sets[0].Value.AsDateTime(), EncodeDate(2024, 2, 29));
}

TEST_F(GridPopup, MemoTakesEnterAsANewLineAndCtrlEnterAccepts)
{
    Form.Grid.MoveToDataCell(2, 0);
    Pump(50);
    std::string status;
    bool openAfterEnter = false;
    HWND edit = nullptr;
    Script.Then([] { return ActiveDropDownWindow() != nullptr; })
        .Do([&] {
            edit = ChildOfClass(ActiveDropDownWindow(), L"RichEdit20W");
            const HWND bar = ChildOfClass(ActiveDropDownWindow(), STATUSCLASSNAMEW);
            wchar_t text[128] = {};
            ::SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
            status = Narrow(text);
            ::SendMessageW(edit, EM_SETSEL, -1, -1);
            PostKey(edit, VK_RETURN);
            PostChars(edit, L"\rnew");
        })
        .Do([&] { openAfterEnter = ActiveDropDownWindow() != nullptr; })
        .Do([&] {
            SetModifier(VK_CONTROL, true);
            PostKey(edit, VK_RETURN);
        })
        .Do([] { SetModifier(VK_CONTROL, false); });
    OpenWithAltDown();
    SetModifier(VK_CONTROL, false);
    EXPECT_EQ(status, "Ctrl-Enter: принять изменения");
    EXPECT_TRUE(openAfterEnter);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_THAT(Table.Sets[0].Value.AsText(), testing::HasSubstr("old"));
    EXPECT_THAT(Table.Sets[0].Value.AsText(), testing::HasSubstr("new"));
    EXPECT_NE(Table.Sets[0].Value.AsText(), "oldnew") << "Enter made a line break";
}

TEST_F(GridPopup, MemoStatusBarClickAcceptsAndAnUnchangedTextSetsNothing)
{
    Form.Grid.MoveToDataCell(2, 1);
    Pump(50);
    auto clickStatusBar = [] {
        const HWND bar = ChildOfClass(ActiveDropDownWindow(), STATUSCLASSNAMEW);
        NMMOUSE nm{};
        nm.hdr.hwndFrom = bar;
        nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(bar));
        nm.hdr.code = NM_CLICK;
        ::SendMessageW(ActiveDropDownWindow(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    };
    Script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do(clickStatusBar);
    OpenWithAltDown();
    EXPECT_EQ(ActiveDropDownWindow(), nullptr);
    EXPECT_TRUE(Table.Sets.empty()) << "the text did not change";

    TInputScript second;
    second.Then([] { return ActiveDropDownWindow() != nullptr; })
        .Do([] { ::SetWindowTextW(ChildOfClass(ActiveDropDownWindow(), L"RichEdit20W"), L"changed"); })
        .Do(clickStatusBar);
    SetModifier(VK_MENU, true);
    PostKey(::GetFocus(), VK_DOWN);
    TInputScript release;
    release.Do([] { SetModifier(VK_MENU, false); });
    release.Start();
    second.Start();
    Pump(3000, [&] { return second.Done() && !ActiveDropDownWindow(); });
    SetModifier(VK_MENU, false);
    ASSERT_EQ(Table.Sets.size(), 1u);
    EXPECT_EQ(Table.Sets[0].Value.AsText(), "changed");
}

TEST(DropDownPlacement, OpensAboveTheCellNearTheBottomOfTheWorkArea)
{
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT cell{100, work.bottom - 30, 200, work.bottom - 10};
    auto list = NewDropDownList();
    for (int i = 0; i < 5; ++i)
        list->Add(TGridValue::Integer(i), "item " + std::to_string(i));
    RECT popup{};
    TInputScript script;
    script.Then([] { return ActiveDropDownWindow() != nullptr; }).Do([&] {
        ::GetWindowRect(ActiveDropDownWindow(), &popup);
        PostKey(ActiveDropDownWindow(), VK_ESCAPE);
    });
    script.Start();
    TGridValue value = TGridValue::Integer(1);
    EXPECT_FALSE(ExecuteDropDown(cell, ddkList, value, list));
    EXPECT_EQ(popup.bottom, cell.top);
    EXPECT_EQ(popup.left, cell.left);
    EXPECT_EQ(value.AsInteger(), 1);
}

} // namespace
