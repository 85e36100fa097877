#include "Polypad/ContourFigures.h"

#include "CoreLib/Geomet.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr const char* kUndefined = "\u2014";
constexpr const char* kGroupSpace = "\u00A0";
constexpr const char* kMinusSign = "\u2212";
constexpr const char* kSeparator = " \u00B7 ";

// The convexity up to which ContourParts and ArcByConvexity take an edge as straight.
constexpr double kStraightConvexity = 1e-15;

constexpr const char* kRefusedClosed = "Контур уже замкнут: уравнять можно только незамкнутый ход";
constexpr const char* kRefusedTooFew = "Для уравнивания хода нужно не менее трёх вершин";
constexpr const char* kRefusedNoGap = "Невязки нет: последняя вершина совпадает с первой";
constexpr const char* kRefusedUndefined =
    "Невязка или длина хода не определена: проверьте координаты вершин и кривизну дуг";

inline bool IsFinite(TFloatPoint p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// theta - sin(theta); for a small angle from its series, since the difference would cancel.
// Above 0.01 the double sine loses under 1e-11 of the result and costs a fraction of sinl.
long double ThetaMinusSine(double theta)
{
    if (std::fabs(theta) < 0.01) {
        const long double t2 = static_cast<long double>(theta) * theta;
        return theta * t2 / 6 * (1 - t2 / 20 * (1 - t2 / 42 * (1 - t2 / 72)));
    }
    return theta - std::sin(theta);
}

// The edge from p to q, the convexity being its end row's: its length (an arc's own length, its
// central angle times the radius, as the edge-length column has it) and the segment between its
// chord and its arc, signed like the sweep, since an arc turning from +X toward +Y bulges to the
// right of its chord. False when the edge is not defined.
// The chord as Distance gives it, computed in place: a call inside the loop over the edges would
// make 32-bit code store its extended-precision sums to memory on every edge.
inline double Chord(TFloatPoint p, TFloatPoint q)
{
    const long double dx = static_cast<long double>(p.X) - q.X;
    const long double dy = static_cast<long double>(p.Y) - q.Y;
    return static_cast<double>(__builtin_sqrtl(dx * dx + dy * dy));
}

bool MeasureArc(TFloatPoint p, TFloatPoint q, double convexity, long double& length, long double& segment);

inline bool MeasureEdge(TFloatPoint p, TFloatPoint q, double convexity, long double& length, long double& segment)
{
    if (!IsFinite(p) || !IsFinite(q))
        return false;
    segment = 0;
    length = Chord(p, q);
    if (!TTable::IsArc(convexity) || std::fabs(convexity) <= kStraightConvexity)
        return std::isfinite(length);
    return MeasureArc(p, q, convexity, length, segment);
}

// The rest of MeasureEdge for an arc, length holding its chord.
[[gnu::noinline]] bool MeasureArc(TFloatPoint p, TFloatPoint q, double convexity, long double& length,
                                  long double& segment)
{
    // An arc, from its chord and convexity in closed form (what ArcByConvexity builds, without
    // its centre): the sweep is 4 atan K, the radius chord / 2|sin(sweep / 2)|.
    if (!std::isfinite(convexity) || length == 0)
        return false; // an arc that cannot be built: its ends coincide
    if (length < 1e-12L * (1 + std::fabs(p.X) + std::fabs(p.Y))) {
        // Ends a few units in the last place apart: built only when the table can build it.
        double sweep;
        TFloatPoint centre;
        if (!ArcByConvexity(p, q, convexity, sweep, centre))
            return false;
    }
    // Double precision transcendentals: x87 long double ones cost ten times as much and the
    // figures are shown to 7 decimals at most.
    const double sweep = 4 * std::atan(convexity);
    const long double radius = length / (2 * std::fabs(std::sin(sweep / 2)));
    length = std::fabs(sweep) * radius;
    segment = radius * radius * ThetaMinusSine(sweep) / 2;
    return std::isfinite(length) && std::isfinite(segment);
}

inline TFloatPoint PointOf(const TVertexRecord& row) { return TFloatPoint{row.X, row.Y}; }

std::string SummaryNumber(const std::optional<double>& value)
{
    if (!value || !std::isfinite(*value))
        return "null";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::general, 17);
    Assert(result.ec == std::errc());
    return std::string(buffer, result.ptr);
}

} // namespace

TContourFigures ComputeContourFigures(const TTable& table)
{
    TContourFigures figures;
    figures.Vertices = table.Count();
    figures.Closed = table.Closed();
    const std::int32_t n = table.Count();
    if (n < 2)
        return figures;

    const std::vector<TVertexRecord>& rows = table.ContourPart().Vertices;
    const TFloatPoint first = PointOf(rows.front());
    const TFloatPoint last = PointOf(rows.back());

    // Coordinates are taken relative to the first vertex, so that the area's products stay small
    // for map coordinates in the millions.
    long double length = 0, twiceArea = 0, segments = 0;
    auto add = [&](TFloatPoint p, TFloatPoint q, double convexity) {
        long double edge, segment;
        if (!MeasureEdge(p, q, convexity, edge, segment))
            return false;
        length += edge;
        segments += segment;
        const long double px = static_cast<long double>(p.X) - first.X;
        const long double py = static_cast<long double>(p.Y) - first.Y;
        const long double qx = static_cast<long double>(q.X) - first.X;
        const long double qy = static_cast<long double>(q.Y) - first.Y;
        twiceArea += px * qy - qx * py;
        return true;
    };
    bool defined = true;
    for (std::size_t i = 1; i < rows.size() && defined; ++i)
        defined = add(PointOf(rows[i - 1]), PointOf(rows[i]), rows[i].ArcConvexity);
    if (figures.Closed && defined)
        defined = add(last, first, rows.front().ArcConvexity);
    if (defined)
        figures.Length = static_cast<double>(length);

    if (figures.Closed) {
        const long double signedArea = twiceArea / 2 + segments;
        if (defined && std::isfinite(signedArea)) {
            figures.Area = static_cast<double>(std::fabs(signedArea));
            if (signedArea > 0)
                figures.Orientation = TContourOrientation::Clockwise;
            else if (signedArea < 0)
                figures.Orientation = TContourOrientation::CounterClockwise;
        }
        return figures;
    }

    if (IsFinite(first) && IsFinite(last)) {
        TClosureGap gap;
        gap.DX = static_cast<double>(static_cast<long double>(last.X) - first.X);
        gap.DY = static_cast<double>(static_cast<long double>(last.Y) - first.Y);
        gap.Length = Distance(first, last);
        if (std::isfinite(gap.DX) && std::isfinite(gap.DY) && std::isfinite(gap.Length)) {
            figures.Gap = gap;
            if (figures.Length && gap.Length > 0) {
                const double n = std::floor(*figures.Length / gap.Length);
                if (std::isfinite(n))
                    figures.RelativeErrorN = n;
            }
        }
    }
    return figures;
}

std::string FormatFigure(double value, int digits, char decimalSeparator)
{
    Assert(digits >= 0 && digits <= 7, "FormatFigure: digits outside 0..7");
    // Rounded first as the table's cells are, so that the line agrees with them.
    const double rounded = std::isfinite(value) ? RoundToDigits(value, digits) : value;
    if (!std::isfinite(rounded))
        return kUndefined;

    char buffer[400]; // the widest double in fixed notation with 7 decimals
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(rounded), std::chars_format::fixed, digits);
    Assert(result.ec == std::errc());
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);

    std::string out = rounded < 0 ? kMinusSign : ""; // a negative zero has no sign
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += kGroupSpace;
        out += whole[i];
    }
    if (point != std::string_view::npos) {
        out += decimalSeparator;
        out += text.substr(point + 1);
    }
    return out;
}

std::string FormatFiguresLine(const TContourFigures& figures, int digits, char decimalSeparator)
{
    auto figure = [&](const std::optional<double>& value) -> std::string {
        return value ? FormatFigure(*value, digits, decimalSeparator) : kUndefined;
    };
    std::string line = "Вершин: " + FormatFigure(figures.Vertices, 0, decimalSeparator);
    if (figures.Closed) {
        line += kSeparator;
        line += "Периметр: " + figure(figures.Length);
        line += kSeparator;
        line += "Площадь: " + figure(figures.Area);
        if (figures.Area && figures.Orientation)
            line += *figures.Orientation == TContourOrientation::Clockwise ? " (по часовой)" : " (против часовой)";
        return line;
    }
    line += kSeparator;
    line += "Длина: " + figure(figures.Length);
    line += kSeparator;
    line += "Невязка: ";
    if (!figures.Gap)
        return line + kUndefined;
    const TClosureGap& gap = *figures.Gap;
    line += "\u0394X " + figure(gap.DX) + " \u0394Y " + figure(gap.DY) + " f " + figure(gap.Length);
    line += " (1:";
    line += figures.RelativeErrorN ? FormatFigure(*figures.RelativeErrorN, 0, decimalSeparator) : kUndefined;
    line += ")";
    return line;
}

std::string FormatFiguresSummary(const TContourFigures& figures)
{
    std::string text;
    auto add = [&](const char* name, const std::string& value) {
        text += name;
        text += '\t';
        text += value;
        text += '\n';
    };
    add("vertices", std::to_string(figures.Vertices));
    if (figures.Closed) {
        add("perimeter", SummaryNumber(figures.Length));
        add("area", SummaryNumber(figures.Area));
        const char* orientation = "null";
        if (figures.Area && figures.Orientation)
            orientation = *figures.Orientation == TContourOrientation::Clockwise ? "clockwise" : "counterclockwise";
        add("orientation", orientation);
        return text;
    }
    add("length", SummaryNumber(figures.Length));
    const bool gap = figures.Gap.has_value();
    add("gap_dx", SummaryNumber(gap ? std::optional(figures.Gap->DX) : std::nullopt));
    add("gap_dy", SummaryNumber(gap ? std::optional(figures.Gap->DY) : std::nullopt));
    add("gap", SummaryNumber(gap ? std::optional(figures.Gap->Length) : std::nullopt));
    add("relative_error_n", SummaryNumber(figures.RelativeErrorN));
    return text;
}

void AdjustTraverse(TTable& table)
{
    if (table.Closed())
        throw EAdjustmentRefused(kRefusedClosed);
    if (table.Count() < 3)
        throw EAdjustmentRefused(kRefusedTooFew);
    const TContourFigures figures = ComputeContourFigures(table);
    if (figures.Gap && figures.Gap->Length == 0)
        throw EAdjustmentRefused(kRefusedNoGap);
    if (!figures.Gap || !figures.Length || !(*figures.Length > 0))
        throw EAdjustmentRefused(kRefusedUndefined);

    // The new rows are made in a copy, so that the lengths along the traverse are those of the
    // rows before the move and a refusal leaves the table untouched.
    const std::vector<TVertexRecord>& before = table.ContourPart().Vertices;
    std::vector<TVertexRecord> rows = before;
    const long double total = *figures.Length;
    const TClosureGap gap = *figures.Gap;
    long double along = 0;
    // The last vertex would land exactly on the first; it is dropped instead.
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        long double edge, segment; // defined, as the whole length is
        MeasureEdge(PointOf(before[k - 1]), PointOf(before[k]), before[k].ArcConvexity, edge, segment);
        along += edge;
        const long double share = along / total;
        rows[k].X = static_cast<double>(rows[k].X - gap.DX * share);
        rows[k].Y = static_cast<double>(rows[k].Y - gap.DY * share);
        if (!std::isfinite(rows[k].X) || !std::isfinite(rows[k].Y))
            throw EAdjustmentRefused(kRefusedUndefined);
    }
    // The last edge becomes the closing edge, whose convexity row 0 holds.
    rows.front().ArcConvexity = rows.back().ArcConvexity;
    rows.pop_back();
    table.ContourPart().Vertices.swap(rows);
    table.SetClosed(true); // the one announcement of the whole change
}
