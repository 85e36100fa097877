#include "controls/ScrollBarRedraw.h"

#include <optional>

namespace {

struct TShownBar {
    TScrollBarLayout Layout;
    RECT OnScreen{};
    RECT InWindow{}; // in the coordinates of the window's own DC, frame included
    bool Vertical = true;
    int Width() const { return OnScreen.right - OnScreen.left; }
    int Height() const { return OnScreen.bottom - OnScreen.top; }
};

// The bar when it shows in its plain look: visible and enabled, no part pressed, hot or
// disabled, and the pointer not over it (a bar under the pointer is drawn hot).
std::optional<TShownBar> PlainBar(HWND window, int bar)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!::GetScrollBarInfo(window, bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL, &info))
        return std::nullopt;
    if (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_UNAVAILABLE))
        return std::nullopt;
    for (int part = 1; part <= 5; ++part)
        if (info.rgstate[part] & (STATE_SYSTEM_PRESSED | STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_UNAVAILABLE))
            return std::nullopt;
    if (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)
        return std::nullopt;
    POINT cursor{};
    if (::GetCursorPos(&cursor) && ::PtInRect(&info.rcScrollBar, cursor))
        return std::nullopt;
    TShownBar shown;
    shown.Vertical = bar == SB_VERT;
    shown.OnScreen = info.rcScrollBar;
    RECT frame{};
    ::GetWindowRect(window, &frame);
    shown.InWindow = info.rcScrollBar;
    ::OffsetRect(&shown.InWindow, -frame.left, -frame.top);
    shown.Layout.Length = shown.Vertical ? shown.Height() : shown.Width();
    shown.Layout.Thickness = shown.Vertical ? shown.Width() : shown.Height();
    // The arrows' length is nowhere in the bar's information (dxyLineButton is the thumb's). A
    // metric that is off cannot mislead: arrow lines taken for track are not the same along it,
    // and track taken for arrow leaves a thumb that reaches it to the system.
    shown.Layout.Arrow = ::GetSystemMetrics(shown.Vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
    shown.Layout.ThumbStart = info.xyThumbTop;
    shown.Layout.ThumbEnd = info.xyThumbBottom;
    if (!shown.Layout.Valid())
        return std::nullopt;
    return shown;
}

// Between the bar's picture (rows of the bitmap) and its pixels along its length: the same order
// for a vertical bar, column after column for a horizontal one.
void CopyBar(const TShownBar& shown, std::uint32_t* bitmap, std::uint32_t* alongLength, bool fromBitmap)
{
    const int length = shown.Layout.Length, thickness = shown.Layout.Thickness;
    for (int p = 0; p < length; ++p)
        for (int t = 0; t < thickness; ++t) {
            std::uint32_t& inBitmap = bitmap[shown.Vertical ? static_cast<std::size_t>(p) * thickness + t
                                                            : static_cast<std::size_t>(t) * length + p];
            std::uint32_t& along = alongLength[static_cast<std::size_t>(p) * thickness + t];
            if (fromBitmap)
                along = inBitmap;
            else
                inBitmap = along;
        }
}

} // namespace

void TScrollBarRedraw::Learn(HWND window, int bar, HRGN drawn)
{
    TBar& b = Of(bar);
    const auto shown = PlainBar(window, bar);
    if (!shown)
        return;
    const TWindowDC dc(window, true);
    if (!dc.get() || !WhollyShown(dc.get(), shown->OnScreen, drawn) ||
        !b.Canvas.Ensure(shown->Width(), shown->Height()))
        return;
    if (!::BitBlt(b.Canvas.DC(), 0, 0, b.Canvas.Width(), b.Canvas.Height(), dc.get(), shown->InWindow.left,
                  shown->InWindow.top, SRCCOPY))
        return;
    ::GdiFlush();
    TScrollBarPixels pixels(static_cast<std::size_t>(shown->Layout.Length) * shown->Layout.Thickness);
    CopyBar(*shown, b.Canvas.Bits(), pixels.data(), true);
    b.Image.Learn(shown->Layout, pixels);
}

bool TScrollBarRedraw::Draw(HWND window, int bar)
{
    TBar& b = Of(bar);
    const auto shown = PlainBar(window, bar);
    if (!shown)
        return false;
    auto pixels = b.Image.Compose(shown->Layout);
    if (!pixels || !b.Canvas.Ensure(shown->Width(), shown->Height()))
        return false;
    ::GdiFlush();
    CopyBar(*shown, b.Canvas.Bits(), pixels->data(), false);
    const TWindowDC dc(window, true);
    if (!dc.get() || !::BitBlt(dc.get(), shown->InWindow.left, shown->InWindow.top, b.Canvas.Width(),
                               b.Canvas.Height(), b.Canvas.DC(), 0, 0, SRCCOPY))
        return false;
    ++FDrawn;
    return true;
}

void TScrollBarRedraw::Forget()
{
    FVertical.Image.Forget();
    FHorizontal.Image.Forget();
}
