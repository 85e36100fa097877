// Angle texts: whole degrees, minutes and seconds, as in 90°0'0" (UTF-8 degree sign).
// FormatDegrees makes the text of an angle in radians; CleanDegreesText and ParseDegrees turn
// what the user typed back into decimal degrees.
#pragma once

#include <string>

inline constexpr const char* kDegreeSign = "\u00B0";
// Edit mask of the angle cells: three optional digits, the degree sign, two, the apostrophe,
// two, the double quote.
inline constexpr const char* kDegreesEditMask = "999\u00B099'99\"";

// Raises ERangeError for an angle that is not finite or too large for 32-bit degrees.
std::string FormatDegrees(long double radians);
// The same text written at out, which has room for kMaxDegreesText characters; returns its end.
inline constexpr int kMaxDegreesText = 40;
char* FormatDegreesInto(char* out, long double radians);
// Keeps only the digits, the degree sign, the apostrophe and the double quote.
std::string CleanDegreesText(const std::string& text);
// Decimal degrees of a cleaned degree text. Raises EConvertError for a field that is not a
// 32-bit integer and for a text that lacks one of the three signs.
double ParseDegrees(const std::string& text);
