// The window as the system's settings shape it: the wheel's lines per notch, a touchpad's small
// wheel deltas and the horizontal wheel scroll the grid; a change of the system's colours reaches
// the grid, the tool bar and the status bar, floating and docked.
#include "FormTestSupport.h"

#include "GridTestSupport.h"

#include <gtest/gtest.h>


namespace {

// The system's wheel setting for the test, put back after it.
class TWheelLinesSetting {
public:
    explicit TWheelLinesSetting(UINT lines)
    {
        ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &FOld, 0);
        Set(lines);
    }
    ~TWheelLinesSetting() { Set(FOld); }
    void Set(UINT lines) { ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0); }

private:
    UINT FOld = 3;
};

constexpr COLORREF kWindowColour = RGB(250, 236, 190);
constexpr COLORREF kFaceColour = RGB(190, 220, 245);

} // namespace

TEST_F(FormInput, TheWheelTouchpadDeltasAndTheHorizontalWheelScrollTheGrid)
{
    TPolypadForm& form = OpenParcel();
    PasteRows(form, 300);
    ASSERT_EQ(FTable->Count(), 300);
    // Narrow enough for the columns to scroll.
    ::SetWindowPos(form.Handle(), nullptr, 0, 0, 420, 420, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpAll();
    ClickCell(ckX, 0);
    TSimpleGrid& grid = *form.SimpleGrid;
    const int top = grid.TopRow();
    const auto wheel = [](int delta, bool horizontal = false) {
        ::PostMessageW(::GetFocus(), horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
        ASSERT_TRUE(PumpUntilPostedHandled());
    };

    TWheelLinesSetting setting(5);
    wheel(-WHEEL_DELTA);
    EXPECT_EQ(grid.TopRow(), top + 5) << "a notch scrolls the system's lines per notch";
    for (int i = 0; i < 20; ++i) // a precision touchpad's twentieths of a notch: one notch
        wheel(-WHEEL_DELTA / 20);
    EXPECT_EQ(grid.TopRow(), top + 10) << "small deltas add up to lines";
    wheel(WHEEL_DELTA / 2);
    EXPECT_EQ(grid.TopRow(), top + 8) << "half a notch back up: two lines, half a line kept";
    setting.Set(WHEEL_PAGESCROLL);
    const int before = grid.TopRow();
    wheel(-WHEEL_DELTA);
    EXPECT_EQ(grid.TopRow(), before + grid.VisibleRows()) << "a page per notch";

    const int left = grid.LeftCol();
    wheel(WHEEL_DELTA, true);
    EXPECT_EQ(grid.LeftCol(), left + 1) << "the horizontal wheel moves a column right";
    wheel(-WHEEL_DELTA / 3, true);
    wheel(-WHEEL_DELTA / 3, true);
    EXPECT_EQ(grid.LeftCol(), left + 1) << "two thirds of a notch: not a column yet";
    wheel(-WHEEL_DELTA / 3, true);
    EXPECT_EQ(grid.LeftCol(), left) << "a whole notch left";
}

// A colour change reaches a floating window through its top-level window: the grid's cells and
// the tool bar show the new colours, the status bar what it draws with them.
TEST_F(FormInput, ASystemColourChangeReachesTheGridToolBarAndStatusBar)
{
    TPolypadForm& form = OpenParcel();
    ASSERT_NE(CommonestColour(form.SimpleGrid->Handle()), kWindowColour);
    {
        TSystemColours colours({COLOR_WINDOW, COLOR_BTNFACE}, {kWindowColour, kFaceColour});
        PumpAll();
        EXPECT_EQ(CommonestColour(form.SimpleGrid->Handle()), kWindowColour) << "the grid's cells";
        EXPECT_EQ(CommonestColour(form.ToolBar->Handle()), kFaceColour) << "the tool bar";
        // A themed status bar takes its colours from the theme: it is to show what it draws now.
        const HWND bar = form.MainStatusBar->Handle();
        const std::vector<DWORD> shown = ClientOnScreen(bar);
        ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        EXPECT_TRUE(ClientOnScreen(bar) == shown) << "the status bar";
    }
    PumpAll();
    EXPECT_NE(CommonestColour(form.SimpleGrid->Handle()), kWindowColour) << "the colours put back";
}
