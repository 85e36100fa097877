#include "CoreLib/DecimalText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal exponent of the leading significant digit of a well-formed mantissa ("0.00123" gives
// -3, "1230" gives 3); false when every digit is zero.
bool LeadingExponent(std::string_view mantissa, long long& exponent)
{
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    exponent = first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return true;
}

} // namespace

TDecimalRead ReadDecimal(std::string_view text, double& value)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    for (; i < n && IsDigit(text[i]); ++i)
        ++digits;
    if (i < n && text[i] == '.')
        for (++i; i < n && IsDigit(text[i]); ++i)
            ++digits;
    if (digits == 0)
        return TDecimalRead::drInvalid;
    const std::string_view mantissa = text.substr(mantissaStart, i - mantissaStart);
    long long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        std::size_t exponentDigits = 0;
        for (; i < n && IsDigit(text[i]); ++i, ++exponentDigits)
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[i] - '0'); // saturates far beyond any double
        if (exponentDigits == 0)
            return TDecimalRead::drInvalid;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return TDecimalRead::drInvalid;

    // from_chars takes no '+' and never consults the locale.
    const std::string_view unsignedText = text.substr(mantissaStart);
    double magnitude = 0;
    const auto [ptr, ec] = std::from_chars(unsignedText.data(), unsignedText.data() + unsignedText.size(), magnitude);
    if (ptr != unsignedText.data() + unsignedText.size())
        return TDecimalRead::drInvalid;
    if (ec == std::errc::result_out_of_range) {
        long long leading = 0;
        if (!LeadingExponent(mantissa, leading))
            magnitude = 0;
        else if (leading + exponent < 0)
            magnitude = 0; // below the smallest double
        else
            return TDecimalRead::drOutOfRange;
    } else if (ec != std::errc() || !std::isfinite(magnitude)) {
        return TDecimalRead::drOutOfRange;
    }
    value = negative ? -magnitude : magnitude;
    return TDecimalRead::drOk;
}

std::string QuotedExcerpt(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    int continuations = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // A continuation byte belongs to the character before it, at most three to one: a run
        // of stray ones in text that is not UTF-8 counts as characters, so the piece stays short.
        if ((c & 0xC0) == 0x80 && chars > 0 && continuations < 3) {
            ++continuations;
            continue;
        }
        if (chars == maxChars)
            return std::string(text.substr(0, i)) + "…";
        ++chars;
        continuations = 0;
    }
    return std::string(text);
}
