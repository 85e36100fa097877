// coordtable: reads the exchange text of a vertex table on standard input as a paste reads it
// (X, Y, convexity; or the column groups named by --input-columns; or a start vertex and courses
// with --courses) and writes it back as a copy writes it, with the derived columns; with
// --summary, the contour's figures follow as name/value lines; --adjust closes an open traverse
// first. --traverse computes a traverse from the field book's angles and lengths (Traverse.h).
#include "CoreLib/Errors.h"
#include "Polypad/CatalogueTexts.h"
#include "Polypad/ContourFigures.h"
#include "Polypad/Coordinates.h"
#include "Polypad/Courses.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/Traverse.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const char* const kGroupNames[kColumnGroupCount] = {
    "PointNumber", "Coordinates", "EdgeLength", "LeftAngle", "RightAngle",
    "DirectionAngle", "ArcConvexity", "ArcCenter", "ArcRadius",
};

const char* const kUsage =
    "usage: coordtable [options] < table.txt\n"
    "Reads tab-separated lines of X, Y and arc convexity and writes the vertex table with its\n"
    "derived columns in the same exchange format, each line ended by a line feed.\n"
    "  --digits N               decimals of the numbers written, 0..7 (default 7)\n"
    "  --closed                 the contour is closed (default open)\n"
    "  --columns LIST           comma-separated column groups (default all): PointNumber,\n"
    "                           Coordinates, EdgeLength, LeftAngle, RightAngle, DirectionAngle,\n"
    "                           ArcConvexity, ArcCenter, ArcRadius\n"
    "  --input-columns LIST     the column groups each input line holds, named as for --columns\n"
    "                           (default Coordinates,ArcConvexity: X, Y, convexity); reads back\n"
    "                           what coordtable wrote with the same --columns (and --closed)\n"
    "  --courses                input: a start vertex line X<TAB>Y, then one course a line,\n"
    "                           DIRECTION<TAB>LENGTH[<TAB>CONVEXITY] (or LENGTH first, as the\n"
    "                           EdgeLength, DirectionAngle and ArcConvexity columns come); DIRECTION\n"
    "                           as 45°30'15\", 45-30-15, 45 30 15, or a bearing such as СВ 45-30-15\n"
    "                           or NE 45-30-15, of the edge's chord; LENGTH of an arc is the arc's\n"
    "                           own length, as the EdgeLength column gives it\n"
    "  --decimal-separator C    '.' or ',' (default '.'); both are read on input\n"
    "  --adjust                 closes the open traverse by the compass rule before writing\n"
    "  --catalogue              writes the catalogue of the closed contour's points instead: the\n"
    "                           points at 0.01 m (arcs as points, the first repeated last), an\n"
    "                           empty line, the edges with length and direction, an empty line,\n"
    "                           area, area_tolerance (3.5 * Mt * sqrt(P)) and area_formula; a\n"
    "                           problem (coinciding points, crossing edges) goes to standard error\n"
    "                           with exit status 1\n"
    "  --mt M                   the points' mean square error Mt in metres (default 0.10)\n"
    "  --point-prefix P         designations' prefix (default н)\n"
    "  --first-number N         the first point's number (default 1)\n"
    "  --arc-tolerance T        largest gap in metres between an arc and its chords (default 0.01)\n"
    "  --summary                after the table and an empty line, the contour's figures as\n"
    "                           name<TAB>value lines at full precision: vertices, perimeter, area,\n"
    "                           orientation (closed) or vertices, length, gap_dx, gap_dy, gap,\n"
    "                           relative_error_n (open); null where a figure is undefined\n"
    "  --traverse               input: a traverse's field book, TAB-separated lines: start X Y;\n"
    "                           direction A (closed: the first course) or from-direction A (the\n"
    "                           known side arriving at the start); ANGLE LENGTH per station; and\n"
    "                           between known points the end's ANGLE alone, end X Y, to-direction A.\n"
    "                           Writes the adjusted stations (closed for a closed traverse)\n"
    "    --angles right|left    the angles' side of the direction of travel (default right)\n"
    "    --rule R               compass (default), transit or least-squares\n"
    "    --angle-limit S        k of the angular limit k·√n, seconds (default 60)\n"
    "    --relative-limit N     the linear misclosure limit 1:N (default 2000)\n"
    "    --sigma-angle S        least squares: σ of an angle, seconds (default 5)\n"
    "    --sigma-length-mm A    least squares: σ of a length a + b·d, a in mm (default 5)\n"
    "    --sigma-length-ppm B   ... b in mm per km (default 5)\n"
    "    --force                adjust even when a misclosure is over its limit (otherwise the\n"
    "                           figures go to standard error and the exit status is 1)\n"
    "    --sheet                write the computation sheet instead of the table (lengths and\n"
    "                           coordinates with --digits decimals, default 3)\n"
    "    --summary              the misclosures and their limits as name<TAB>value lines\n"
    "Exit status: 0 done, 1 bad input, a catalogue with problems or a failed write (message on\n"
    "standard error), 2 bad options.\n"
    "--mirrored and --normal are accepted for older scripts and change nothing: no column of the\n"
    "table depends on how the map view is oriented.\n";

struct TOptions {
    int Digits = 7;
    bool Closed = false;
    char DecimalSeparator = '.';
    bool Adjust = false;
    bool Summary = false;
    bool Courses = false;
    bool Catalogue = false;
    bool CatalogueOptions = false;
    TCatalogueSettings CatalogueSettings;
    bool DigitsGiven = false;
    bool Traverse = false;
    bool TraverseOptionSeen = false; // one of the options that go with --traverse only
    bool Sheet = false;
    bool Force = false;
    TTraverseAngles Angles = TTraverseAngles::Right;
    TTraverseSettings TraverseSettings;
    std::optional<TColumnGroups> InputColumns;
    TColumnGroups Columns{true, true, true, true, true, true, true, true, true};
};

class EUsage : public Exception {
public:
    using Exception::Exception;
};

bool SameName(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

TColumnGroups ParseColumns(const std::string& list)
{
    TColumnGroups groups{};
    std::stringstream items(list);
    std::string name;
    while (std::getline(items, name, ',')) {
        int g = 0;
        while (g < kColumnGroupCount && !SameName(name, kGroupNames[g]))
            ++g;
        if (g == kColumnGroupCount)
            throw EUsage("unknown column group '" + name + "'");
        groups[g] = true;
    }
    return groups;
}

// A number option of --traverse, at least min (or above it when strict).
double TraverseNumber(const std::string& arg, const std::string& v, double min, bool strict)
{
    char* end = nullptr;
    const double x = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !std::isfinite(x) || x < min || (strict && x == min))
        throw EUsage(arg + (strict ? " takes a number above " : " takes a number from ") + Format("%g", min));
    return x;
}

// The options of --traverse; false for any other.
bool ParseTraverseOption(const std::string& arg, const std::function<std::string()>& value, TOptions& options)
{
    TTraverseSettings& s = options.TraverseSettings;
    if (arg == "--traverse") {
        options.Traverse = true;
        return true;
    }
    if (arg == "--angles") {
        const std::string v = value();
        if (v != "right" && v != "left")
            throw EUsage("--angles takes right or left");
        options.Angles = v == "right" ? TTraverseAngles::Right : TTraverseAngles::Left;
    } else if (arg == "--rule") {
        const std::string v = value();
        if (v == "compass")
            s.Rule = TTraverseRule::Compass;
        else if (v == "transit")
            s.Rule = TTraverseRule::Transit;
        else if (v == "least-squares")
            s.Rule = TTraverseRule::LeastSquares;
        else
            throw EUsage("--rule takes compass, transit or least-squares");
    } else if (arg == "--angle-limit") {
        s.AngleLimitSeconds = TraverseNumber(arg, value(), 0, false);
    } else if (arg == "--relative-limit") {
        s.RelativeLimitN = TraverseNumber(arg, value(), 1, false);
    } else if (arg == "--sigma-angle") {
        s.SigmaAngleSeconds = TraverseNumber(arg, value(), 0, true);
    } else if (arg == "--sigma-length-mm") {
        s.SigmaLengthMm = TraverseNumber(arg, value(), 0, false);
    } else if (arg == "--sigma-length-ppm") {
        s.SigmaLengthPpm = TraverseNumber(arg, value(), 0, false);
    } else if (arg == "--force") {
        options.Force = true;
    } else if (arg == "--sheet") {
        options.Sheet = true;
    } else {
        return false;
    }
    options.TraverseOptionSeen = true;
    return true;
}

TOptions ParseOptions(int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw EUsage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--digits") {
            const std::string v = value();
            if (v.size() != 1 || v[0] < '0' || v[0] > '7')
                throw EUsage("--digits takes 0..7");
            options.Digits = v[0] - '0';
            options.DigitsGiven = true;
        } else if (ParseTraverseOption(arg, value, options)) {
            // done there
        } else if (arg == "--closed") {
            options.Closed = true;
        } else if (arg == "--columns") {
            options.Columns = ParseColumns(value());
        } else if (arg == "--input-columns") {
            options.InputColumns = ParseColumns(value());
            if (!(*options.InputColumns)[cgCoordinates])
                throw EUsage("--input-columns must include Coordinates");
        } else if (arg == "--courses") {
            options.Courses = true;
        } else if (arg == "--mirrored" || arg == "--normal") {
            // Kept for older scripts; nothing in the table depends on the view.
        } else if (arg == "--decimal-separator") {
            const std::string v = value();
            if (v != "." && v != ",")
                throw EUsage("--decimal-separator takes '.' or ','");
            options.DecimalSeparator = v[0];
        } else if (arg == "--adjust") {
            options.Adjust = true;
        } else if (arg == "--summary") {
            options.Summary = true;
        } else if (arg == "--catalogue") {
            options.Catalogue = true;
        } else if (arg == "--mt" || arg == "--point-prefix" || arg == "--first-number" || arg == "--arc-tolerance") {
            const std::string v = value();
            options.CatalogueOptions = true;
            try {
                if (arg == "--mt")
                    options.CatalogueSettings.MtCm = ParseMtCm(v);
                else if (arg == "--point-prefix")
                    options.CatalogueSettings.PointPrefix = CheckPointPrefix(v);
                else if (arg == "--first-number")
                    options.CatalogueSettings.FirstNumber = ParseFirstNumber(v);
                else
                    options.CatalogueSettings.ArcTolerance = ParseArcTolerance(v);
            } catch (const EConvertError& e) {
                throw EUsage(arg + ": " + e.what());
            }
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            throw EUsage("unknown option " + arg);
        }
    }
    if (options.Courses && options.InputColumns)
        throw EUsage("--courses and --input-columns exclude each other");
    if (options.CatalogueOptions && !options.Catalogue)
        throw EUsage("--mt, --point-prefix, --first-number and --arc-tolerance go with --catalogue");
    if (options.Catalogue && (options.Adjust || options.Summary))
        throw EUsage("--catalogue excludes --adjust and --summary");
    if (options.TraverseOptionSeen && !options.Traverse)
        throw EUsage("--angles, --rule, the limits, the sigmas, --force and --sheet go with --traverse");
    if (options.Traverse && (options.Courses || options.InputColumns || options.Adjust || options.Closed))
        throw EUsage("--traverse excludes --courses, --input-columns, --adjust and --closed");
    if (options.TraverseSettings.SigmaLengthMm + options.TraverseSettings.SigmaLengthPpm == 0)
        throw EUsage("--sigma-length-mm and --sigma-length-ppm cannot both be 0");
    return options;
}

bool IsAngleText(const std::string& field)
{
    return field == "null" || field.find("\u00B0") != std::string::npos;
}

double NumberOrZero(const std::string& field, char decimalSeparator)
{
    return field.empty() ? 0 : ParseClipboardNumber(field, decimalSeparator);
}

// The rows of lines laid out as BuildClipboardText writes the groups: X and Y after the point
// number, the convexity after the angles. The copy leaves out a length that is not defined and
// the convexity of a straight edge, so the convexity is found after the angle texts where there
// are any, and otherwise after the length that every row but the first of an open contour has.
std::vector<TVertexRecord> ReadColumns(const TPasteBuffer& buffer, const TColumnGroups& groups, bool closed,
                                       char decimalSeparator)
{
    const int angleFields = (groups[cgLeftAngle] ? 1 : 0) + (groups[cgRightAngle] ? 1 : 0) +
                            (groups[cgDirectionAngle] ? 1 : 0);
    std::vector<TVertexRecord> rows;
    for (int line = 0; line < buffer.LineCount(); ++line) {
        int count = 0;
        for (int f = 0; f < TPasteBuffer::kMaxFields; ++f)
            if (!buffer.Cell(line, f).empty())
                count = f + 1;
        if (count == 0)
            continue;
        const int x = groups[cgPointNumber] ? 1 : 0;
        TVertexRecord row;
        row.X = NumberOrZero(buffer.Cell(line, x), decimalSeparator);
        row.Y = NumberOrZero(buffer.Cell(line, x + 1), decimalSeparator);
        if (groups[cgArcConvexity]) {
            int at = x + 2;
            if (angleFields > 0) {
                while (at < count && !IsAngleText(buffer.Cell(line, at)))
                    ++at;
                if (at + angleFields > count)
                    throw EConvertError(Format("line %d: %d angle fields expected", line + 1, angleFields));
                at += angleFields;
            } else if (groups[cgEdgeLength] && (closed || !rows.empty())) {
                ++at;
            }
            if (at < count)
                row.ArcConvexity = ParseClipboardNumber(buffer.Cell(line, at), decimalSeparator);
        }
        rows.push_back(row);
    }
    return rows;
}

// The default read is the paste's, which takes the first three fields whatever follows; a line
// with more is most likely a table written with other columns, so the user hears of it.
void WarnOfExtraFields(const TPasteBuffer& buffer)
{
    for (int line = 0; line < buffer.LineCount(); ++line)
        for (int f = 3; f < TPasteBuffer::kMaxFields; ++f)
            if (!buffer.Cell(line, f).empty()) {
                std::fprintf(stderr,
                             "coordtable: line %d has more than three fields; only X, Y and the convexity are "
                             "read (see --input-columns)\n",
                             line + 1);
                return;
            }
}

std::vector<TVertexRecord> ReadRows(const TOptions& options, const std::string& input)
{
    if (options.Courses) {
        const TCourseList list = ReadCourses(input, options.DecimalSeparator, true, true);
        std::vector<TVertexRecord> rows{{list.Start->X, list.Start->Y, 0}};
        const std::vector<TVertexRecord> traverse = TraverseVertices(*list.Start, list.Courses);
        rows.insert(rows.end(), traverse.begin(), traverse.end());
        return rows;
    }
    const TPasteBuffer buffer = SplitClipboardText(input);
    if (options.InputColumns)
        return ReadColumns(buffer, *options.InputColumns, options.Closed, options.DecimalSeparator);
    std::vector<TVertexRecord> rows = ParsePastedRows(buffer, options.DecimalSeparator);
    WarnOfExtraFields(buffer);
    return rows;
}

// A catalogue with problems: nothing to hand in, the problems are the message.
class ECatalogueProblems : public Exception {
public:
    using Exception::Exception;
};
// The traverse's stations as a table (or its sheet), and its misclosures with --summary. A
// misclosure over its limit is refused unless forced, before anything is written.
std::string RunTraverse(const TOptions& options, const std::string& input)
{
    const TTraverseInput traverse = ReadTraverse(input, options.DecimalSeparator, options.Angles);
    const TTraverseSheet sheet = ComputeTraverse(traverse, options.TraverseSettings);
    if (!options.Force)
        RefuseOverLimits(sheet);
    std::string text;
    if (options.Sheet) {
        text = FormatTraverseSheet(sheet, options.DigitsGiven ? options.Digits : 3, options.DecimalSeparator);
    } else {
        TTable table(std::make_unique<TNorthUpView>());
        for (const TFloatPoint& p : sheet.Vertices)
            table.AddRow(p, 0);
        table.SetClosed(traverse.Kind == TTraverseKind::Closed);
        text = BuildClipboardText(table, options.Columns, options.Digits, options.DecimalSeparator) + '\n';
    }
    if (options.Summary)
        text += '\n' + FormatTraverseSummary(sheet);
    return text;
}

std::string Run(const TOptions& options, const std::string& input)
{
    if (options.Traverse)
        return RunTraverse(options, input);
    const std::vector<TVertexRecord> rows = ReadRows(options, input);
    if (options.Catalogue) {
        // The contour is taken as closed whatever --closed says: a catalogue is of a parcel.
        const TCoordinateCatalogue catalogue(rows, true, options.CatalogueSettings);
        if (!catalogue.Valid()) {
            std::string text = CatalogueProblemsText(catalogue);
            text.pop_back();
            throw ECatalogueProblems(text);
        }
        return CatalogueExchangeText(catalogue);
    }
    TTable table(std::make_unique<TNorthUpView>());
    for (const TVertexRecord& row : rows)
        table.AddRow(FloatPoint(row.X, row.Y), row.ArcConvexity);
    table.SetClosed(options.Closed);
    if (options.Adjust)
        AdjustTraverse(table);
    std::string text = BuildClipboardText(table, options.Columns, options.Digits, options.DecimalSeparator);
    // Every line ends with LF, the last one too, so that a pipeline's next line starts afresh.
    if (!text.empty())
        text += '\n';
    if (options.Summary) {
        // One empty line parts the table from the figures.
        text += '\n';
        text += FormatFiguresSummary(ComputeContourFigures(table));
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // argv is in the ANSI code page, which cannot hold every character (a Cyrillic prefix turns
    // into '?'): the options are read from the wide command line as UTF-8 instead.
    std::vector<std::string> utf8Args;
    std::vector<char*> utf8Argv;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        for (int i = 0; i < argc; ++i) {
            const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
            arg.resize(std::strlen(arg.c_str()));
            utf8Args.push_back(std::move(arg));
        }
        ::LocalFree(wide);
        for (std::string& arg : utf8Args)
            utf8Argv.push_back(arg.data());
        utf8Argv.push_back(nullptr);
        argv = utf8Argv.data();
    }
#endif
    TOptions options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "coordtable: %s\n%s", e.what(), kUsage);
        return 2;
    }
    try {
        const std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        const std::string output = Run(options, input);
        // A full disk or a closed pipe must not pass for a table written.
        errno = 0;
        if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() || std::fflush(stdout) != 0 ||
            std::ferror(stdout)) {
            const int error = errno;
            std::fprintf(stderr, "coordtable: cannot write the output: %s\n",
                         error != 0 ? std::strerror(error) : "write error");
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
