// The grid's cell value and the locale its texts follow; platform-free.
//
// TGridValue is a small variant (unassigned, null, boolean, integer, float, currency, date-time,
// string) that stays inside the module. TFormatSettings carries the locale parts the conversions
// need; the Win32 side fills it from the system (SystemFormatSettings in SimpleGrids) and tests
// inject their own through SetFormatSettings.
#pragma once

#include "CoreLib/Errors.h"

#include <cstdint>
#include <string>

// A value that cannot be converted to the type asked for.
class EVariantError : public Exception {
public:
    using Exception::Exception;
};

struct TFormatSettings {
    char DecimalSeparator = '.';
    // Windows-style pictures: d dd M MM yy yyyy, H HH h hh m mm s ss tt, '...' quoted literals.
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

enum class TVarType : std::uint8_t { Unassigned, Null, Boolean, Integer, Float, Currency, DateTime, String };

// Currency is a 64-bit count of 1/10000 units.
struct TCurrency {
    std::int64_t Scaled = 0;
    friend bool operator==(TCurrency, TCurrency) = default;
};

class TGridValue {
public:
    TGridValue() = default;
    static TGridValue Null();
    static TGridValue Boolean(bool value);
    static TGridValue Integer(std::int32_t value);
    static TGridValue Float(double value);
    static TGridValue Currency(TCurrency value);
    static TGridValue DateTime(double oleDate);
    static TGridValue String(std::string value);

    TVarType Type() const { return FType; }
    bool IsUnassigned() const { return FType == TVarType::Unassigned; }
    bool IsNull() const { return FType == TVarType::Null; }
    bool IsEmptyOrNull() const { return FType == TVarType::Unassigned || FType == TVarType::Null; }
    void Clear() { *this = TGridValue(); }

    // Conversions raise EVariantError for null, unassigned (except where noted) and bad text.
    bool AsBoolean() const;
    std::int32_t AsInteger() const;
    double AsFloat() const;
    TCurrency AsCurrency() const;
    double AsDateTime() const;
    // The variant's own text: unassigned → "", booleans "True"/"False", numbers and dates by locale.
    std::string AsText() const;

    // Same type and equal contents.
    bool SameAs(const TGridValue& other) const;

private:
    TVarType FType = TVarType::Unassigned;
    bool FBool = false;
    std::int64_t FInt = 0; // integer or scaled currency
    double FFloat = 0;     // float or OLE date (days since 1899-12-30)
    std::string FText;
};

const char* VarTypeName(TVarType type);

// Locale texts and parsers; Parse* return false on anything that is not a complete value.
std::string FloatToText(double value, const TFormatSettings& fs = FormatSettings());
bool ParseFloat(const std::string& text, double& value, const TFormatSettings& fs = FormatSettings());
bool ParseInteger(const std::string& text, std::int32_t& value);
std::string CurrencyToText(TCurrency value, const TFormatSettings& fs = FormatSettings());
bool FloatToCurrency(double value, TCurrency& result);

double EncodeDate(int year, int month, int day);
void DecodeDate(double oleDate, int& year, int& month, int& day);
double EncodeTime(int hour, int minute, int second, int msec = 0);
void DecodeTime(double oleDate, int& hour, int& minute, int& second, int& msec);
std::string FormatDateTimePicture(const std::string& picture, double oleDate, const TFormatSettings& fs);
std::string DateToText(double oleDate, const TFormatSettings& fs = FormatSettings());
std::string TimeToText(double oleDate, const TFormatSettings& fs = FormatSettings());
std::string DateTimeToText(double oleDate, const TFormatSettings& fs = FormatSettings());
bool ParseDate(const std::string& text, double& value, const TFormatSettings& fs = FormatSettings());
bool ParseTime(const std::string& text, double& value, const TFormatSettings& fs = FormatSettings());
bool ParseDateTime(const std::string& text, double& value, const TFormatSettings& fs = FormatSettings());

// UTF-8 helpers: upper case for ASCII and Cyrillic, trimming spaces, code-point strings.
std::string UpperCaseText(const std::string& text);
std::string TrimText(const std::string& text);
std::u32string Utf8ToU32(const std::string& text);
std::string U32ToUtf8(const std::u32string& text);
