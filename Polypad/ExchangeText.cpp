#include "Polypad/ExchangeText.h"

#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/DegreesUtils.h"

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

// Room for any number text these helpers write.
constexpr std::size_t kMaxNumberText = 48;

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
// exponent e of 0.d1d2... x 10^e, written at p (at most 15 digits, 15 zeros and three signs, or
// 15 digits, three signs and an exponent); returns its end.
char* LayoutInto(char* p, bool negative, const char* digits, std::size_t count, int e, char decimalSeparator)
{
    // Byte loops rather than memcpy and memset: for a few bytes the call costs more than the copy.
    auto copy = [&p](const char* from, std::size_t n) {
        for (const char* end = from + n; from != end;)
            *p++ = *from++;
    };
    auto zeros = [&p](std::size_t n) {
        for (; n; --n)
            *p++ = '0';
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
        p = std::to_chars(p, p + 8, e - 1).ptr;
    }
    return p;
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

char* GeneralInto(char* p, double v, char decimalSeparator)
{
    auto copy = [&p](const char* from) {
        const std::size_t n = std::strlen(from);
        std::memcpy(p, from, n);
        return p + n;
    };
    if (std::isnan(v))
        return copy("NAN");
    if (std::isinf(v))
        return copy(v < 0 ? "-INF" : "INF");
    if (v == 0)
        return copy("0");
    const TDecimalDigits d = DecimalDigits(v);
    return LayoutInto(p, v < 0, d.Digits, static_cast<std::size_t>(d.Count), d.Exponent, decimalSeparator);
}

// v rounded to digits decimals, as AppendRounded writes it, at p; returns its end.
char* RoundedInto(char* p, double v, int digits, char decimalSeparator)
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
        return LayoutInto(p, n < 0, whole, count, length - digits, decimalSeparator);
    }
    return GeneralInto(p, static_cast<double>(q * n), decimalSeparator);
}

// The text of an angle cell: "null" for an angle that is not finite.
char* AngleInto(char* p, long double radians)
{
    if (!std::isfinite(radians)) {
        std::memcpy(p, "null", 4);
        return p + 4;
    }
    return FormatDegreesInto(p, radians);
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
    char buffer[kMaxNumberText];
    text.append(buffer, RoundedInto(buffer, v, digits, decimalSeparator));
}

void AppendGeneral(std::string& text, double v, char decimalSeparator)
{
    char buffer[kMaxNumberText];
    text.append(buffer, GeneralInto(buffer, v, decimalSeparator));
}

std::string FormatGeneral(double v, char decimalSeparator)
{
    std::string text;
    AppendGeneral(text, v, decimalSeparator);
    return text;
}

std::string BuildClipboardText(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator)
{
    // Each line is laid out in a buffer and appended at once: appends of a field each cost more
    // than the fields' digits. Eight numbers, three angles and a row number fit it with room.
    char line[16 * kMaxNumberText];
    char* p = line;
    auto number = [&](double v) {
        p = RoundedInto(p, v, digits, decimalSeparator);
        *p++ = '\t';
    };
    auto angle = [&](long double radians) {
        p = AngleInto(p, radians);
        *p++ = '\t';
    };
    auto null = [&] {
        std::memcpy(p, "null\t", 5);
        p += 5;
    };
    // Each chord is measured once: as row i's outgoing chord and row i + 1's incoming one.
    const bool chords = visible[cgEdgeLength] || visible[cgLeftAngle] || visible[cgRightAngle];
    double chordOut = chords && table.Count() > 0 ? table.GetChord(0) : 0;
    std::string text;
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        p = line;
        const double chordIn = chordOut;
        if (chords)
            chordOut = table.GetChord(i + 1 < table.Count() ? i + 1 : 0);
        if (visible[cgPointNumber]) {
            p = std::to_chars(p, p + 12, i + 1).ptr;
            *p++ = '\t';
        }
        if (visible[cgCoordinates]) {
            number(table.GetX(i));
            number(table.GetY(i));
        }
        if (visible[cgEdgeLength]) {
            const double length = table.GetEdgeLength(i, chordIn);
            if (length != -1)
                number(length);
        }
        // The vertex angle once for both of its columns; the right one is kTwoPi less it,
        // unrounded, as the grid's cell has it.
        if (visible[cgLeftAngle] || visible[cgRightAngle]) {
            double vertexAngle;
            if (table.GetVertexAngle(i, vertexAngle, chordIn, chordOut)) {
                if (visible[cgLeftAngle])
                    angle(vertexAngle);
                if (visible[cgRightAngle])
                    angle(kTwoPi - vertexAngle);
            } else {
                if (visible[cgLeftAngle])
                    null();
                if (visible[cgRightAngle])
                    null();
            }
        }
        if (visible[cgDirectionAngle]) {
            double direction;
            if (table.GetDirectionAngle(i, direction))
                angle(direction);
            else
                null();
        }
        const bool isArc = table.GetArcConvexity(i) != 0;
        if (visible[cgArcConvexity] && isArc)
            number(table.GetArcConvexity(i));
        // An arc that cannot be built has no centre and no radius: they are left out rather than
        // written as the undefined marker, which would read as a coordinate.
        const double radius = isArc ? table.GetArcRadius(i) : -1;
        if (visible[cgArcCenter] && radius != -1) {
            number(table.GetArcCenterX(i));
            number(table.GetArcCenterY(i));
        }
        if (visible[cgArcRadius] && radius != -1)
            number(radius);
        if (p > line && p[-1] == '\t')
            --p;
        *p++ = '\n';
        text.append(line, p);
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

std::string HtmlClipboardData(const std::string& fragment)
{
    const char* const header =
        "Version:0.9\r\nStartHTML:%010llu\r\nEndHTML:%010llu\r\nStartFragment:%010llu\r\nEndFragment:%010llu\r\n";
    const std::string before = "<html>\r\n<head><meta charset=\"utf-8\"></head>\r\n<body>\r\n<!--StartFragment-->";
    const std::string after = "<!--EndFragment-->\r\n</body>\r\n</html>";
    const std::size_t headerLength = Format(header, 0ULL, 0ULL, 0ULL, 0ULL).size();
    const std::size_t startHtml = headerLength;
    const std::size_t startFragment = startHtml + before.size();
    const std::size_t endFragment = startFragment + fragment.size();
    const std::size_t endHtml = endFragment + after.size();
    return Format(header, static_cast<unsigned long long>(startHtml), static_cast<unsigned long long>(endHtml),
                  static_cast<unsigned long long>(startFragment), static_cast<unsigned long long>(endFragment)) + before + fragment + after;
}
