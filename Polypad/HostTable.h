// The table's operations that go through the Host: the view orientation (TTableHost on the
// Host's map-window surface transform) and the conversion of a part-list contour into a new
// Host contour. Every Host call is checked; a failure raises EComError with the Host's message.
#pragma once

#include "CoreLib/ContourParts.h"
#include "Polypad/ComUtils.h"
#include "Polypad/Coordinates.h"

#include "HostTypes.h"

#include <memory>

// TTableHost over FHost.MainWindow.MapWindow.Surface.Transform. Keeps its own reference to the
// Host application, released when the table frees it.
class THostTableHost : public TTableHost {
public:
    explicit THostTableHost(IHostApplication* host);
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override;

private:
    TComPtr<IHostApplication> FHost;
};

std::unique_ptr<TTable> CreateHostTable(IHostApplication* host);

// True when the map view is mirrored: the cross product of the surface images of the map axes
// (relative to the image of the map origin) is <= 0.
bool ViewIsMirrored(IHostApplication* host);

// A new Host contour (CreateGeometry(0, "")) holding the parts and vertices of contour in order.
TComPtr<IHostContour> ContourToHostShape(IHostApplication* host, const ContourParts::TContour& contour);
// Appends the parts and vertices of contour to target, in order.
void AppendContourToHostShape(const ContourParts::TContour& contour, IHostContour* target);
