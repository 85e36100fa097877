#include "hostsim/MapGeometry.h"

#include <algorithm>
#include <cmath>

namespace hostsim {

namespace {

void AppendEdge(std::vector<TFloatPoint>& line, TFloatPoint from, TFloatPoint to, double k, double maxStep)
{
    double sweep = 0;
    TFloatPoint centre;
    if (ArcByConvexity(from, to, k, sweep, centre)) {
        const double radius = Distance(centre, from);
        const double start = std::atan2(from.Y - centre.Y, from.X - centre.X);
        const int steps = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / maxStep)), 1, 2000);
        for (int i = 1; i < steps; ++i) {
            const double a = start + sweep * i / steps;
            line.push_back({centre.X + radius * std::cos(a), centre.Y + radius * std::sin(a)});
        }
    }
    line.push_back(to);
}

} // namespace

std::vector<TFloatPoint> FlattenPart(const TPartData& part, double maxStep)
{
    std::vector<TFloatPoint> line;
    const auto& v = part.Vertices;
    if (v.empty())
        return line;
    // A part with a damaged vertex (not a finite number) is not drawn.
    for (const TVertexData& vertex : v)
        if (!std::isfinite(vertex.X) || !std::isfinite(vertex.Y) || !std::isfinite(vertex.Convexity))
            return line;
    line.push_back({v[0].X, v[0].Y});
    for (std::size_t i = 1; i < v.size(); ++i)
        AppendEdge(line, {v[i - 1].X, v[i - 1].Y}, {v[i].X, v[i].Y}, v[i].Convexity, maxStep);
    if (part.Closed && v.size() > 1)
        AppendEdge(line, {v.back().X, v.back().Y}, {v[0].X, v[0].Y}, v[0].Convexity, maxStep);
    return line;
}

double DistanceToPolyline(const std::vector<TFloatPoint>& line, TFloatPoint p)
{
    if (line.empty())
        return INFINITY;
    double best = Distance(line[0], p);
    for (std::size_t i = 1; i < line.size(); ++i) {
        const TFloatPoint a = line[i - 1], b = line[i];
        const double dx = b.X - a.X, dy = b.Y - a.Y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, Distance({a.X + t * dx, a.Y + t * dy}, p));
    }
    return best;
}

bool PointInPolygon(const std::vector<TFloatPoint>& ring, TFloatPoint p)
{
    bool inside = false;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const TFloatPoint a = ring[i], b = ring[j];
        if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X)
            inside = !inside;
    }
    return inside;
}

bool HitShape(const TShapeData& shape, TFloatPoint p, double tolerance)
{
    for (const TPartData& part : shape.Contour.Parts) {
        const std::vector<TFloatPoint> line = FlattenPart(part);
        if (DistanceToPolyline(line, p) <= tolerance)
            return true;
        if (part.Closed && line.size() > 2 && PointInPolygon(line, p))
            return true;
    }
    return false;
}

TPartData StarPart(TFloatPoint centre, double radius, long count)
{
    constexpr double kTurn = 6.283185307179586;
    TPartData part;
    part.Closed = true;
    part.Vertices.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (long i = 0; i < count; ++i) {
        const double r = i % 2 ? radius * 0.9 : radius;
        const double a = kTurn * static_cast<double>(i) / static_cast<double>(count);
        // Vertex i ends edge i (vertex 0 the closing edge, edge count): edges 10, 20, ... are arcs.
        const double convexity = (i == 0 ? count : i) % 10 == 0 ? 0.1 : 0.0;
        part.Vertices.push_back({centre.X + r * std::cos(a), centre.Y + r * std::sin(a), convexity});
    }
    return part;
}

} // namespace hostsim
