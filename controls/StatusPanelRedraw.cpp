#include "controls/StatusPanelRedraw.h"

#include <cstring>

namespace {

std::size_t PixelCount(const TBarPicture& picture)
{
    return static_cast<std::size_t>(picture.Width) * picture.Height;
}

} // namespace

bool TStatusPanelRedraw::CanvasFor(HWND bar, int width, int height)
{
    if (!FCanvas.Ensure(width, height))
        return false;
    auto font = reinterpret_cast<HFONT>(::SendMessageW(bar, WM_GETFONT, 0, 0));
    if (!font) {
        if (!FStatusFont) {
            NONCLIENTMETRICSW metrics{};
            metrics.cbSize = sizeof metrics;
            if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
                FStatusFont.reset(::CreateFontIndirectW(&metrics.lfStatusFont));
        }
        font = FStatusFont.get();
    }
    if (!font)
        return false;
    ::SelectObject(FCanvas.DC(), font);
    ::SetTextColor(FCanvas.DC(), ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkMode(FCanvas.DC(), TRANSPARENT);
    return true;
}

TBarPicture TStatusPanelRedraw::CanvasPicture() const
{
    ::GdiFlush();
    TBarPicture picture{FCanvas.Width(), FCanvas.Height(), {}};
    picture.Pixels.assign(FCanvas.Bits(), FCanvas.Bits() + PixelCount(picture));
    return picture;
}

int TStatusPanelRedraw::TextWidth(const std::wstring& text) const
{
    SIZE size{};
    ::GetTextExtentPoint32W(FCanvas.DC(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Draws as the bar draws its text: one line from the place, in its font and colour, nothing
// behind the glyphs.
TStatusPanelImage::TTextDrawer TStatusPanelRedraw::Drawer(const std::wstring& text)
{
    return [this, text](TBarPicture& picture, TStatusPanelImage::TPlace at) {
        ::GdiFlush();
        std::memcpy(FCanvas.Bits(), picture.Pixels.data(), PixelCount(picture) * sizeof(std::uint32_t));
        ::ExtTextOutW(FCanvas.DC(), at.X, at.Y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
        ::GdiFlush();
        std::memcpy(picture.Pixels.data(), FCanvas.Bits(), PixelCount(picture) * sizeof(std::uint32_t));
    };
}

bool TStatusPanelRedraw::LearnFromScreen(HWND bar, const RECT& panel, const std::wstring& shownText)
{
    RECT client{};
    ::GetClientRect(bar, &client);
    // Only a bar the screen shows whole and up to date is its own drawing.
    if (!::IsWindowVisible(bar) || ::GetUpdateRect(bar, nullptr, FALSE) ||
        (::GetWindowLongW(bar, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) || !CanvasFor(bar, client.right, client.bottom))
        return false;
    {
        const TWindowDC dc(bar);
        RECT screen = client;
        ::MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&screen), 2);
        if (!dc.get() || !WhollyShown(dc.get(), screen) ||
            !::BitBlt(FCanvas.DC(), 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY))
            return false;
    }
    const TBarPicture shown = CanvasPicture();
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(FCanvas.DC(), &metrics);
    // One line centred in the panel, a few pixels in from its left: the places a bar draws it.
    const int centred = panel.top + (panel.bottom - panel.top - metrics.tmHeight) / 2;
    std::vector<TStatusPanelImage::TPlace> places;
    if (FOffset)
        places.push_back({panel.left + FOffset->x, panel.top + FOffset->y});
    for (int x = panel.left; x <= panel.left + 8; ++x)
        for (const int dy : {0, -1, 1, -2, 2})
            places.push_back({x, centred + dy});
    if (!FImage.Learn(shown, panel.left, panel.right, TextWidth(shownText), places, Drawer(shownText))) {
        FUnlearnable = true;
        return false;
    }
    FOffset = POINT{FImage.Place().X - panel.left, FImage.Place().Y - panel.top};
    FLearntText = shownText;
    return true;
}

bool TStatusPanelRedraw::Prepare(HWND bar, int panel, const std::wstring& shownText, const std::wstring& text)
{
    FPrepared.reset();
    RECT r{};
    // Tabs align a bar's text in ways of its own.
    if (!::SendMessageW(bar, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&r)) ||
        shownText.find(L'\t') != std::wstring::npos || text.find(L'\t') != std::wstring::npos)
        return false;
    if (!::EqualRect(&r, &FPanel)) {
        Forget();
        FPanel = r;
    }
    if (!FImage.Learnt() || FLearntText != shownText) {
        if (FUnlearnable || shownText.empty() || !LearnFromScreen(bar, r, shownText))
            return false;
    }
    RECT client{};
    ::GetClientRect(bar, &client);
    if (!CanvasFor(bar, client.right, client.bottom))
        return false;
    const int width = TextWidth(text);
    FPrepared = FImage.Compose(width, Drawer(text));
    FPreparedText = text;
    FPreparedWidth = width;
    return FPrepared.has_value();
}

bool TStatusPanelRedraw::Paint(HWND bar)
{
    if (!FPrepared)
        return false;
    RECT update{}, inPanel{};
    if (!::GetUpdateRect(bar, &update, FALSE) || !::IntersectRect(&inPanel, &update, &FPanel) ||
        !::EqualRect(&inPanel, &update) || !FCanvas.Ensure(FPrepared->Width, FPrepared->Height))
        return false;
    ::GdiFlush();
    std::memcpy(FCanvas.Bits(), FPrepared->Pixels.data(), PixelCount(*FPrepared) * sizeof(std::uint32_t));
    {
        const TPaintDC dc(bar);
        const RECT& r = dc.Paint().rcPaint;
        ::BitBlt(dc.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, FCanvas.DC(), r.left, r.top, SRCCOPY);
    }
    FImage.Shown(std::move(*FPrepared), FPreparedWidth);
    FLearntText = FPreparedText;
    FPrepared.reset();
    ++FDrawn;
    return true;
}

void TStatusPanelRedraw::Forget()
{
    FImage.Forget();
    FLearntText.clear();
    FPanel = {};
    FUnlearnable = false;
    FPrepared.reset();
    // A font of the system's may have changed: made again when needed.
    if (FCanvas.DC())
        ::SelectObject(FCanvas.DC(), ::GetStockObject(SYSTEM_FONT));
    FStatusFont.reset();
}
