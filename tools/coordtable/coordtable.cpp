// coordtable: reads the exchange text of a vertex table on standard input as a paste reads it
// (X, Y, convexity) and writes it back as a copy writes it, with the derived columns; with
// --summary, the contour's figures follow as name/value lines; --adjust closes an open traverse
// first.
#include "CoreLib/Errors.h"
#include "Polypad/ContourFigures.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const kGroupNames[kColumnGroupCount] = {
    "PointNumber", "Coordinates", "EdgeLength", "LeftAngle", "RightAngle",
    "DirectionAngle", "ArcConvexity", "ArcCenter", "ArcRadius",
};

const char* const kUsage =
    "usage: coordtable [options] < table.txt\n"
    "Reads tab-separated lines of X, Y and arc convexity and writes the vertex table with its\n"
    "derived columns in the same exchange format.\n"
    "  --digits N               decimals of the numbers written, 0..7 (default 7)\n"
    "  --closed                 the contour is closed (default open)\n"
    "  --columns LIST           comma-separated column groups (default all): PointNumber,\n"
    "                           Coordinates, EdgeLength, LeftAngle, RightAngle, DirectionAngle,\n"
    "                           ArcConvexity, ArcCenter, ArcRadius\n"
    "  --mirrored | --normal    orientation of the map view the table reports (default mirrored);\n"
    "                           lengths are true lengths in either\n"
    "  --decimal-separator C    '.' or ',' (default '.'); both are read on input\n"
    "  --adjust                 closes the open traverse by the compass rule before writing\n"
    "  --summary                after the table and an empty line, the contour's figures as\n"
    "                           name<TAB>value lines at full precision: vertices, perimeter, area,\n"
    "                           orientation (closed) or vertices, length, gap_dx, gap_dy, gap,\n"
    "                           relative_error_n (open); null where a figure is undefined\n";

// The view orientation stands for the Host's map window.
class TFixedOrientation : public TTableHost {
public:
    explicit TFixedOrientation(bool mirrored) : FMirrored(mirrored) {}
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        xAxis = FloatPoint(1, 0);
        yAxis = FloatPoint(0, FMirrored ? -1 : 1);
    }

private:
    bool FMirrored;
};

struct TOptions {
    int Digits = 7;
    bool Closed = false;
    bool Mirrored = true;
    char DecimalSeparator = '.';
    bool Adjust = false;
    bool Summary = false;
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
        } else if (arg == "--closed") {
            options.Closed = true;
        } else if (arg == "--columns") {
            options.Columns = ParseColumns(value());
        } else if (arg == "--mirrored") {
            options.Mirrored = true;
        } else if (arg == "--normal") {
            options.Mirrored = false;
        } else if (arg == "--decimal-separator") {
            const std::string v = value();
            if (v != "." && v != ",")
                throw EUsage("--decimal-separator takes '.' or ','");
            options.DecimalSeparator = v[0];
        } else if (arg == "--adjust") {
            options.Adjust = true;
        } else if (arg == "--summary") {
            options.Summary = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            throw EUsage("unknown option " + arg);
        }
    }
    return options;
}

std::string Run(const TOptions& options, const std::string& input)
{
    const std::vector<TVertexRecord> rows = ParsePastedRows(SplitClipboardText(input), options.DecimalSeparator);
    TTable table(std::make_unique<TFixedOrientation>(options.Mirrored));
    for (const TVertexRecord& row : rows)
        table.AddRow(FloatPoint(row.X, row.Y), row.ArcConvexity);
    table.SetClosed(options.Closed);
    if (options.Adjust)
        AdjustTraverse(table);
    std::string text = BuildClipboardText(table, options.Columns, options.Digits, options.DecimalSeparator);
    if (options.Summary) {
        // The table's last line has no LF; one empty line then parts the table from the figures.
        if (!text.empty())
            text += '\n';
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
        std::fwrite(output.data(), 1, output.size(), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
