// The map view's transform between map coordinates and window pixels, and the view changes
// (pan, zoom, centre, fit a rectangle). Geodetic convention: map X points north (up on the
// screen), map Y east (right); pixels count x to the right and y down.
//
// Scale is screen metres per map unit (a 1:500 view has Scale 0.002), with 96 pixels per inch,
// so 0.001 / Scale is the map length of one millimetre on the screen.
#pragma once

#include "CoreLib/Geomet.h"

namespace hostsim {

inline constexpr double kMetresPerPixel = 0.0254 / 96;

class TViewTransform {
public:
    // Centre (map X, Y), scale and the window's size in pixels.
    void Set(double centreX, double centreY, double scale);
    void SetSize(int width, int height);

    double CentreX() const { return FCentreX; }
    double CentreY() const { return FCentreY; }
    double Scale() const { return FScale; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    double PixelsPerUnit() const { return FScale / kMetresPerPixel; }

    TFloatPoint MapToSurface(double x, double y) const;
    TFloatPoint SurfaceToMap(double sx, double sy) const;

    // Shows the rectangle (any two corners) whole, with a margin; a degenerate rectangle keeps
    // the scale and centres on it.
    void ShowRect(double x1, double y1, double x2, double y2);
    // Moves the map by a pixel offset (as a drag of the map does).
    void PanPixels(double dx, double dy);
    // Zooms by factor (> 1 enlarges) keeping the map point under the pixel in place.
    void ZoomAt(double sx, double sy, double factor);

private:
    double FCentreX = 0;
    double FCentreY = 0;
    double FScale = 0.001;
    int FWidth = 800;
    int FHeight = 600;
};

} // namespace hostsim
