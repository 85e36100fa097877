#include "Polypad/ExchangeText.h"

#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <cmath>

namespace {

// The 15 significant digits of |v| (trailing zeros removed) and the exponent e of 0.d1d2... x 10^e.
// to_chars gives printf's "%.14e" digits without its locale and at a fraction of its cost.
struct TDecimalDigits {
    char Digits[16];
    int Count;
    int Exponent;
};

TDecimalDigits DecimalDigits(double v)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v), std::chars_format::scientific, 14);
    TDecimalDigits d{};
    const char* p = buffer;
    for (; p != result.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            d.Digits[d.Count++] = *p;
    int exponent = 0;
    if (p != result.ptr) {
        ++p;
        if (*p == '+')
            ++p;
        std::from_chars(p, result.ptr, exponent);
    }
    d.Exponent = exponent + 1;
    while (d.Count > 1 && d.Digits[d.Count - 1] == '0')
        --d.Count;
    return d;
}

void AppendInteger(std::string& text, int value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

bool IsBlank(char c) { return c == ' '; }

// 10^-digits for digits -37..37, computed once with the same long double pow as before.
struct TRoundingSteps {
    long double Steps[75];
    TRoundingSteps()
    {
        for (int digits = -37; digits <= 37; ++digits)
            Steps[digits + 37] = std::pow(10.0L, -digits);
    }
};

// v as a whole number of steps of 10^-digits: v = q * n.
long double StepsOf(double v, int digits, double& q)
{
    Assert(digits >= -37 && digits <= 37);
    static const TRoundingSteps steps;
    q = static_cast<double>(steps.Steps[digits + 37]);
    return RoundTiesToEven(static_cast<long double>(v) / q);
}

// The general format of a number from its significant digits (no trailing zeros) and the
// exponent e of 0.d1d2... x 10^e. Laid out in a buffer and appended at once: string appends of
// a few characters each cost more than the layout.
void AppendLayout(std::string& text, bool negative, const char* digits, std::size_t count, int e, char decimalSeparator)
{
    char buffer[48];
    char* p = buffer;
    auto copy = [&p](const char* from, std::size_t n) {
        std::memcpy(p, from, n);
        p += n;
    };
    auto zeros = [&p](std::size_t n) {
        std::memset(p, '0', n);
        p += n;
    };
    if (negative)
        *p++ = '-';
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            *p++ = '0';
            *p++ = decimalSeparator;
            zeros(static_cast<std::size_t>(-e));
            copy(digits, count);
        } else {
            const std::size_t whole = static_cast<std::size_t>(e);
            if (count <= whole) {
                copy(digits, count);
                zeros(whole - count);
            } else {
                copy(digits, whole);
                *p++ = decimalSeparator;
                copy(digits + whole, count - whole);
            }
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = decimalSeparator;
            copy(digits + 1, count - 1);
        }
        *p++ = 'E';
        p = std::to_chars(p, buffer + sizeof buffer, e - 1).ptr;
    }
    text.append(buffer, p);
}

// The decimal digits of a whole 0 < n < 10^15 without trailing zeros; returns their count and
// the number of digits of n. In two halves of eight digits with 32-bit arithmetic and constant
// divisors: 64-bit division is a library call on 32-bit x86.
std::size_t WholeDigits(double n, char (&digits)[16], int& length)
{
    // n / 10^8 cannot round up to the next whole number: its spacing there is far below 10^-8.
    const auto high = static_cast<std::uint32_t>(static_cast<std::int32_t>(n / 1e8));
    auto low = static_cast<std::uint32_t>(static_cast<std::int32_t>(n - high * 1e8));
    char* p = digits;
    if (high) {
        p = std::to_chars(p, digits + 16, high).ptr;
        for (int k = 7; k >= 0; --k) {
            p[k] = static_cast<char>('0' + low % 10);
            low /= 10;
        }
        p += 8;
    } else {
        p = std::to_chars(p, digits + 16, low).ptr;
    }
    length = static_cast<int>(p - digits);
    while (p - digits > 1 && p[-1] == '0')
        --p;
    return static_cast<std::size_t>(p - digits);
}

} // namespace

double RoundToDigits(double v, int digits)
{
    double q;
    const long double n = StepsOf(v, digits, q);
    return static_cast<double>(q * n);
}

void AppendRounded(std::string& text, double v, int digits, char decimalSeparator)
{
    double q;
    const long double n = StepsOf(v, digits, q);
    // Below 10^15 steps the double q * n lies closer to n * 10^-digits than half a unit in the
    // 15th significant digit (q and the product are each off by at most 2^-53 relative), so its
    // 15 digits are those of n: no binary-to-decimal conversion is needed.
    if (n != 0 && std::fabs(n) < 1e15L) {
        char whole[16];
        int length;
        const std::size_t count = WholeDigits(static_cast<double>(std::fabs(n)), whole, length);
        AppendLayout(text, n < 0, whole, count, length - digits, decimalSeparator);
        return;
    }
    AppendGeneral(text, static_cast<double>(q * n), decimalSeparator);
}

void AppendGeneral(std::string& text, double v, char decimalSeparator)
{
    if (std::isnan(v)) {
        text += "NAN";
        return;
    }
    if (std::isinf(v)) {
        text += v < 0 ? "-INF" : "INF";
        return;
    }
    if (v == 0) {
        text += '0';
        return;
    }

    const TDecimalDigits d = DecimalDigits(v);
    AppendLayout(text, v < 0, d.Digits, static_cast<std::size_t>(d.Count), d.Exponent, decimalSeparator);
}

std::string FormatGeneral(double v, char decimalSeparator)
{
    std::string text;
    AppendGeneral(text, v, decimalSeparator);
    return text;
}

std::string BuildClipboardText(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator)
{
    auto number = [&](std::string& text, double v) {
        AppendRounded(text, v, digits, decimalSeparator);
        text += '\t';
    };
    auto angle = [](std::string& text, const std::string& angleText) {
        text += angleText;
        text += '\t';
    };
    std::string text;
    std::string leftAngle, rightAngle;
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        const std::size_t lineStart = text.size();
        if (visible[cgPointNumber]) {
            AppendInteger(text, i + 1);
            text += '\t';
        }
        if (visible[cgCoordinates]) {
            number(text, table.GetX(i));
            number(text, table.GetY(i));
        }
        if (visible[cgEdgeLength]) {
            const double length = table.GetEdgeLength(i);
            if (length != -1)
                number(text, length);
        }
        if (visible[cgLeftAngle] && visible[cgRightAngle]) {
            table.GetVertexAngleTexts(i, leftAngle, rightAngle);
            angle(text, leftAngle);
            angle(text, rightAngle);
        } else if (visible[cgLeftAngle]) {
            angle(text, table.GetLeftAngleText(i));
        } else if (visible[cgRightAngle]) {
            angle(text, table.GetRightAngleText(i));
        }
        if (visible[cgDirectionAngle])
            angle(text, table.GetDirectionAngleText(i));
        const bool isArc = table.GetArcConvexity(i) != 0;
        if (visible[cgArcConvexity] && isArc)
            number(text, table.GetArcConvexity(i));
        // An arc that cannot be built has no centre and no radius: they are left out rather than
        // written as the undefined marker, which would read as a coordinate.
        const double radius = isArc ? table.GetArcRadius(i) : -1;
        if (visible[cgArcCenter] && radius != -1) {
            number(text, table.GetArcCenterX(i));
            number(text, table.GetArcCenterY(i));
        }
        if (visible[cgArcRadius] && radius != -1)
            number(text, radius);
        if (text.size() > lineStart && text.back() == '\t')
            text.pop_back();
        text += '\n';
        // The first line's length sizes the whole text: one allocation instead of a doubling chain.
        if (i == 0)
            text.reserve(text.size() * static_cast<std::size_t>(table.Count()) * 5 / 4);
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
    // A field may be megabytes of text without a TAB or LF: the message quotes a readable piece.
    auto invalid = [&] {
        return EConvertError(Format("'%s' is not a valid floating point value", QuotedExcerpt(field).c_str()));
    };

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

    // Locale-free; a number beyond a double's range is refused, however its exponent is written.
    double value = 0;
    if (ReadDecimal(normal, value) != TDecimalRead::drOk)
        throw invalid();
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
