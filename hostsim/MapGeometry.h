// Geometry of the stand-in's drawing and hit testing: a contour part flattened into a polyline
// (arcs from their convexity), the distance of a point to it and whether a point lies inside.
// Plain C++ on the project's values.
#pragma once

#include "hostsim/ProjectData.h"

#include <vector>

namespace hostsim {

// The polyline of a part in map coordinates: straight edges as they are, each arc edge as
// chords of at most maxStep radians. A closed part ends with its first point again.
std::vector<TFloatPoint> FlattenPart(const TPartData& part, double maxStep = 0.05);

// Shortest distance from p to the polyline's segments (a single point counts as a segment).
double DistanceToPolyline(const std::vector<TFloatPoint>& line, TFloatPoint p);
// Even-odd rule; the polyline is taken as closed.
bool PointInPolygon(const std::vector<TFloatPoint>& ring, TFloatPoint p);

// A closed part of count vertices on a star around the centre: radius and 0.9 radius in
// turns, every 10th edge an arc of convexity 0.1 (large generated objects for benchmarks).
TPartData StarPart(TFloatPoint centre, double radius, long count);

// Whether p hits the shape: within tolerance of an outline or inside a closed part.
bool HitShape(const TShapeData& shape, TFloatPoint p, double tolerance);

} // namespace hostsim
