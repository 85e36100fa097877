// The exchange text of the vertex table: lines separated by LF, fields by TAB, no header.
// A copy writes the visible column groups as the grid shows them; a paste reads the first three
// fields of each line as X, Y and convexity. Platform-free: the decimal separator, the visible
// groups and the number of decimals are parameters.
#pragma once

#include "CoreLib/ContourParts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TTable;

// The nine column groups that the user shows and hides together, in grid order.
enum TColumnGroup : std::uint8_t {
    cgPointNumber,
    cgCoordinates,
    cgEdgeLength,
    cgLeftAngle,
    cgRightAngle,
    cgDirectionAngle,
    cgArcConvexity,
    cgArcCenter,
    cgArcRadius,
};
inline constexpr int kColumnGroupCount = 9;
using TColumnGroups = std::array<bool, kColumnGroupCount>;

// v rounded to digits decimals (-37..37), ties to even.
double RoundToDigits(double v, int digits);

// The general number format: 15 significant digits, fixed notation for decimal exponents -3..15
// (0.0001, 12.5), scientific otherwise (5E-5, 1E15), no trailing zeros.
std::string FormatGeneral(double v, char decimalSeparator);
// The same text appended to text, without a temporary string.
void AppendGeneral(std::string& text, double v, char decimalSeparator);
// AppendGeneral of RoundToDigits(v, digits), the copy's number text.
void AppendRounded(std::string& text, double v, int digits, char decimalSeparator);

std::string BuildClipboardText(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator);

// Up to 10001 lines of up to 12 fields each, as one paste reads them.
class TPasteBuffer {
public:
    static constexpr int kMaxLines = 10001;
    static constexpr int kMaxFields = 12;

    int LineCount() const { return static_cast<int>(FLines.size()); }
    // An absent cell reads as empty.
    const std::string& Cell(int line, int field) const;
    void Set(int line, int field, std::string text);

private:
    std::vector<std::array<std::string, kMaxFields>> FLines;
};

// Cuts text at LF into lines (CRs dropped) and each line at TAB into fields. A text with no LF
// is one line and a line with no TAB one field. A non-empty line beyond 10001, or a line of more
// than 12 fields, raises ERangeError ("Range check error") before anything is returned.
TPasteBuffer SplitClipboardText(const std::string& text);

// A pasted number; both '.' and ',' are taken as the decimal separator. Raises EConvertError
// "'%s' is not a valid floating point value" for anything else, infinities and NaN included.
double ParseClipboardNumber(const std::string& field, char decimalSeparator);

// The rows a paste makes of a buffer: one per line whose first field is not empty, X, Y and
// convexity from the first three fields (0 where empty). Every number is converted before any
// row is returned, so a failing field leaves the caller's table untouched.
std::vector<TVertexRecord> ParsePastedRows(const TPasteBuffer& buffer, char decimalSeparator);

// The clipboard's "HTML Format" of a fragment: the Version/StartHTML/EndHTML/StartFragment/
// EndFragment header with byte offsets of ten digits, then the document around the fragment.
std::string HtmlClipboardData(const std::string& fragment);
