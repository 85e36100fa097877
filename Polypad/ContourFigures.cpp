#include "Polypad/ContourFigures.h"

#include "CoreLib/Geomet.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/FiguresTree.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr const char* kUndefined = "\u2014";
constexpr const char* kGroupSpace = "\u00A0";
constexpr const char* kMinusSign = "\u2212";
constexpr const char* kSeparator = " \u00B7 ";

constexpr const char* kRefusedClosed = "Контур уже замкнут: уравнять можно только незамкнутый ход";
constexpr const char* kRefusedTooFew = "Для уравнивания хода нужно не менее трёх вершин";
constexpr const char* kRefusedNoGap = "Невязки нет: последняя вершина совпадает с первой";
constexpr const char* kRefusedUndefined =
    "Невязка или длина хода не определена: проверьте координаты вершин и кривизну дуг";

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
    const std::vector<TVertexRecord>& rows = table.ContourPart().Vertices;
    return FiguresFromSums(rows, table.Closed(), SumContourEdges(rows, table.Closed()));
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

void AdjustTraverse(TTable& table, TClosureRule rule)
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
    // The transit rule's sums of the chords' increments; an axis no edge moves along falls back
    // to the lengths.
    long double totalX = 0, totalY = 0;
    if (rule == TClosureRule::Transit)
        for (std::size_t k = 1; k < before.size(); ++k) {
            totalX += std::fabs(static_cast<long double>(before[k].X) - before[k - 1].X);
            totalY += std::fabs(static_cast<long double>(before[k].Y) - before[k - 1].Y);
        }
    long double along = 0, alongX = 0, alongY = 0;
    // The last vertex would land exactly on the first; it is dropped instead.
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        long double edge, segment; // defined, as the whole length is
        MeasureContourEdge(PointOf(before[k - 1]), PointOf(before[k]), before[k].ArcConvexity, edge, segment);
        along += edge;
        alongX += std::fabs(static_cast<long double>(before[k].X) - before[k - 1].X);
        alongY += std::fabs(static_cast<long double>(before[k].Y) - before[k - 1].Y);
        const long double share = along / total;
        const long double shareX = totalX > 0 ? alongX / totalX : share;
        const long double shareY = totalY > 0 ? alongY / totalY : share;
        rows[k].X = static_cast<double>(rows[k].X - gap.DX * shareX);
        rows[k].Y = static_cast<double>(rows[k].Y - gap.DY * shareY);
        if (!std::isfinite(rows[k].X) || !std::isfinite(rows[k].Y))
            throw EAdjustmentRefused(kRefusedUndefined);
    }
    // The last edge becomes the closing edge, whose convexity row 0 holds.
    rows.front().ArcConvexity = rows.back().ArcConvexity;
    rows.pop_back();
    table.ContourPart().Vertices.swap(rows);
    table.SetClosed(true); // the one announcement of the whole change
}
