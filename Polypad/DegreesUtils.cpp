#include "Polypad/DegreesUtils.h"

#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace {

constexpr long double kRadToDeg = 57.295779513082320877L;

// "'%s' is not a valid integer value" unless text is an optional sign and decimal digits that
// fit 32 bits.
std::int32_t StrToInt(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t firstDigit = i;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            break;
    }
    if (negative)
        value = -value;
    if (i != text.size() || i == firstDigit || value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min())
        throw EConvertError(Format("'%s' is not a valid integer value", QuotedExcerpt(text).c_str()));
    return static_cast<std::int32_t>(value);
}

// The field between two sign positions; a sign right after the other gives 0.
std::int32_t FieldBetween(const std::string& text, std::size_t begin, std::size_t end)
{
    if (end == begin)
        return 0;
    return StrToInt(end > begin ? text.substr(begin, end - begin) : std::string());
}

} // namespace

char* FormatDegreesInto(char* out, long double radians)
{
    std::int32_t d, m, s;
    RadToDMS(radians, d, m, s);
    // By hand rather than through Format: a copy of 10^5 rows makes three angle texts per row.
    // Three 32-bit numbers of up to 11 characters and 5 bytes of signs fit kMaxDegreesText.
    char* p = std::to_chars(out, out + 12, d).ptr;
    for (const char* sign = kDegreeSign; *sign; ++sign)
        *p++ = *sign;
    p = std::to_chars(p, p + 12, m).ptr;
    *p++ = '\'';
    p = std::to_chars(p, p + 12, s).ptr;
    *p++ = '"';
    return p;
}

std::string FormatDegrees(long double radians)
{
    char buffer[kMaxDegreesText];
    return std::string(buffer, FormatDegreesInto(buffer, radians));
}

std::string CleanDegreesText(const std::string& text)
{
    const std::string degree = kDegreeSign;
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= '0' && c <= '9') || c == '\'' || c == '"') {
            result += c;
        } else if (text.compare(i, degree.size(), degree) == 0) {
            result += degree;
            i += degree.size() - 1;
        }
    }
    return result;
}

double ParseDegrees(const std::string& text)
{
    const std::string degree = kDegreeSign;
    const std::size_t degreePos = text.find(degree);
    const std::size_t minutePos = text.find('\'');
    const std::size_t secondPos = text.find('"');
    if (degreePos == std::string::npos || minutePos == std::string::npos || secondPos == std::string::npos)
        throw EConvertError(Format("'%s' is not a valid angle value", QuotedExcerpt(text).c_str()));

    const std::int32_t d = FieldBetween(text, 0, degreePos);
    const std::int32_t m = FieldBetween(text, degreePos + degree.size(), minutePos);
    const std::int32_t s = FieldBetween(text, minutePos + 1, secondPos);
    return static_cast<double>(DMSToRad(d, m, s) * kRadToDeg);
}
