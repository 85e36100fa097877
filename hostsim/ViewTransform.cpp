#include "hostsim/ViewTransform.h"

#include <algorithm>
#include <cmath>

namespace hostsim {

void TViewTransform::Set(double centreX, double centreY, double scale)
{
    FCentreX = centreX;
    FCentreY = centreY;
    if (scale > 0 && std::isfinite(scale))
        FScale = scale;
}

void TViewTransform::SetSize(int width, int height)
{
    FWidth = std::max(width, 1);
    FHeight = std::max(height, 1);
}

TFloatPoint TViewTransform::MapToSurface(double x, double y) const
{
    const double k = PixelsPerUnit();
    return {FWidth / 2.0 + (y - FCentreY) * k, FHeight / 2.0 - (x - FCentreX) * k};
}

TFloatPoint TViewTransform::SurfaceToMap(double sx, double sy) const
{
    const double k = PixelsPerUnit();
    return {FCentreX - (sy - FHeight / 2.0) / k, FCentreY + (sx - FWidth / 2.0) / k};
}

void TViewTransform::ShowRect(double x1, double y1, double x2, double y2)
{
    const double dx = std::fabs(x2 - x1);
    const double dy = std::fabs(y2 - y1);
    FCentreX = (x1 + x2) / 2;
    FCentreY = (y1 + y2) / 2;
    if (dx <= 0 && dy <= 0)
        return;
    // 5 % margin on every side; X runs along the height, Y along the width.
    const double k = std::min(dx > 0 ? FHeight * 0.9 / dx : INFINITY, dy > 0 ? FWidth * 0.9 / dy : INFINITY);
    FScale = k * kMetresPerPixel;
}

void TViewTransform::PanPixels(double dx, double dy)
{
    const double k = PixelsPerUnit();
    FCentreY -= dx / k;
    FCentreX += dy / k;
}

void TViewTransform::ZoomAt(double sx, double sy, double factor)
{
    if (!(factor > 0))
        return;
    const TFloatPoint anchor = SurfaceToMap(sx, sy);
    FScale *= factor;
    const TFloatPoint moved = MapToSurface(anchor.X, anchor.Y);
    PanPixels(sx - moved.X, sy - moved.Y);
}

} // namespace hostsim
