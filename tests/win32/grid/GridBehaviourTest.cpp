// Finer grid behaviour: interactive-cell skipping, editor reload on data change, change events,
// row-state marks as drawn, the row-number header width, boolean value lists, the options dialog
// and the flat button's click suppression.
#include "GridTestSupport.h"

#include "controls/SimpleDropDowns.h"
#include "controls/WhatsThisOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

class GridBehaviour : public testing::Test {
protected:
    void Build(int columns, int rows)
    {
        SetFormatSettings(TFormatSettings{});
        Form.Grid.Columns().BeginUpdate();
        for (int c = 0; c < columns; ++c) {
            TSimpleGridColumn& col = Form.Grid.Columns().InsertColumn(-1);
            col.SetCaption("C" + std::to_string(c));
            col.SetDataType(gdtInteger);
            col.SetTextEditable(true);
        }
        Form.Grid.Columns().EndUpdate();
        Table.Values.assign(static_cast<std::size_t>(rows),
                            std::vector<TGridValue>(static_cast<std::size_t>(columns), TGridValue::Integer(0)));
        Table.Bind(Form.Grid);
        Form.Grid.SetDataRowCount(rows);
        Form.Grid.SetFocus();
        Form.Grid.MoveToDataCell(0, 0);
        Pump(50);
    }

    // Black pixels of a cell as the grid paints it.
    int DarkPixels(int gridCol, int gridRow)
    {
        const RECT client = Form.Grid.ClientRect();
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        TUniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
        int dark = 0;
        {
            TSelectObject select(dc.get(), bitmap.get());
            ::SendMessageW(Form.Grid.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
            ::GdiFlush();
            const RECT r = Form.Grid.CellRect(gridCol, gridRow);
            const auto* pixels = static_cast<const std::uint32_t*>(bits);
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left + 3; x < r.right - 3; ++x)
                    if ((pixels[y * client.right + x] & 0xFFFFFF) == 0)
                        ++dark;
        }
        return dark;
    }

    TTestForm Form;
    TCellTable Table;
};

TEST_F(GridBehaviour, EnterSkipsColumnsThatCannotBeEdited)
{
    Build(3, 2);
    Form.Grid.Columns().Items(1).SetTextEditable(false);
    Form.Grid.MoveToDataCell(0, 0);
    Pump(20);
    EXPECT_TRUE(Form.Grid.MoveToNextInteractiveCell());
    EXPECT_EQ(Form.Grid.DataCol(), 2);
    EXPECT_TRUE(Form.Grid.MoveToNextInteractiveCell());
    EXPECT_EQ(Form.Grid.DataCol(), 0);
    EXPECT_EQ(Form.Grid.DataRow(), 1);
    Form.Grid.MoveToDataCell(1, 0); // not interactive itself: one step
    Pump(20);
    EXPECT_TRUE(Form.Grid.MoveToNextInteractiveCell());
    EXPECT_EQ(Form.Grid.DataCol(), 2);
}

TEST_F(GridBehaviour, InvalidateDataReloadsTheCurrentEditorOnly)
{
    Build(2, 2);
    Table.Values[0][0] = TGridValue::Integer(55);
    Form.Grid.InvalidateData(1, 0);
    EXPECT_EQ(Form.Grid.Editor().Text, "0");
    Form.Grid.InvalidateData(-1, 0);
    EXPECT_EQ(Form.Grid.Editor().Text, "55");
    Table.Values[0][0] = TGridValue::Null();
    Form.Grid.InvalidateData(-1, -1);
    EXPECT_EQ(Form.Grid.Editor().Text, "");
}

TEST_F(GridBehaviour, TypingFiresOnChangePerEdit)
{
    Build(1, 1);
    int changes = 0;
    Form.Grid.OnChange = [&](TSimpleGrid&) { ++changes; };
    ASSERT_NE(Form.Grid.InplaceEditor(), nullptr);
    const HWND editor = Form.Grid.InplaceEditor()->Handle();
    ::SendMessageW(editor, EM_SETSEL, 0, -1);
    PostChars(editor, L"12");
    Pump(50);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(Form.Grid.Editor().Text, "12");
    EXPECT_EQ(Form.Grid.LoadedText(), "0");
}

TEST_F(GridBehaviour, StateHeaderMarksOnlyTheCurrentRowByDefault)
{
    Build(2, 3);
    Form.Grid.SetRowHeader(grhState);
    Form.Grid.MoveToDataCell(0, 1);
    Pump(20);
    EXPECT_EQ(Form.Grid.ColWidth(0), 17);
    EXPECT_GT(DarkPixels(0, 2), 10) << "triangle on the current row";
    EXPECT_EQ(DarkPixels(0, 1), 0);
    EXPECT_EQ(DarkPixels(0, 3), 0);
    Form.Grid.OnGetRowState = [](TSimpleGrid&, int row, TSimpleGridRowState& state) {
        state = row == 2 ? grsNew : grsNormal;
    };
    EXPECT_GT(DarkPixels(0, 3), 10) << "asterisk on the new row";
}

TEST_F(GridBehaviour, RowNumberHeaderGrowsWithTheDigits)
{
    Build(1, 9);
    const int nine = Form.Grid.ColWidth(0);
    Form.Grid.SetDataRowCount(100000);
    EXPECT_GT(Form.Grid.ColWidth(0), nine);
    Form.Grid.SetRowHeader(grhNone);
    EXPECT_EQ(Form.Grid.FixedCols(), 0);
    EXPECT_EQ(Form.Grid.ColCount(), 1);
}

TEST_F(GridBehaviour, BooleanColumnWithoutLookupOffersYesAndNo)
{
    Build(1, 1);
    TSimpleGridColumn& flag = Form.Grid.Columns().Items(0);
    flag.SetDataType(gdtBoolean);
    flag.SetTextEditable(false);
    flag.SetDropDown(gddValueList);
    Table.Values[0][0] = TGridValue::Boolean(false);
    Form.Grid.SyncCurrentCell();
    std::vector<std::string> captions;
    Form.Grid.OnInitDataLookup = [&](TSimpleGrid&, int, int, TSimpleGridDataLookup& lookup) {
        for (int i = 0; i < lookup.List->Count(); ++i) {
            std::string c;
            lookup.List->GetCaption(i, c);
            captions.push_back(c);
        }
        lookup.Cancel = true;
    };
    Form.Grid.ShowDropDown();
    EXPECT_THAT(captions, testing::ElementsAre("Да", "Нет"));
    EXPECT_EQ(ActiveDropDownWindow(), nullptr) << "Cancel keeps the list closed";
}

TEST(Dialogs, OptionsDialogReturnsTheTickedDesignMode)
{
    std::string profile = "C:\\help\\Polypad.INI";
    bool design = false;
    std::string caption;
    TInputScript script;
    script.Then([&] {
        const HWND dialog = ::FindWindowW(L"PolypadForm", L"WhatsThisOptionsForm");
        if (!dialog)
            return false;
        wchar_t text[64] = {};
        ::GetWindowTextW(dialog, text, 64);
        caption = Narrow(text);
        for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            if ((::GetWindowLongW(c, GWL_STYLE) & 0xF) == BS_AUTOCHECKBOX)
                ::SendMessageW(c, BM_SETCHECK, BST_CHECKED, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    script.Start();
    EXPECT_TRUE(ExecuteWhatsThisOptionsForm(nullptr, profile, design));
    EXPECT_EQ(caption, "WhatsThisOptionsForm");
    EXPECT_TRUE(design);
    EXPECT_EQ(profile, "C:\\help\\Polypad.INI");
}

TEST(Dialogs, HelpContextDialogCancelKeepsTheTopic)
{
    std::string topic = "intro.htm";
    TInputScript script;
    script.Then([&] {
        const HWND dialog = ::FindWindowW(L"PolypadForm", L"Изменение ContextID");
        if (!dialog)
            return false;
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    script.Start();
    EXPECT_FALSE(ExecuteHelpCtxForm(nullptr, "TPolypadForm", "SimpleGrid", topic));
    EXPECT_EQ(topic, "intro.htm");
}

TEST(FlatButton, OneClickPerTimerPeriod)
{
    TTestForm form;
    TSimpleButton button(form.Handle());
    button.SetBounds(10, 10, 20, 20);
    button.Show();
    int clicks = 0;
    button.OnClick = [&] { ++clicks; };
    for (int i = 0; i < 3; ++i) {
        ::SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(button.State(), TSimpleButton::sbsPressed);
        ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.State(), TSimpleButton::sbsHot);
    Pump(400, [&] { return button.State() == TSimpleButton::sbsNormal; }); // the cursor is elsewhere
    ::SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 2);
}

} // namespace
