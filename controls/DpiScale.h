// Sizes for the screen's resolution. The module runs in the Host's process and scales as a
// system-DPI-aware program does: a size designed at 96 DPI is multiplied by dpi / 96 once, when
// the window is built. Sizes kept outside the window (the settings) stay in 96-DPI units and are
// converted on the way in and out, so that they mean the same on every screen.
// Platform-free: the DPI is a parameter; the Win32 side asks the screen for it (ScreenDpi).
#pragma once

#include <cstdint>

inline constexpr int kDesignDpi = 96;

// value × numerator / denominator, rounded to the nearest integer with halves away from zero
// (as the system's MulDiv); a zero denominator gives -1, as MulDiv does.
std::int32_t MulDivRound(std::int32_t value, std::int32_t numerator, std::int32_t denominator);

class TDpiScale {
public:
    explicit TDpiScale(int dpi = kDesignDpi) : FDpi(dpi > 0 ? dpi : kDesignDpi) {}
    int Dpi() const { return FDpi; }
    // A size in 96-DPI units on this screen.
    std::int32_t Scale(std::int32_t at96) const { return MulDivRound(at96, FDpi, kDesignDpi); }
    // A size on this screen in 96-DPI units.
    std::int32_t Unscale(std::int32_t pixels) const { return MulDivRound(pixels, kDesignDpi, FDpi); }

private:
    int FDpi;
};

// The tool bar pictures come in 16, 24 and 32 pixels: the one nearest to 16 × dpi / 96, the
// smaller on a tie (125 % keeps 16, 175 % keeps 24).
int ToolBarPictureSize(int dpi);

// Where cell `cell` (0..cells) of a picture drawn as cells × cells characters starts when the
// picture is drawn at `pixels` pixels: whole pixels only, every cell 1 or more pixels wide, and
// mirror-symmetric (cell i ends where cell cells-1-i starts, counted from the other side), so
// that an outline keeps the same width on both sides and a mirrored picture stays mirrored.
int PictureCellStart(int cell, int cells, int pixels);

// A grid row holds one line of text of the given height with room above and below: 20 pixels
// for the 96-DPI dialog font, growing with the font.
int GridRowHeight(int textHeight);
// The header row holds `lines` lines of wrapped captions with a data row's room around them.
int GridHeaderHeight(int textHeight, int lines);
