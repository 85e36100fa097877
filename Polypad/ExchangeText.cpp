#include "Polypad/ExchangeText.h"

#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// 15 significant digits of |v| (trailing zeros removed) and the exponent e of 0.d1d2... x 10^e.
void DecimalDigits(double v, std::string& digits, int& exponent)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(v));
    digits.clear();
    const char* p = buffer;
    for (; *p && *p != 'e' && *p != 'E'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    exponent = (*p ? static_cast<int>(std::strtol(p + 1, nullptr, 10)) : 0) + 1;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

bool IsBlank(char c) { return c == ' '; }

} // namespace

double RoundToDigits(double v, int digits)
{
    Assert(digits >= -37 && digits <= 37);
    const double q = static_cast<double>(std::pow(10.0L, -digits));
    const long double steps = std::nearbyint(static_cast<long double>(v) / q);
    return static_cast<double>(q * steps);
}

std::string FormatGeneral(double v, char decimalSeparator)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    if (v == 0)
        return "0";

    std::string digits;
    int e;
    DecimalDigits(v, digits, e);
    std::string text = v < 0 ? "-" : "";
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            text += '0';
            text += decimalSeparator;
            text.append(static_cast<std::size_t>(-e), '0');
            text += digits;
        } else {
            const std::size_t whole = static_cast<std::size_t>(e);
            if (digits.size() <= whole) {
                text += digits;
                text.append(whole - digits.size(), '0');
            } else {
                text += digits.substr(0, whole);
                text += decimalSeparator;
                text += digits.substr(whole);
            }
        }
    } else {
        text += digits[0];
        if (digits.size() > 1) {
            text += decimalSeparator;
            text += digits.substr(1);
        }
        text += 'E';
        text += std::to_string(e - 1);
    }
    return text;
}

std::string BuildClipboardText(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator)
{
    auto number = [&](double v) { return FormatGeneral(RoundToDigits(v, digits), decimalSeparator) + '\t'; };
    std::string text;
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        const std::size_t lineStart = text.size();
        if (visible[cgPointNumber])
            text += std::to_string(i + 1) + '\t';
        if (visible[cgCoordinates]) {
            text += number(table.GetX(i));
            text += number(table.GetY(i));
        }
        if (visible[cgEdgeLength]) {
            const double length = table.GetEdgeLength(i);
            if (length != -1)
                text += number(length);
        }
        if (visible[cgLeftAngle])
            text += table.GetLeftAngleText(i) + '\t';
        if (visible[cgRightAngle])
            text += table.GetRightAngleText(i) + '\t';
        if (visible[cgDirectionAngle])
            text += table.GetDirectionAngleText(i) + '\t';
        const bool isArc = table.GetArcConvexity(i) != 0;
        if (visible[cgArcConvexity] && isArc)
            text += number(table.GetArcConvexity(i));
        // An arc that cannot be built has no centre and no radius: they are left out rather than
        // written as the undefined marker, which would read as a coordinate.
        const double radius = isArc ? table.GetArcRadius(i) : -1;
        if (visible[cgArcCenter] && radius != -1) {
            text += number(table.GetArcCenterX(i));
            text += number(table.GetArcCenterY(i));
        }
        if (visible[cgArcRadius] && radius != -1)
            text += number(radius);
        if (text.size() > lineStart && text.back() == '\t')
            text.pop_back();
        text += '\n';
    }
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

const std::string& TPasteBuffer::Cell(int line, int field) const
{
    static const std::string empty;
    if (line < 0 || line >= LineCount() || field < 0 || field >= kMaxFields)
        return empty;
    return FLines[static_cast<std::size_t>(line)][static_cast<std::size_t>(field)];
}

void TPasteBuffer::Set(int line, int field, std::string text)
{
    if (line < 0 || line >= kMaxLines || field < 0 || field >= kMaxFields)
        throw ERangeError();
    if (line >= LineCount())
        FLines.resize(static_cast<std::size_t>(line) + 1);
    FLines[static_cast<std::size_t>(line)][static_cast<std::size_t>(field)] = std::move(text);
}

TPasteBuffer SplitClipboardText(const std::string& text)
{
    TPasteBuffer buffer;
    int line = 0;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        if (lineEnd > lineStart) {
            int field = 0;
            std::string current;
            for (std::size_t i = lineStart; i < lineEnd; ++i) {
                const char c = text[i];
                if (c == '\r')
                    continue;
                if (c == '\t') {
                    buffer.Set(line, field++, std::move(current));
                    current.clear();
                } else {
                    current += c;
                }
            }
            if (field > 0 || !current.empty())
                buffer.Set(line, field, std::move(current));
        }
        ++line;
        lineStart = lineEnd + 1;
    }
    return buffer;
}

double ParseClipboardNumber(const std::string& field, char decimalSeparator)
{
    auto invalid = [&] { return EConvertError(Format("'%s' is not a valid floating point value", field.c_str())); };

    std::size_t i = 0;
    std::size_t end = field.size();
    while (i < end && IsBlank(field[i]))
        ++i;
    while (end > i && IsBlank(field[end - 1]))
        --end;

    // A plain decimal number; either separator stands for the decimal point.
    std::string normal;
    if (i < end && (field[i] == '+' || field[i] == '-')) {
        if (field[i] == '-')
            normal += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    for (; i < end && field[i] >= '0' && field[i] <= '9'; ++i, ++mantissaDigits)
        normal += field[i];
    if (i < end && (field[i] == '.' || field[i] == ',' || field[i] == decimalSeparator)) {
        normal += '.';
        for (++i; i < end && field[i] >= '0' && field[i] <= '9'; ++i, ++mantissaDigits)
            normal += field[i];
    }
    if (mantissaDigits == 0)
        throw invalid();
    if (i < end && (field[i] == 'e' || field[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < end && (field[i] == '+' || field[i] == '-'))
            normal += field[i++];
        std::size_t exponentDigits = 0;
        for (; i < end && field[i] >= '0' && field[i] <= '9'; ++i, ++exponentDigits)
            normal += field[i];
        if (exponentDigits == 0)
            throw invalid();
    }
    if (i != end)
        throw invalid();

    double value = 0;
    const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ptr != normal.data() + normal.size())
        throw invalid();
    if (ec == std::errc::result_out_of_range) {
        // Too small to represent is zero; too large is not a coordinate.
        const std::size_t e = normal.find('e');
        const bool tiny = e != std::string::npos && normal.compare(e + 1, 1, "-") == 0;
        if (!tiny)
            throw invalid();
        value = normal[0] == '-' ? -0.0 : 0.0;
    } else if (ec != std::errc() || !std::isfinite(value)) {
        throw invalid();
    }
    return value;
}

std::vector<TVertexRecord> ParsePastedRows(const TPasteBuffer& buffer, char decimalSeparator)
{
    std::vector<TVertexRecord> rows;
    for (int line = 0; line < buffer.LineCount(); ++line) {
        if (buffer.Cell(line, 0).empty())
            continue;
        TVertexRecord row;
        double* fields[3] = {&row.X, &row.Y, &row.ArcConvexity};
        for (int f = 0; f < 3; ++f)
            if (!buffer.Cell(line, f).empty())
                *fields[f] = ParseClipboardNumber(buffer.Cell(line, f), decimalSeparator);
        rows.push_back(row);
    }
    return rows;
}
