#include "hostsim/Overlay.h"

#include <algorithm>

namespace hostsim {

void TOverlay::Resize(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (FDC && FOldBitmap)
        ::SelectObject(FDC.get(), FOldBitmap);
    FBitmap.reset();
    FDC.reset();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap.reset(CheckWin32Handle(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0),
                                   "CreateDIBSection"));
    FDC.reset(CheckWin32Handle(::CreateCompatibleDC(nullptr), "CreateCompatibleDC"));
    FOldBitmap = ::SelectObject(FDC.get(), FBitmap.get());
    FBits = static_cast<unsigned*>(bits);
    std::fill(FBits, FBits + static_cast<std::size_t>(width) * height, 0u);
    FWidth = width;
    FHeight = height;
}

void TOverlay::DrawXor(const std::vector<std::vector<POINT>>& lines, COLORREF color, int width)
{
    if (!FDC)
        return;
    TUniquePen pen(CheckWin32Handle(::CreatePen(PS_SOLID, std::max(width, 1), color), "CreatePen"));
    const TSelectObject selectPen(FDC.get(), pen.get());
    const TSelectObject selectBrush(FDC.get(), ::GetStockObject(NULL_BRUSH));
    const int oldRop = ::SetROP2(FDC.get(), R2_XORPEN);
    for (const auto& line : lines) {
        if (line.size() == 1) {
            // A single point: one pixel, so that drawing it twice still cancels.
            const POINT p = line[0];
            if (p.x >= 0 && p.y >= 0 && p.x < FWidth && p.y < FHeight)
                FBits[static_cast<std::size_t>(p.y) * FWidth + p.x] ^= (GetRValue(color) << 16) |
                                                                        (GetGValue(color) << 8) | GetBValue(color);
        } else if (line.size() > 1) {
            ::Polyline(FDC.get(), line.data(), static_cast<int>(line.size()));
        }
    }
    ::SetROP2(FDC.get(), oldRop);
    ::GdiFlush();
}

long TOverlay::CountSetPixels() const
{
    if (!FBits)
        return 0;
    ::GdiFlush();
    long count = 0;
    for (std::size_t i = 0, n = static_cast<std::size_t>(FWidth) * FHeight; i < n; ++i)
        if ((FBits[i] & 0xFFFFFF) != 0)
            ++count;
    return count;
}

std::vector<unsigned> TOverlay::Pixels() const
{
    if (!FBits)
        return {};
    ::GdiFlush();
    std::vector<unsigned> pixels(FBits, FBits + static_cast<std::size_t>(FWidth) * FHeight);
    for (unsigned& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

void TOverlay::CombineInto(HDC target) const
{
    if (FDC)
        ::BitBlt(target, 0, 0, FWidth, FHeight, FDC.get(), 0, 0, SRCINVERT);
}

} // namespace hostsim
