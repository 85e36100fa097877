#include "Polypad/HostTable.h"

THostTableHost::THostTableHost(IHostApplication* host) : FHost(host)
{
    Assert(host != nullptr, "THostTableHost: no Host application");
}

void THostTableHost::MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis)
{
    TComPtr<IHostMainWindow> mainWindow;
    ThrowIfFailed(FHost->get_MainWindow(mainWindow.put()));
    RequireHostObject(mainWindow, "MainWindow");
    TComPtr<IHostMapWindow> mapWindow;
    ThrowIfFailed(mainWindow->get_MapWindow(mapWindow.put()));
    RequireHostObject(mapWindow, "MapWindow");
    TComPtr<IHostSurface> surface;
    ThrowIfFailed(mapWindow->get_Surface(surface.put()));
    RequireHostObject(surface, "Surface");
    TComPtr<IHostSurfaceTransform> transform;
    ThrowIfFailed(surface->get_Transform(transform.put()));
    RequireHostObject(transform, "Transform");
    // The transform maps points, and a surface usually has its origin elsewhere than the map's:
    // the axes' images are taken relative to the image of the map origin, so that the
    // orientation does not change when the view is panned.
    TFloatPoint origin{}, xEnd{}, yEnd{};
    ThrowIfFailed(transform->MapToSurface(0, 0, &origin.X, &origin.Y));
    ThrowIfFailed(transform->MapToSurface(1, 0, &xEnd.X, &xEnd.Y));
    ThrowIfFailed(transform->MapToSurface(0, 1, &yEnd.X, &yEnd.Y));
    xAxis = {xEnd.X - origin.X, xEnd.Y - origin.Y};
    yAxis = {yEnd.X - origin.X, yEnd.Y - origin.Y};
}

std::unique_ptr<TTable> CreateHostTable(IHostApplication* host)
{
    return std::make_unique<TTable>(std::make_unique<THostTableHost>(host));
}

bool ViewIsMirrored(IHostApplication* host)
{
    THostTableHost adapter(host);
    TFloatPoint xAxis{}, yAxis{};
    adapter.MapAxesToSurface(xAxis, yAxis);
    return IsMirroredTransform(xAxis, yAxis);
}

TComPtr<IHostContour> ContourToHostShape(IHostApplication* host, const ContourParts::TContour& contour)
{
    Assert(host != nullptr, "ContourToHostShape: no Host application");
    TVariant parameters(std::wstring{});
    TComPtr<IDispatch> geometry;
    ThrowIfFailed(host->CreateGeometry(0, parameters.get(), geometry.put()));
    TComPtr<IHostContour> result = geometry.query<IHostContour>();
    AppendContourToHostShape(contour, result.get());
    return result;
}

void AppendContourToHostShape(const ContourParts::TContour& contour, IHostContour* target)
{
    const ContourParts::TContourPartList& parts = contour.Parts();
    for (std::int32_t i = 0; i < parts.Count(); ++i) {
        const ContourParts::TContourPart* part = parts.Part(i);
        TComPtr<IHostContourPart> hostPart;
        ThrowIfFailed(target->InsertPart(-1, hostPart.put()));
        RequireHostObject(hostPart, "InsertPart");
        ThrowIfFailed(hostPart->SetClosed(part->Closed ? VARIANT_TRUE : VARIANT_FALSE));
        for (const TVertexRecord& v : part->Vertices)
            ThrowIfFailed(hostPart->InsertVertex(-1, v.X, v.Y, v.ArcConvexity));
    }
}
