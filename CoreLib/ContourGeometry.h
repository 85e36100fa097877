// The geometry contour: a path of move, line, arc and close nodes with the computed data of
// each arc (centre, sweep, radius), answering its bounding rectangle with arcs included.
// Contours come from the module-wide pool ContourCache and go back to it; the pool keeps their
// storage, so repeated bounds computations do not reallocate.
#pragma once

#include "CoreLib/Geomet.h"
#include "CoreLib/RefObjects.h"
#include "CoreLib/XLists.h"

#include <cstdint>
#include <vector>

namespace ContourGeometry {

enum TContourNodeKind : std::uint8_t {
    nkMoveTo = 0,   // starts a part at Point
    nkLineTo = 1,   // straight edge to Point
    nkArcTo = 2,    // arc edge to Point
    nkClose = 3,    // straight edge back to the part's first point
    nkCloseArc = 4, // arc edge back to the part's first point
};

struct TContourNode {
    std::uint8_t Kind = nkMoveTo;
    TFloatPoint Point;
    std::uint16_t ArcIndex = 0; // into Arcs, for nkArcTo and nkCloseArc only
};

struct TContourArc {
    double Convexity = 0;
    TFloatPoint Centre;
    double Sweep = 0;
    double Radius = 0;
};

inline constexpr std::int32_t kMaxArcs = 65536;

class TContour : public TObject {
public:
    TContour();
    ~TContour() override;

    TRecArray Nodes; // of TContourNode
    TRecArray Arcs;  // of TContourArc

    // Empties both arrays, keeping their storage.
    void Clear();

    std::int32_t MoveTo(TFloatPoint p);
    std::int32_t LineTo(TFloatPoint p);
    std::int32_t ArcTo(TFloatPoint p, double k);
    std::int32_t Close();
    std::int32_t CloseArc(double k);
    // Appends a node (and, for the arc kinds, its arc record) and computes its arc.
    // The 65,537th arc raises ERangeError.
    std::int32_t AddNode(std::uint8_t kind, TFloatPoint p, double k);
    void ComputeArc(std::int32_t index);

    const TContourNode& Node(std::int32_t index) const { return Nodes.At<TContourNode>(index); }
    const TContourArc& Arc(std::int32_t index) const { return Arcs.At<TContourArc>(index); }

    // False, with r untouched, when no node carries a point.
    bool GetBounds(TFloatRect& r) const;

private:
    bool EdgeEndingAt(std::int32_t index, TFloatPoint& start, TFloatPoint& end, double& k) const;
};

// The chord's box plus every axis-extreme point of the circle that the arc passes.
TFloatRect ArcBounds(TFloatPoint start, TFloatPoint end, const TContourArc& arc);

class TContourCache {
public:
    explicit TContourCache(int idleContours);
    TContourCache(const TContourCache&) = delete;
    TContourCache& operator=(const TContourCache&) = delete;
    ~TContourCache();

    // An empty contour: the last idle one, or a new one that belongs to no list when none is idle.
    TContour* Acquire();
    // Returns a contour handed out by Acquire to the idle list, cleared; destroys any other.
    void Release(TContour* contour);

    std::size_t IdleCount() const { return FFreeList.size(); }
    std::size_t UsedCount() const { return FUsedList.size(); }

private:
    std::vector<TContour*> FFreeList;
    std::vector<TContour*> FUsedList;
};

// The module-wide pool, created with 20 idle contours.
extern TContourCache ContourCache;

} // namespace ContourGeometry
