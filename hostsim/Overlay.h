// The overlay of the map view: a 32-bit bitmap, black (all zero) where nothing is drawn, into
// which the surface draws exclusive-or contours. The map window combines it with the map image
// by exclusive-or, so an item drawn twice is gone and repainting the window keeps the overlay.
#pragma once

#include "controls/WinHandles.h"

#include <vector>

namespace hostsim {

class TOverlay {
public:
    TOverlay() = default;
    TOverlay(const TOverlay&) = delete;
    TOverlay& operator=(const TOverlay&) = delete;

    // A new, empty overlay of that size (the old contents are dropped).
    void Resize(int width, int height);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    HDC DC() const { return FDC.get(); }

    // Polylines in pixels, drawn with an exclusive-or pen of that colour and width.
    void DrawXor(const std::vector<std::vector<POINT>>& lines, COLORREF color, int width);
    // Pixels not zero.
    long CountSetPixels() const;
    // Every pixel, row by row, colour bits only.
    std::vector<unsigned> Pixels() const;
    // Combines the overlay onto a DC of the same size by exclusive-or.
    void CombineInto(HDC target) const;

private:
    int FWidth = 0;
    int FHeight = 0;
    TUniqueMemoryDC FDC;
    TUniqueBitmap FBitmap;
    HGDIOBJ FOldBitmap = nullptr;
    unsigned* FBits = nullptr;
};

} // namespace hostsim
