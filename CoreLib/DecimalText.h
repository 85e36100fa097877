// Decimal numbers read from text without the C runtime's locale, and the piece of a bad text that
// an error message quotes. A Host may set a locale whose decimal separator is a comma; the
// readers here never look at it, so "452301.5" is 452301.5 whatever the process's locale is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class TDecimalRead { drOk, drInvalid, drOutOfRange };

// Reads the whole of text as [sign] digits [. digits] [e|E [sign] digits], the point being the
// decimal point (callers turn their separators into it); at least one mantissa digit. A number
// too small for a double reads as zero of its sign; one too large for it is drOutOfRange, decided
// by the magnitude of the whole number, not by the sign of its exponent alone. value is set only
// on drOk.
TDecimalRead ReadDecimal(std::string_view text, double& value);

// At most maxChars characters of UTF-8 text, cut at a character's boundary and marked with "…"
// where cut: what an error message quotes of a field that may be megabytes long.
std::string QuotedExcerpt(std::string_view text, std::size_t maxChars = 40);
