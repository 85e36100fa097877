// A theodolite traverse computed from the field book, as a surveyor computes it in the sheet
// ("ведомость вычисления координат"): measured angles and course lengths between known points, the
// angular misclosure against its limit, the corrected angles, the directions, the increments, the
// linear misclosure against its limit, the adjustment by the compass, transit or least-squares
// rule, and the coordinates. The sheet is a plain value; its text is what coordtable writes and
// what the clipboard takes.
// Platform-free. Angles are read as the courses reader reads directions (Courses.h).
#pragma once

#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Closed: a polygon from the start back to it. Connecting: from one known point with a known side
// to another known point with a known side.
enum class TTraverseKind : std::uint8_t { Closed, Connecting };
// Right angles lie right of the direction of travel: the next course's direction is
// a + 180° - b; left angles: a - 180° + b.
enum class TTraverseAngles : std::uint8_t { Right, Left };
enum class TTraverseRule : std::uint8_t { Compass, Transit, LeastSquares };

// One station: its measured angle and the course leaving it.
struct TTraverseStation {
    double Angle = 0;  // decimal degrees
    double Length = 0; // > 0
};

// X north, Y east, directions in decimal degrees from +X toward +Y.
struct TTraverseInput {
    TTraverseKind Kind = TTraverseKind::Closed;
    TTraverseAngles Angles = TTraverseAngles::Right;
    TFloatPoint Start{};
    // Closed: the direction of the first course. Connecting: the direction of the known side
    // arriving at the start (back-sight to start).
    double StartDirection = 0;
    // Closed: every station from the start on, the start's angle lying between the last course and
    // the first. Connecting: the start and each station up to the end.
    std::vector<TTraverseStation> Stations;
    // Connecting only: the end station's angle, its coordinates and the direction of the known
    // side leaving it.
    double EndAngle = 0;
    TFloatPoint End{};
    double EndDirection = 0;
};

struct TTraverseSettings {
    TTraverseRule Rule = TTraverseRule::Compass;
    double AngleLimitSeconds = 60; // k of fβ,доп = k·√n
    double RelativeLimitN = 2000;  // the misclosure is at most 1:N
    // A priori standard deviations of the least-squares rule: σβ, and σd = a + b·d.
    double SigmaAngleSeconds = 5;
    double SigmaLengthMm = 5;
    double SigmaLengthPpm = 5;
};

// One line of the sheet: a station, its angle, and the course that leaves it (absent at the end of
// a connecting traverse and on the closing line of a closed one, which repeats the start).
struct TTraverseSheetRow {
    int Station = 0; // counted from 1
    std::optional<double> MeasuredAngle;   // degrees
    std::optional<double> AngleCorrection; // seconds, -fβ/n
    std::optional<double> CorrectedAngle;  // degrees
    std::optional<double> Direction;       // degrees, of the course leaving the station
    std::optional<double> Length;
    std::optional<double> DX, DY;          // increments from the corrected angles and measured lengths
    std::optional<double> VX, VY;          // their corrections by the rule
    // Least squares only: the angle's and the length's own corrections (seconds, metres).
    std::optional<double> LsAngleCorrection;
    std::optional<double> LsLengthCorrection;
    double X = 0, Y = 0;
};

struct TTraverseSheet {
    TTraverseKind Kind = TTraverseKind::Closed;
    TTraverseAngles Angles = TTraverseAngles::Right;
    TTraverseRule Rule = TTraverseRule::Compass;
    int AngleCount = 0;
    double MeasuredAngleSum = 0;    // degrees
    double TheoreticalAngleSum = 0; // degrees
    double AngularMisclosure = 0;   // fβ, seconds
    double AngularLimit = 0;        // fβ,доп, seconds
    double LengthSum = 0;
    double GapDX = 0, GapDY = 0, Gap = 0;
    std::optional<double> RelativeErrorN; // ⌊Σd / f⌋; empty when f is 0
    double RelativeLimitN = 0;
    std::optional<double> Sigma0;         // least squares only
    int Iterations = 0;                   // least squares only
    std::vector<TTraverseSheetRow> Rows;
    // The adjusted stations: closed, n vertices from the start; connecting, start … end, the last
    // exactly the given end.
    std::vector<TFloatPoint> Vertices;

    bool AngularOverLimit() const;
    bool RelativeOverLimit() const;
};

// Input that cannot make a traverse (too few stations, a length that is not positive, a setting
// out of range).
class ETraverseError : public Exception {
public:
    using Exception::Exception;
};

// A misclosure over its limit; the message gives both figures.
class ETraverseRefused : public Exception {
public:
    using Exception::Exception;
};

// Computes the whole sheet whatever the misclosures: a window shows them marked. Raises
// ETraverseError for input that makes no traverse and when the least-squares iteration does not
// settle.
TTraverseSheet ComputeTraverse(const TTraverseInput& input, const TTraverseSettings& settings);

// Raises ETraverseRefused when a misclosure is over its limit (a likely blunder).
void RefuseOverLimits(const TTraverseSheet& sheet);

// Reads the field book: TAB-separated lines
//   start X Y / direction A (closed) or from-direction A (connecting) / A LENGTH per station /
//   A (connecting: the end's angle) / end X Y / to-direction A.
// Angles in any form ParseCourseDirection takes except the quadrant bearings (which only the
// three direction lines take). A bad line raises ECourseError ("Строка N: …").
TTraverseInput ReadTraverse(const std::string& text, char decimalSeparator, TTraverseAngles angles);

// The station lines alone, as a grid of stations takes a paste of them: ANGLE<TAB>LENGTH lines,
// possibly ended by a line of an angle alone (the end station's). ECourseError as above.
struct TTraverseStationList {
    std::vector<TTraverseStation> Stations;
    std::optional<double> EndAngle;
};
TTraverseStationList ReadTraverseStations(const std::string& text, char decimalSeparator);

// An angle to tenths of a second, as the sheet writes it: 45°30'15.0" (a sum of angles, as 818°41'40.0",
// is not reduced modulo 360).
std::string FormatSheetAngle(double degrees);
// A signed small angle in seconds: +20.0", -1'05.5", +1°00'00.0".
std::string FormatSheetAngleCorrection(double seconds);

// The sheet as TAB-separated text: a title, the column captions, one line per row, the sums, and
// the figures (those over their limit followed by "превышает допустимую"). Lengths, increments
// and coordinates with digits decimals.
std::string FormatTraverseSheet(const TTraverseSheet& sheet, int digits, char decimalSeparator = '.');

// The same sheet as an HTML table, one row per line of the text and one cell per field (the
// figures over their limit in bold); HtmlClipboardData (ExchangeText) wraps it for the
// clipboard's "HTML Format", which word processors and spreadsheets take as a table.
std::string FormatTraverseSheetHtml(const TTraverseSheet& sheet, int digits, char decimalSeparator = '.');

// name<TAB>value lines, 17 significant digits: angular_misclosure, angular_limit (seconds),
// gap_dx, gap_dy, gap, relative_error_n, relative_limit_n, rule, sigma0 (null where undefined).
std::string FormatTraverseSummary(const TTraverseSheet& sheet);

// "compass", "transit", "least-squares".
const char* TraverseRuleName(TTraverseRule rule);
