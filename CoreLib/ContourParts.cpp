#include "CoreLib/ContourParts.h"

#include "CoreLib/ContourGeometry.h"
#include "CoreLib/Errors.h"

#include <cmath>

namespace ContourParts {

namespace {

bool IsStraight(double convexity) { return std::fabs(convexity) <= 1e-15; }

void FillGeometry(ContourGeometry::TContour& geometry, const TContour& contour)
{
    geometry.Clear();
    const TContourPartList& parts = contour.Parts();
    for (std::int32_t p = 0; p < parts.Count(); ++p) {
        const TContourPart& part = *parts.Part(p);
        const std::vector<TVertexRecord>& v = part.Vertices;
        if (v.empty())
            continue;
        geometry.MoveTo(FloatPoint(v[0].X, v[0].Y));
        for (std::size_t j = 1; j < v.size(); ++j) {
            const TFloatPoint point = FloatPoint(v[j].X, v[j].Y);
            if (IsStraight(v[j].ArcConvexity))
                geometry.LineTo(point);
            else
                geometry.ArcTo(point, v[j].ArcConvexity);
        }
        if (part.Closed) {
            if (IsStraight(v[0].ArcConvexity))
                geometry.Close();
            else
                geometry.CloseArc(v[0].ArcConvexity);
        }
    }
}

} // namespace

TVertexRecord& TContourPart::AddVertex()
{
    return Vertices.emplace_back();
}

void TContourPart::Clear()
{
    Vertices.clear();
    Closed = false;
}

void TContourPart::DeleteVertex(std::int32_t index)
{
    Assert(index >= 0 && index < Count());
    Vertices.erase(Vertices.begin() + index);
}

TContour::TContour() : FParts(std::make_unique<TContourPartList>()) {}

TContourPart* TContour::AddPart(TContourPart* part)
{
    FParts->Add(part);
    return part;
}

bool ContourBounds(const TContour& contour, TFloatRect& rect)
{
    ContourGeometry::TContour* geometry = ContourGeometry::ContourCache.Acquire();
    try {
        FillGeometry(*geometry, contour);
        const bool found = geometry->GetBounds(rect);
        ContourGeometry::ContourCache.Release(geometry);
        return found;
    } catch (...) {
        ContourGeometry::ContourCache.Release(geometry);
        throw;
    }
}

} // namespace ContourParts
