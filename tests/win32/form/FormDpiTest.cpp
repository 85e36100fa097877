// The editor window on screens of 96, 120, 144 and 192 DPI. The program runs once per DPI, in a
// Wine prefix of its own whose LogPixels is set before it starts (RunAtDpis.sh); the DPI it is
// meant to see comes in POLYPAD_TEST_DPI. What is checked is what the user sees: every column
// caption fits its header cell, rows hold the font, the precision list shows its longest item,
// the tool bar is whole on one row with pictures of the screen's size, the vertex marker grows
// with the screen, and widths and bounds written at one DPI open the same at another. A
// screenshot of the window is saved as form-dpi-<dpi>.png, and one with the last columns in view
// as form-dpi-<dpi>-right.png.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "controls/DpiScale.h"

#include <cstdlib>
#include <string>

namespace {

// The DPI the run is meant to see; 0 when the runner did not say (the tests then fail).
int ExpectedDpi()
{
    const char* text = std::getenv("POLYPAD_TEST_DPI");
    return text ? std::atoi(text) : 0;
}

// What the window measures on each screen, written out per DPI: a size given at 96 DPI times
// DPI / 96, halves rounded up.
struct TDpiSizes {
    int Dpi;
    int Column100;     // the default column width
    int RowAtLeast;    // 20 less 2
    int Column45;      // a width the user drags
    int Picture;       // the tool bar's pictures: 16, 24 or 32, whichever is nearest 16 * DPI / 96
    int Column120;     // a stored width of 120
    int Left40, Top30, Width560, Height400;
    int Column150;     // a width of 150, dragged
    double MarkerMm;   // the vertex marker, 2 mm at 96 DPI
};
const TDpiSizes kSizes[] = {
    {96, 100, 18, 45, 16, 120, 40, 30, 560, 400, 150, 2.0},
    {120, 125, 23, 56, 16, 150, 50, 38, 700, 500, 188, 2.5},
    {144, 150, 28, 68, 24, 180, 60, 45, 840, 600, 225, 3.0},
    {192, 200, 38, 90, 32, 240, 80, 60, 1120, 800, 300, 4.0},
};

const TDpiSizes& Sizes()
{
    for (const TDpiSizes& sizes : kSizes)
        if (sizes.Dpi == ExpectedDpi())
            return sizes;
    static const TDpiSizes none{};
    return none;
}

SIZE TextSize(HWND window, HFONT font, const std::string& text, int wrapWidth = 0)
{
    TWindowDC dc(window);
    TSelectObject select(dc.get(), font);
    const std::wstring wide = Widen(text);
    RECT r{0, 0, wrapWidth, 0};
    ::DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &r,
                DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK | DT_CENTER : DT_SINGLELINE));
    return {r.right - r.left, r.bottom - r.top};
}

int FontHeight(HWND window, HFONT font)
{
    TWindowDC dc(window);
    TSelectObject select(dc.get(), font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight;
}

class FormDpi : public FormInput {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("POLYPAD_TEST_DPI"), nullptr) << "run by RunAtDpis.sh, which sets POLYPAD_TEST_DPI";
        ASSERT_NE(Sizes().Dpi, 0) << "no sizes written out for " << ExpectedDpi() << " DPI";
        FormInput::SetUp();
        for (int i = 0; i < kTableColumnCount; ++i)
            WriteSetting("Kestrom.PolypadShowing" + std::to_string(i), "1");
    }
    void Screenshot(HWND window, const std::wstring& name)
    {
        const std::wstring file = std::wstring(FORM_SCREENSHOT_DIR) + L"/" + name;
        EXPECT_EQ(hostsim::SaveWindowImage(window, file.c_str()), S_OK);
    }
};

TEST_F(FormDpi, TheProcessSeesTheScreensDpi)
{
    EXPECT_EQ(ScreenDpi(), ExpectedDpi()) << "LogPixels of the prefix did not reach the program";
    TPolypadForm& form = Open();
    EXPECT_EQ(form.Screen().Dpi(), ExpectedDpi());
}

TEST_F(FormDpi, EveryCaptionFitsItsHeaderAndRowsHoldTheFont)
{
    TPolypadForm& form = OpenParcel();
    TSimpleGrid& grid = *form.SimpleGrid;
    ASSERT_EQ(grid.Columns().Count(), kTableColumnCount);
    const int textHeight = FontHeight(grid.Handle(), grid.Font());
    EXPECT_GE(grid.DefaultRowHeight(), textHeight + 4) << "a row holds a line of the font";
    EXPECT_GE(grid.DefaultRowHeight(), Sizes().RowAtLeast) << "rows grow with the screen";
    for (int i = 0; i < grid.Columns().Count(); ++i) {
        const std::string caption = grid.Columns().Items(i).Caption();
        EXPECT_EQ(grid.Columns().Items(i).Width(), Sizes().Column100) << caption;
        grid.MoveToDataCell(i, 0); // scrolled into view
        PumpAll();
        const RECT r = grid.ColumnHeaderTextRect(i);
        ASSERT_LT(r.left, r.right) << caption << " is out of view";
        const SIZE text = TextSize(grid.Handle(), grid.Font(), caption, r.right - r.left);
        EXPECT_LE(text.cx, r.right - r.left) << "\"" << caption << "\" is cut at the sides";
        EXPECT_LE(text.cy, r.bottom - r.top) << "\"" << caption << "\" is cut at the bottom";
    }
    // A column made narrow by the user wraps its caption onto one more line, which the header
    // still shows whole.
    grid.MoveToDataCell(0, 0);
    PumpAll();
    const RECT number = grid.CellRect(grid.DataToGrid(0, 0).Col, 0);
    const int y = number.top + 3;
    const int narrow = Sizes().Column45;
    ::PostMessageW(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(number.right - 1, y));
    ::PostMessageW(grid.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(number.left + narrow, y));
    ::PostMessageW(grid.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(number.left + narrow, y));
    Pump(5000, [&] { return grid.Columns().Items(0).Width() == narrow; });
    EXPECT_EQ(grid.Columns().Items(0).Width(), narrow);
    const RECT r = grid.ColumnHeaderTextRect(0);
    const SIZE wrapped = TextSize(grid.Handle(), grid.Font(), "Номер точки", r.right - r.left);
    EXPECT_GE(wrapped.cy, 2 * textHeight) << "\"Номер точки\" on two lines";
    EXPECT_LE(wrapped.cx, r.right - r.left);
    EXPECT_LE(wrapped.cy, r.bottom - r.top);
}

TEST_F(FormDpi, ThePrecisionListShowsItsLongestItemWhole)
{
    TPolypadForm& form = Open();
    TComboBox& list = *form.DigitsComboBox;
    const RECT item = list.ItemRect();
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(list.Handle(), WM_GETFONT, 0, 0));
    for (int i = 0; i < list.ItemCount(); ++i)
        EXPECT_LT(TextSize(list.Handle(), font, list.ItemText(i)).cx, item.right - item.left)
            << "\"" << list.ItemText(i) << "\"";
    // It sits on its place in the tool bar, not over the next button.
    RECT combo{}, next{};
    ::GetWindowRect(list.Handle(), &combo);
    ::MapWindowPoints(nullptr, form.ToolBar->Handle(), reinterpret_cast<POINT*>(&combo), 2);
    const int slot = [&] {
        for (int i = 0; i < form.ToolBar->ButtonCount(); ++i) {
            const RECT r = form.ToolBar->ButtonRect(i);
            if (r.left == combo.left)
                return i;
        }
        return -1;
    }();
    ASSERT_GE(slot, 0) << "the list is not on a tool bar slot";
    next = form.ToolBar->ButtonRect(slot + 1);
    EXPECT_LE(combo.right, next.left);
}

TEST_F(FormDpi, TheToolBarIsWholeOnOneRowWithPicturesOfTheScreensSize)
{
    TPolypadForm& form = OpenParcel();
    TToolBar& bar = *form.ToolBar;
    const int size = Sizes().Picture;
    int cx = 0, cy = 0;
    const auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(bar.Handle(), TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(::ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(cx, size);
    EXPECT_EQ(cy, size);
    const RECT client = bar.ClientRect();
    const RECT first = bar.ButtonRect(0);
    EXPECT_GE(first.bottom - first.top, size) << "the buttons hold their pictures";
    for (int i = 0; i < bar.ButtonCount(); ++i) {
        const RECT r = bar.ButtonRect(i);
        EXPECT_EQ(r.top, first.top) << "button " << i << " wrapped onto another row";
        EXPECT_LE(r.right, client.right) << "button " << i << " is cut";
    }
    Pump(300);
    const int dpi = ExpectedDpi();
    Screenshot(form.Handle(), L"form-dpi-" + std::to_wstring(dpi) + L".png");
    // And with the last columns in view, where the longer captions wrap.
    form.SimpleGrid->MoveToDataCell(form.SimpleGrid->Columns().Count() - 1, 0);
    Pump(300);
    Screenshot(form.Handle(), L"form-dpi-" + std::to_wstring(dpi) + L"-right.png");
}

// The marker of the current vertex is 2 mm at 96 DPI and as many pixels more as the screen has.
TEST_F(FormDpi, TheVertexMarkerGrowsWithTheScreen)
{
    TPolypadForm& form = OpenParcel();
    ClickCell(ckX, 1);
    TComPtr<IHostContourPart> part;
    ASSERT_EQ(form.FVertexHint->Contour->Part(0, part.put()), S_OK);
    double x0 = 0, y0 = 0, x2 = 0, y2 = 0, c = 0;
    ASSERT_EQ(part->GetVertex(0, &x0, &y0, &c), S_OK);
    ASSERT_EQ(part->GetVertex(2, &x2, &y2, &c), S_OK);
    const TComPtr<IHostSurface> surface = MapSurface(FHost.get());
    TComPtr<IHostSurfaceTransform> transform;
    ASSERT_EQ(surface->get_Transform(transform.put()), S_OK);
    double scale = 0;
    ASSERT_EQ(transform->get_Scale(&scale), S_OK);
    const double millimetres = (y2 - y0) * scale * 1000;
    EXPECT_NEAR(millimetres, Sizes().MarkerMm, 1e-9);
    EXPECT_NEAR(x2 - x0, y2 - y0, 1e-9);
}

// Written at this DPI, the widths and bounds are stored in 96-DPI units; settings stored before
// (96-DPI units) open scaled, and come back unchanged when the window is closed again.
TEST_F(FormDpi, WidthsAndBoundsAreStoredIn96DpiUnitsAndComeBackUnchanged)
{
    const TDpiSizes& sizes = Sizes();
    WriteSetting("Kestrom.PolypadWidth1", "120");
    WriteSetting("Kestrom.PolypadLTWH", "40 30 560 400");
    TPolypadForm& form = Open();
    EXPECT_EQ(form.SimpleGrid->Columns().Items(1).Width(), sizes.Column120);
    RECT bounds{};
    ::GetWindowRect(form.Handle(), &bounds);
    EXPECT_EQ(bounds.left, sizes.Left40);
    EXPECT_EQ(bounds.top, sizes.Top30);
    EXPECT_EQ(bounds.right - bounds.left, sizes.Width560);
    EXPECT_EQ(bounds.bottom - bounds.top, sizes.Height400);
    CloseByUser();
    EXPECT_EQ(Setting(L"Kestrom.PolypadWidth1"), L"120");
    EXPECT_EQ(Setting(L"Kestrom.PolypadWidth2"), L"100");
    EXPECT_EQ(Setting(L"Kestrom.PolypadLTWH"), L"40 30 560 400");

    // A width the user drags is written in 96-DPI units and reopens within a pixel.
    TPolypadForm& again = OpenParcel();
    TSimpleGrid& grid = *again.SimpleGrid;
    const RECT x = grid.CellRect(grid.DataToGrid(1, 0).Col, 0);
    // A pixel past 150 at 96 DPI: 151 in 96-DPI units at every DPI here.
    const int y = x.top + 3, wanted = sizes.Column150 + 1;
    ::PostMessageW(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x.right - 1, y));
    ::PostMessageW(grid.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x.left + wanted, y));
    ::PostMessageW(grid.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x.left + wanted, y));
    Pump(5000, [&] { return grid.Columns().Items(1).Width() == wanted; });
    ASSERT_EQ(grid.Columns().Items(1).Width(), wanted);
    // Hidden and shown again, the column keeps the width the user gave it.
    again.CoordinatesColumnAction->Execute();
    again.CoordinatesColumnAction->Execute();
    EXPECT_EQ(grid.Columns().Items(1).Width(), wanted);
    CloseByUser();
    EXPECT_EQ(Setting(L"Kestrom.PolypadWidth1"), L"151");
    TPolypadForm& third = Open();
    EXPECT_NEAR(third.SimpleGrid->Columns().Items(1).Width(), wanted, 1);
}

} // namespace
