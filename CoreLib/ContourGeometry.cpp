#include "CoreLib/ContourGeometry.h"

#include "CoreLib/Errors.h"

#include <algorithm>
#include <cmath>

namespace ContourGeometry {

TContourCache ContourCache(20);

namespace {

bool CarriesPoint(std::uint8_t kind) { return kind <= nkArcTo; }
bool IsArcKind(std::uint8_t kind) { return kind == nkArcTo || kind == nkCloseArc; }
bool IsCloseKind(std::uint8_t kind) { return kind == nkClose || kind == nkCloseArc; }

} // namespace

TContour::TContour()
{
    Nodes.Init(sizeof(TContourNode));
    Arcs.Init(sizeof(TContourArc));
}

TContour::~TContour()
{
    Nodes.FreeRecs();
    Arcs.FreeRecs();
}

void TContour::Clear()
{
    Nodes.Count = 0;
    Arcs.Count = 0;
}

std::int32_t TContour::MoveTo(TFloatPoint p) { return AddNode(nkMoveTo, p, 0); }
std::int32_t TContour::LineTo(TFloatPoint p) { return AddNode(nkLineTo, p, 0); }
std::int32_t TContour::ArcTo(TFloatPoint p, double k) { return AddNode(nkArcTo, p, k); }
std::int32_t TContour::Close() { return AddNode(nkClose, TFloatPoint{}, 0); }
std::int32_t TContour::CloseArc(double k) { return AddNode(nkCloseArc, TFloatPoint{}, k); }

std::int32_t TContour::AddNode(std::uint8_t kind, TFloatPoint p, double k)
{
    TContourNode node;
    node.Kind = kind;
    node.Point = p;
    if (IsArcKind(kind)) {
        TContourArc arc;
        arc.Convexity = k;
        Arcs.Add(&arc);
        const std::int32_t arcIndex = Arcs.Count - 1;
        if (arcIndex > kMaxArcs - 1)
            throw ERangeError();
        node.ArcIndex = static_cast<std::uint16_t>(arcIndex);
    }
    Nodes.Add(&node);
    const std::int32_t index = Nodes.Count - 1;
    ComputeArc(index);
    return index;
}

bool TContour::EdgeEndingAt(std::int32_t index, TFloatPoint& start, TFloatPoint& end, double& k) const
{
    if (index < 1)
        return false;
    const TContourNode& node = Node(index);
    if (node.Kind < nkLineTo || node.Kind > nkCloseArc)
        return false;
    k = IsArcKind(node.Kind) ? Arc(node.ArcIndex).Convexity : 0;
    if (k == 0)
        return true;

    const TContourNode& previous = Node(index - 1);
    const bool needsFirst = IsCloseKind(previous.Kind) || !CarriesPoint(node.Kind);
    TFloatPoint firstPoint;
    if (needsFirst) {
        // Only close nodes and the node after one look back to the part's start, so the walk
        // costs one pass over each part.
        std::int32_t first = index - 1;
        while (first > 0 && Node(first).Kind != nkMoveTo)
            --first;
        firstPoint = Node(first).Point;
    }
    start = IsCloseKind(previous.Kind) ? firstPoint : previous.Point;
    end = CarriesPoint(node.Kind) ? node.Point : firstPoint;
    return true;
}

void TContour::ComputeArc(std::int32_t index)
{
    if (index < 0 || index >= Nodes.Count)
        return;
    TFloatPoint start, end;
    double k;
    if (!EdgeEndingAt(index, start, end, k) || k == 0)
        return;
    TContourArc& arc = Arcs.At<TContourArc>(Node(index).ArcIndex);
    double sweep;
    TFloatPoint centre;
    if (ArcByConvexity(start, end, arc.Convexity, sweep, centre)) {
        arc.Sweep = sweep;
        arc.Centre = centre;
        arc.Radius = Distance(centre, start);
    }
}

bool TContour::GetBounds(TFloatRect& r) const
{
    bool found = false;
    TFloatRect bounds;
    for (std::int32_t i = 0; i < Nodes.Count; ++i) {
        const TContourNode& node = Node(i);
        if (!CarriesPoint(node.Kind))
            continue;
        if (!found) {
            found = true;
            bounds = FloatRect(node.Point, node.Point);
        } else {
            IncludePoint(bounds, node.Point);
        }
    }
    if (!found)
        return false;

    const TContourNode* previous = nullptr;
    const TContourNode* first = nullptr;
    for (std::int32_t i = 0; i < Nodes.Count; ++i) {
        const TContourNode& node = Node(i);
        if (previous && node.Kind == nkArcTo)
            IncludeRect(bounds, ArcBounds(previous->Point, node.Point, Arc(node.ArcIndex)));
        if (previous && first && node.Kind == nkCloseArc)
            IncludeRect(bounds, ArcBounds(previous->Point, first->Point, Arc(node.ArcIndex)));
        if (CarriesPoint(node.Kind)) {
            previous = &node;
            if (node.Kind == nkMoveTo || !first)
                first = &node;
        }
    }
    r = bounds;
    return true;
}

TFloatRect ArcBounds(TFloatPoint start, TFloatPoint end, const TContourArc& arc)
{
    TFloatRect box = FloatRect(start, end);
    if (std::fabs(arc.Convexity) <= 1e-15 || SamePoint(start, end))
        return box;
    const double startAngle = DirectionAngle(arc.Centre, start);
    static constexpr int kCos[4] = {1, 0, -1, 0};
    static constexpr int kSin[4] = {0, 1, 0, -1};
    for (int i = 0; i < 4; ++i) {
        const double axisAngle = static_cast<double>(i * kPi / 2);
        if (AngleInSweep(axisAngle, startAngle, arc.Sweep))
            IncludePoint(box, FloatPoint(arc.Centre.X + kCos[i] * arc.Radius, arc.Centre.Y + kSin[i] * arc.Radius));
    }
    return box;
}

TContourCache::TContourCache(int idleContours)
{
    for (int i = 0; i < idleContours; ++i)
        FFreeList.push_back(new TContour);
}

TContourCache::~TContourCache()
{
    for (TContour* contour : FFreeList)
        delete contour;
    for (TContour* contour : FUsedList)
        delete contour;
}

TContour* TContourCache::Acquire()
{
    if (FFreeList.empty())
        return new TContour;
    TContour* contour = FFreeList.back();
    FUsedList.push_back(contour);
    FFreeList.pop_back();
    return contour;
}

void TContourCache::Release(TContour* contour)
{
    const auto used = std::find(FUsedList.begin(), FUsedList.end(), contour);
    if (used == FUsedList.end()) {
        delete contour;
        return;
    }
    FFreeList.push_back(contour);
    FUsedList.erase(used);
    contour->Clear();
}

} // namespace ContourGeometry
