// The part-list contour: reference-counted parts holding vertices as plain data, and a light
// contour that gathers counted references to parts so that a whole outline can be handed on.
//
// The ArcConvexity of vertex i >= 1 belongs to the edge from vertex i-1 to i; that of vertex 0
// to the closing edge, which exists only in a closed part. |ArcConvexity| <= 1e-15 is straight.
#pragma once

#include "CoreLib/Geomet.h"
#include "CoreLib/RefObjects.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TVertexRecord {
    double X = 0;
    double Y = 0;
    double ArcConvexity = 0;
};

namespace ContourParts {

class TContourPart : public TRefObject {
public:
    std::vector<TVertexRecord> Vertices;
    bool Closed = false;

    std::int32_t Count() const { return static_cast<std::int32_t>(Vertices.size()); }
    // Appends (0, 0, 0) for the caller to fill.
    TVertexRecord& AddVertex();
    // No vertices, open.
    void Clear();
    // Removes vertex index, which must exist.
    void DeleteVertex(std::int32_t index);
};

// Holds one counted reference per part; removing a part drops it without the part's Cleanup.
class TContourPartList : public TRefObjectList {
public:
    TContourPartList() : TRefObjectList(false) {}
    TContourPart* Part(std::int32_t index) const { return static_cast<TContourPart*>(Items(index)); }
};

class TContour : public TRefObject {
public:
    TContour();

    TContourPartList& Parts() { return *FParts; }
    const TContourPartList& Parts() const { return *FParts; }
    // Appends part (a counted reference) and returns it.
    TContourPart* AddPart(TContourPart* part);

private:
    std::unique_ptr<TContourPartList> FParts;
};

// Bounding rectangle of the whole contour, arcs included; false (rect untouched) with no vertex.
bool ContourBounds(const TContour& contour, TFloatRect& rect);

} // namespace ContourParts
