#include "controls/ToolButtonRedraw.h"

#include <algorithm>
#include <cstring>

std::optional<TToolButtonRedraw::TButtonKey> TToolButtonRedraw::ButtonNow(HWND bar, int index)
{
    TBBUTTON b{};
    RECT r{};
    if (!::SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)) ||
        (b.fsStyle & BTNS_SEP) || (b.fsState & TBSTATE_HIDDEN) ||
        !::SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) ||
        r.right <= r.left || r.bottom <= r.top)
        return std::nullopt;
    return TButtonKey{index, b.fsState, b.iBitmap, r.left, r.top, r.right, r.bottom};
}

// A hot button (under the pointer) or a pressed one is drawn in a look of its own.
bool TToolButtonRedraw::Plain(HWND bar, const TButtonKey& button)
{
    return !(button.State & TBSTATE_PRESSED) && ::SendMessageW(bar, TB_GETHOTITEM, 0, 0) != button.Index;
}

void TToolButtonRedraw::Learn(HWND bar)
{
    std::vector<TButtonKey> buttons;
    const auto count = static_cast<int>(::SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (const std::optional<TButtonKey> button = ButtonNow(bar, i); button && Plain(bar, *button))
            buttons.push_back(*button);
    // Each paint while the pointer crosses the bar comes here: nothing new, no reading back.
    if (std::all_of(buttons.begin(), buttons.end(), [&](const TButtonKey& k) { return FLooks.contains(k); }))
        return;
    RECT client{};
    ::GetClientRect(bar, &client);
    // Only a bar the screen shows whole and up to date is its own drawing.
    if (!::IsWindowVisible(bar) || (::GetWindowLongW(bar, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) ||
        ::GetUpdateRect(bar, nullptr, FALSE) || !FCanvas.Ensure(client.right, client.bottom))
        return;
    {
        const TWindowDC dc(bar);
        RECT screen = client;
        ::MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&screen), 2);
        if (!dc.get() || !WhollyShown(dc.get(), screen) ||
            !::BitBlt(FCanvas.DC(), 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY))
            return;
    }
    ::GdiFlush();
    for (const TButtonKey& k : buttons) {
        if (k.Left < 0 || k.Top < 0 || k.Right > client.right || k.Bottom > client.bottom)
            continue;
        TButtonLook look{k.Right - k.Left, k.Bottom - k.Top, {}};
        look.Pixels.reserve(static_cast<std::size_t>(look.Width) * look.Height);
        for (int y = k.Top; y < k.Bottom; ++y) {
            const std::uint32_t* row = FCanvas.Bits() + static_cast<std::size_t>(y) * client.right + k.Left;
            look.Pixels.insert(look.Pixels.end(), row, row + look.Width);
        }
        FLooks.insert_or_assign(k, std::move(look));
    }
}

bool TToolButtonRedraw::Paint(HWND bar)
{
    TUniqueRegion rest(::CreateRectRgn(0, 0, 0, 0));
    RECT update{}, client{};
    if (FLooks.empty() || ::GetUpdateRgn(bar, rest.get(), FALSE) <= NULLREGION ||
        ::GetRgnBox(rest.get(), &update) == NULLREGION)
        return false;
    // Each button the paint reaches as it is now, in a look seen, and nothing else to paint.
    std::vector<std::pair<TButtonKey, const TButtonLook*>> drawn;
    for (const auto& [seen, look] : FLooks) {
        const RECT r{seen.Left, seen.Top, seen.Right, seen.Bottom};
        RECT hit{};
        if (!::IntersectRect(&hit, &r, &update) ||
            std::any_of(drawn.begin(), drawn.end(), [&](const auto& d) { return d.first.Index == seen.Index; }))
            continue;
        const std::optional<TButtonKey> now = ButtonNow(bar, seen.Index);
        const auto known = now ? FLooks.find(*now) : FLooks.end();
        if (known == FLooks.end() || !Plain(bar, *now))
            return false;
        drawn.emplace_back(*now, &known->second);
        const RECT at{now->Left, now->Top, now->Right, now->Bottom};
        const TUniqueRegion button(::CreateRectRgnIndirect(&at));
        ::CombineRgn(rest.get(), rest.get(), button.get(), RGN_DIFF);
    }
    RECT left{};
    ::GetClientRect(bar, &client);
    if (drawn.empty() || ::GetRgnBox(rest.get(), &left) != NULLREGION || !FCanvas.Ensure(client.right, client.bottom))
        return false;
    ::GdiFlush();
    for (const auto& [k, look] : drawn) {
        if (k.Right > client.right || k.Bottom > client.bottom)
            return false;
        for (int y = 0; y < look->Height; ++y)
            std::memcpy(FCanvas.Bits() + static_cast<std::size_t>(k.Top + y) * client.right + k.Left,
                        look->Pixels.data() + static_cast<std::size_t>(y) * look->Width,
                        static_cast<std::size_t>(look->Width) * sizeof(std::uint32_t));
    }
    FPainting = true;
    {
        const TPaintDC dc(bar);
        for (const auto& [k, look] : drawn)
            ::BitBlt(dc.get(), k.Left, k.Top, look->Width, look->Height, FCanvas.DC(), k.Left, k.Top, SRCCOPY);
    }
    FPainting = false;
    ++FDrawn;
    return true;
}
