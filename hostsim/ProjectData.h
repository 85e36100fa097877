// The project as the Host stand-in keeps it: layers with their styles, map objects with shapes,
// contours, parts and vertices, and the reader of the project text file. Plain values, no
// Windows; the COM objects of HostObjects wrap them.
//
// Project file (UTF-8 text, one record per line; '#' starts a comment; names run to the end of
// the line; numbers use '.' as decimal point; masks and colours may be written 0x...):
//
//   orvex-project 1                       first record, the format version
//   title TEXT                            caption of the project (optional)
//   view X Y SCALE                        initial view centre (map X north, Y east) and scale
//                                         (screen metres per map unit); optional, else fit all
//   layer ID PERMISSIONS NAME             PERMISSIONS: mask of rights, 0x10 view, 0x40 change
//   style ID FLAGS PERMISSIONS COLOR NAME belongs to the last layer; COLOR is 0xRRGGBB; FLAGS bit
//                                         2: not offered for new objects, bit 4: not offered
//                                         for adding shapes
//   active-layer ID                       the active layer of the map view (optional)
//   object ID LAYER                       a map object in that layer
//   shape STYLE GEOMETRY                  belongs to the last object; GEOMETRY 1 when the shape
//                                         defines the object's geometry, else 0
//   part closed|open                      belongs to the last shape
//   v X Y CONVEXITY                       a vertex of the last part; CONVEXITY belongs to the
//                                         edge ending at the vertex (vertex 0: the closing edge)
//
// A malformed file raises EProjectFormat naming the line; nothing of it is used then.
#pragma once

#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hostsim {

inline constexpr std::int32_t kRightView = 0x10;
inline constexpr std::int32_t kRightChange = 0x40;

class EProjectFormat : public Exception {
public:
    using Exception::Exception;
};

struct TVertexData {
    double X = 0;
    double Y = 0;
    double Convexity = 0;
    bool operator==(const TVertexData&) const = default;
};

struct TPartData {
    bool Closed = false;
    std::vector<TVertexData> Vertices;
    bool operator==(const TPartData&) const = default;
};

struct TContourData {
    std::vector<TPartData> Parts;
    bool operator==(const TContourData&) const = default;
};

struct TShapeData {
    std::int32_t StyleId = 0;
    bool DefinesGeometry = true;
    TContourData Contour;
    bool operator==(const TShapeData&) const = default;
};

struct TMapObjectData {
    std::int32_t Id = 0;
    std::int32_t LayerId = 0;
    std::vector<TShapeData> Shapes;
    bool operator==(const TMapObjectData&) const = default;
};

struct TStyleData {
    std::int32_t Id = 0;
    std::int32_t LayerId = 0;
    std::int32_t Flags = 0;
    std::int32_t Permissions = kRightView | kRightChange;
    std::uint32_t Color = 0x000000; // 0xRRGGBB
    std::string Name;
};

struct TLayerData {
    std::int32_t Id = 0;
    std::int32_t Permissions = kRightView | kRightChange;
    std::string Name;
    std::vector<std::int32_t> StyleIds; // in file order
};

struct TViewData {
    bool Given = false;
    double X = 0;
    double Y = 0;
    double Scale = 0;
};

struct TProjectData {
    std::string Title;
    TViewData View;
    std::int32_t ActiveLayerId = 0; // 0: none
    std::vector<TLayerData> Layers;
    std::map<std::int32_t, TStyleData> Styles;
    std::map<std::int32_t, TMapObjectData> Objects;

    const TLayerData* FindLayer(std::int32_t id) const;
    const TStyleData* FindStyle(std::int32_t id) const;
};

// Reads the project text; raises EProjectFormat "line N: ..." on the first error.
TProjectData ParseProject(const std::string& text);

// Bounding box of all vertices (arcs by their end points); false when there are none.
bool ProjectExtent(const TProjectData& project, TFloatRect& extent);

} // namespace hostsim
