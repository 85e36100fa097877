// The surveyor's figures of the coordinate table: the vertex count, the perimeter of a closed
// contour or the length of an open one, the area and direction of travel of a closed contour,
// and the closure gap of an open traverse with its relative error 1:N. Also their two texts —
// the status line the window shows and the name/value lines coordtable writes — and the closure
// adjustment of an open traverse by the compass rule.
//
// The figures are computed from the table's rows in one pass that allocates nothing, summing the
// edges in the order of FiguresTree, which the window keeps up to date row by row. A figure that the geometry does not define is
// left empty, never filled with a number.
#pragma once

#include "CoreLib/Errors.h"

#include <cstdint>
#include <optional>
#include <string>

class TTable;

// X points north and Y east, so a contour that turns from +X toward +Y (a positive signed area
// 1/2 * sum(x[i] * y[i+1] - x[i+1] * y[i])) runs clockwise as the map shows it.
enum class TContourOrientation : std::uint8_t { Clockwise, CounterClockwise };

// The misclosure of an open traverse: the last vertex minus the first, and its length f.
struct TClosureGap {
    double DX = 0;
    double DY = 0;
    double Length = 0;
};

struct TContourFigures {
    std::int32_t Vertices = 0;
    bool Closed = false;
    // Closed: the perimeter, closing edge included. Open: the length from the first vertex to the
    // last. Arcs count by their own length, as the table's edge-length column gives it.
    std::optional<double> Length;
    // Closed only: the enclosed area (>= 0), arc segments included, and the direction of travel,
    // which a zero area does not have.
    std::optional<double> Area;
    std::optional<TContourOrientation> Orientation;
    // Open only.
    std::optional<TClosureGap> Gap;
    // floor(Length / f); empty when f is 0.
    std::optional<double> RelativeErrorN;
};

// Fewer than 2 vertices leave every figure but the count empty. A non-finite coordinate empties
// the length and the area (and the gap when it is the first or the last vertex's); so does an
// arc that cannot be built (its ends coincide or lie too close for a centre, or its convexity is
// not finite). A convexity of at most 1e-15 is a straight edge, as the table draws it.
TContourFigures ComputeContourFigures(const TTable& table);

// A figure as the status line writes it: rounded to digits decimals (0..7) as the table's cells
// round, the whole part in groups of three separated by a no-break space (U+00A0, as Russian number
// formats group them; every interface font has it), the minus sign
// U+2212, and "—" for a value that is not finite: "1 179.206", "−0.008".
std::string FormatFigure(double value, int digits, char decimalSeparator = '.');

// The status line, e.g. "Вершин: 4 · Периметр: 140.794 · Площадь: 1 179.206 (по часовой)" or
// "Вершин: 5 · Длина: 120.500 · Невязка: ΔX 0.012 ΔY −0.008 f 0.014 (1:8 355)"; "—" stands for
// an empty figure ("Площадь: —", "Невязка: —", "(1:—)").
std::string FormatFiguresLine(const TContourFigures& figures, int digits, char decimalSeparator = '.');

// One "name<TAB>value<LF>" line per figure, numbers with 17 significant digits and '.', and
// "null" for an empty one. Closed: vertices, perimeter, area, orientation ("clockwise" or
// "counterclockwise"). Open: vertices, length, gap_dx, gap_dy, gap, relative_error_n.
std::string FormatFiguresSummary(const TContourFigures& figures);

// A refused closure adjustment; the message is the user's explanation.
class EAdjustmentRefused : public Exception {
public:
    using Exception::Exception;
};

// How a closure gap is spread over the vertices: by the lengths along the traverse (compass,
// Bowditch) or by the increments of X and Y separately (transit).
enum class TClosureRule : std::uint8_t { Compass, Transit };

// Closes an open traverse of at least 3 vertices by the compass (Bowditch) rule: vertex k moves
// by -gap * (length up to k) / (whole length), which brings the last vertex onto the first; the
// last vertex is then removed and the contour closed, its last edge becoming the closing edge
// (so row 0 takes the last row's convexity). Every other convexity is kept. The table changes
// once and announces once. Raises EAdjustmentRefused, leaving the table as it was, for a closed
// contour, fewer than 3 vertices, no gap, or a gap or length that is not defined.
// By the transit rule vertex k moves by -gapX * (Σ|ΔX| up to k) / Σ|ΔX| and -gapY * (Σ|ΔY| up to
// k) / Σ|ΔY|, the increments those of the edges' chords; an axis along which no edge moves takes
// its share by the lengths.
void AdjustTraverse(TTable& table, TClosureRule rule = TClosureRule::Compass);
