// The catalogue of a closed contour's boundary points as it is handed in: arcs replaced by points,
// coordinates at 0.01 m, designations, the edges with their lengths and direction angles, the area
// P of the rounded points with its permitted error ΔP = 3.5 · Mt · √P, and the checks that the
// delivered points make a simple polygon. Platform-free; the catalogue owns copies of everything
// it shows, the rows it was made from are not kept.
//
// Everything after the rounding is exact: coordinates are whole centimetres, the area is summed
// in 128-bit integers and each figure is rounded once, halves away from zero.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Errors.h"

#include <cstdint>
#include <string>
#include <vector>

class TSettingsStore;

// The catalogue cannot be made from these rows (an open contour, a coordinate out of range, an
// arc that would need too many points); the message is the user's explanation.
class ECatalogueRefused : public Exception {
public:
    using Exception::Exception;
};

struct TCatalogueSettings {
    std::string PointPrefix = "н";
    std::int64_t FirstNumber = 1;
    // Mt in centimetres (0.10 m is 10).
    std::int32_t MtCm = 10;
    // The largest distance, in metres, between an arc and the chords that replace it.
    double ArcTolerance = 0.01;
    bool operator==(const TCatalogueSettings&) const = default;
};

// The limits of the settings, checked by the parsers below.
inline constexpr std::int32_t kMaxMtCm = 10000;
inline constexpr std::int64_t kMaxFirstNumber = 999999999;
inline constexpr double kMinArcTolerance = 0.001;
inline constexpr double kMaxArcTolerance = 1000;
// Points a catalogue may hold, arc points included.
inline constexpr std::int32_t kMaxCataloguePoints = 4000000;
// Coordinates beyond this (metres) are refused: the sums below stay inside 128 bits.
inline constexpr double kMaxCatalogueCoordinate = 1e9;

// The usual norms of Mt for the land categories, in centimetres.
inline constexpr std::int32_t kMtNorms[] = {10, 20, 50, 250, 500};

// Setting texts: '.' or ',' as the decimal separator. Mt with at most two decimals, above 0 and at
// most 100 m; the first number 0..999999999; the tolerance 0.001..1000 m. Raise EConvertError
// with a message for the user.
std::int32_t ParseMtCm(const std::string& text);
std::int64_t ParseFirstNumber(const std::string& text);
double ParseArcTolerance(const std::string& text);
// A prefix is at most 16 characters without TAB, line breaks, ';', '<', '>' or '&'.
std::string CheckPointPrefix(const std::string& text);

// The settings kept in the Host's settings store; a stored text that does not read gives the
// default for that key.
extern const char* const kCataloguePrefixKey;
extern const char* const kCatalogueFirstNumberKey;
extern const char* const kCatalogueMtKey;
extern const char* const kCatalogueArcToleranceKey;
TCatalogueSettings LoadCatalogueSettings(TSettingsStore& store);
void SaveCatalogueSettings(TSettingsStore& store, const TCatalogueSettings& settings);

// A point of the catalogue: whole centimetres, X north and Y east as in the table.
struct TCataloguePoint {
    std::int64_t XCm = 0;
    std::int64_t YCm = 0;
    // The table's row the point is, or -1 for a point of an arc.
    std::int32_t Row = -1;
};

// The edge from point i to point i + 1 (the last one back to point 0).
struct TCatalogueEdge {
    std::int64_t LengthCm = 0;
    // The direction angle in whole seconds, 0..1295999.
    std::int32_t DirectionSeconds = 0;
};

enum class TCatalogueProblemKind : std::uint8_t { Coincident, TooFewPoints, Crossing, Touching };

struct TCatalogueProblem {
    TCatalogueProblemKind Kind{};
    // Coincident: the two points. Crossing and Touching: the edges, named by their first points.
    std::int32_t A = -1;
    std::int32_t B = -1;
    // The user's text, e.g. "Рёбра н3–н4 и н7–н8 пересекаются".
    std::string Text;
};

class TCoordinateCatalogue {
public:
    // Builds the catalogue of the rows (row 0's convexity is the closing edge's) and checks it.
    // Raises ECatalogueRefused for an open contour, for fewer than 1 row, for a coordinate or a
    // convexity that is not finite or out of range, and for more than kMaxCataloguePoints points.
    TCoordinateCatalogue(const std::vector<TVertexRecord>& rows, bool closed, const TCatalogueSettings& settings);

    const TCatalogueSettings& Settings() const { return FSettings; }
    // The points without the closing repeat of the first.
    const std::vector<TCataloguePoint>& Points() const { return FPoints; }
    std::int32_t PointCount() const { return static_cast<std::int32_t>(FPoints.size()); }
    // Edge i runs from point i to point (i + 1) mod PointCount().
    const std::vector<TCatalogueEdge>& Edges() const { return FEdges; }
    // "н1": the prefix and FirstNumber + i; i may be PointCount(), the closing repeat of point 0.
    std::string Name(std::int32_t i) const;

    // Twice the signed area in cm² (positive when the points turn from +X toward +Y), as text of
    // its decimal digits, for tests and exact comparisons.
    const std::string& TwiceAreaCm2() const { return FTwiceAreaCm2; }
    // P and ΔP in whole square metres.
    std::int64_t Area() const { return FArea; }
    std::int64_t AreaTolerance() const { return FAreaTolerance; }

    // Empty when the catalogue may be handed in. The coincidences come first, in the order of the
    // points (at most kMaxCoincidences, then one line with the number of the others); the
    // crossings are looked for only among distinct points (at most kMaxCrossings).
    const std::vector<TCatalogueProblem>& Problems() const { return FProblems; }
    bool Valid() const { return FProblems.empty(); }
    static constexpr std::size_t kMaxCoincidences = 100;
    static constexpr int kMaxCrossings = 20;

private:
    void AddArcPoints(TFloatPoint from, TFloatPoint to, double convexity);
    void AddPoint(double x, double y, std::int32_t row);
    void ComputeFigures();
    void Check();

    TCatalogueSettings FSettings;
    std::vector<TCataloguePoint> FPoints;
    std::vector<TCatalogueEdge> FEdges;
    std::string FTwiceAreaCm2;
    std::int64_t FArea = 0;
    std::int64_t FAreaTolerance = 0;
    std::vector<TCatalogueProblem> FProblems;
};

// A double rounded to whole centimetres, the exact value of the stored number deciding and
// halves going away from zero (452300.125 gives 45230013). Raises ECatalogueRefused for a value
// that is not finite or beyond kMaxCatalogueCoordinate.
std::int64_t RoundToCentimetres(double metres);

// A whole number of seconds as 90°00'00" (degrees unpadded, minutes and seconds two digits).
std::string DirectionText(std::int32_t seconds);
// Centimetres as metres with two decimals and the given separator: "452300.13", "-0.05".
std::string CentimetresText(std::int64_t cm, char decimalSeparator);
