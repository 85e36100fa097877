#pragma once
// A status bar's panel drawn again with a new text from what the system drew of it
// (TStatusPanelImage): a themed status bar costs the system milliseconds to draw under Wine, a
// copy of its pixels and one line of text a fraction of that. The text is drawn in the bar's
// font and text colour at the place where that gave the system's own pixels; whatever cannot be
// shown to match is left to the system.
#include "controls/StatusPanelImage.h"
#include "controls/WinHandles.h"

#include <optional>
#include <string>

class TStatusPanelRedraw {
public:
    // Before the panel's text changes from shownText to text: makes the bar's picture with the
    // new text, learning the panel from the screen first when what was learnt is not what the
    // screen shows. True when the bar's next paint can put the picture on the screen (Paint).
    bool Prepare(HWND bar, int panel, const std::wstring& shownText, const std::wstring& text);
    // In the bar's WM_PAINT: puts the prepared picture on the screen when the paint asks for
    // the panel alone; false when the system is to draw.
    bool Paint(HWND bar);
    // The text change is over, drawn or not.
    void Unprepare() { FPrepared.reset(); }
    // The look may have changed (size, parts, font, theme, colours).
    void Forget();
    int DrawnCount() const { return FDrawn; }

private:
    bool LearnFromScreen(HWND bar, const RECT& panel, const std::wstring& shownText);
    TStatusPanelImage::TTextDrawer Drawer(const std::wstring& text);
    int TextWidth(const std::wstring& text) const;
    // The canvas as the bar's size, in the bar's font and text colour.
    bool CanvasFor(HWND bar, int width, int height);
    TBarPicture CanvasPicture() const;

    TStatusPanelImage FImage;
    std::wstring FLearntText; // the text the learnt picture shows
    RECT FPanel{};
    // The text's place in the panel last learnt: tried first when learning again.
    std::optional<POINT> FOffset;
    // The panel was seen with a text that no place gave: nothing is tried until Forget.
    bool FUnlearnable = false;
    std::optional<TBarPicture> FPrepared;
    std::wstring FPreparedText;
    int FPreparedWidth = 0;
    TUniqueFont FStatusFont; // the system's status bar font, for a bar that was given none
    TDibCanvas FCanvas;      // the bar's size, the font selected; goes before the font
    int FDrawn = 0;
};
