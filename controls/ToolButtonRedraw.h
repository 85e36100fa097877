#pragma once
// A tool bar's buttons drawn again from what the system drew of them: a button whose enabled
// or checked state changes shows a look the system has already drawn for it, at the same place
// with the same image, and a themed tool bar costs the system a millisecond a paint under Wine.
// Looks are read back from the screen after the system's own paints, while the bar is whole on
// the screen, of the buttons that are neither hot nor pressed; a paint that needs any button in
// a look not seen is left to the system.
#include "controls/WinHandles.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class TToolButtonRedraw {
public:
    // After the system painted the bar: takes the looks of its buttons as the screen shows them.
    void Learn(HWND bar);
    // In the bar's WM_PAINT: draws the buttons the paint is for from their looks; false when
    // the system is to paint.
    bool Paint(HWND bar);
    // True while Paint draws: the bar's erasing of its background is not wanted then.
    bool Painting() const { return FPainting; }
    // The look may have changed (theme, colours, images, sizes).
    void Forget() { FLooks.clear(); }
    int DrawnCount() const { return FDrawn; }

private:
    struct TButtonKey {
        int Index;
        int State;
        int Image;
        int Left, Top, Right, Bottom;
        friend auto operator<=>(const TButtonKey&, const TButtonKey&) = default;
    };
    struct TButtonLook {
        int Width = 0, Height = 0;
        std::vector<std::uint32_t> Pixels;
    };
    // The button at index as it stands; nothing for a separator or a hidden button.
    static std::optional<TButtonKey> ButtonNow(HWND bar, int index);
    static bool Plain(HWND bar, const TButtonKey& button);

    std::map<TButtonKey, TButtonLook> FLooks;
    TDibCanvas FCanvas;
    bool FPainting = false;
    int FDrawn = 0;
};
