#pragma once
// A window's own scroll bars drawn again from what the system drew of them (TScrollBarImage),
// for a scroll that moves only a thumb: the system's drawing of a themed bar costs milliseconds
// under Wine, a copy of its pixels a few microseconds.
#include "controls/ScrollBarImage.h"
#include "controls/WinHandles.h"

class TScrollBarRedraw {
public:
    // After the system drew the bar (SB_VERT or SB_HORZ), in its plain look: learns it. Drawn is
    // the region a WM_NCPAINT drew (screen coordinates), nullptr when the whole bar was drawn.
    void Learn(HWND window, int bar, HRGN drawn = nullptr);
    // Draws the bar as its scroll information stands now; false when what was learnt does not
    // make it, and the system has to draw it.
    bool Draw(HWND window, int bar);
    // The look may have changed (theme, colours, DPI).
    void Forget();
    int DrawnCount() const { return FDrawn; }

private:
    struct TBar {
        TScrollBarImage Image;
        TDibCanvas Canvas; // the bar's picture
    };
    TBar& Of(int bar) { return bar == SB_VERT ? FVertical : FHorizontal; }
    TBar FVertical, FHorizontal;
    int FDrawn = 0;
};
