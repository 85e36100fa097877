#include "controls/SimpleGridValue.h"

#include "CoreLib/DecimalText.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

TFormatSettings GSettings;

[[noreturn]] void CastError(TVarType from, const char* to)
{
    throw EVariantError(Format("Could not convert variant of type (%s) into type (%s)", VarTypeName(from), to));
}

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const long long OleEpochDays = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// Fields of a picture in order of appearance: 'd', 'M', 'y', 'H' (any hour), 'm', 's', 't'.
std::string PictureFields(const std::string& picture)
{
    std::string fields;
    bool quoted = false;
    for (char c : picture) {
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        char f = c == 'h' ? 'H' : c;
        if (std::strchr("dMyHmst", f) && (fields.empty() || fields.back() != f))
            fields += f;
    }
    return fields;
}

// Splits text into runs of digits and runs of letters; other characters separate them.
struct TToken {
    bool Digits;
    std::string Text;
};
std::vector<TToken> Tokenize(const std::string& text)
{
    std::vector<TToken> tokens;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isdigit(c)) {
            std::size_t j = i;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            tokens.push_back({true, text.substr(i, j - i)});
            i = j;
        } else if (std::isalpha(c)) {
            std::size_t j = i;
            while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j])))
                ++j;
            tokens.push_back({false, text.substr(i, j - i)});
            i = j;
        } else {
            ++i;
        }
    }
    return tokens;
}

bool ToNumber(const TToken& t, int maxDigits, int& value)
{
    if (!t.Digits || t.Text.size() > static_cast<std::size_t>(maxDigits))
        return false;
    value = std::atoi(t.Text.c_str());
    return true;
}

bool ParseDateTokens(const std::vector<TToken>& tokens, std::size_t& pos, const TFormatSettings& fs, double& value)
{
    int y = 0, m = 0, d = 0;
    for (char f : PictureFields(fs.ShortDateFormat)) {
        if (f != 'd' && f != 'M' && f != 'y')
            continue;
        if (pos >= tokens.size())
            return false;
        int n = 0;
        if (!ToNumber(tokens[pos++], f == 'y' ? 4 : 2, n))
            return false;
        if (f == 'y') {
            const std::size_t digits = tokens[pos - 1].Text.size();
            y = digits <= 2 ? (n < 50 ? 2000 + n : 1900 + n) : n;
        } else if (f == 'M') {
            m = n;
        } else {
            d = n;
        }
    }
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    value = EncodeDate(y, m, d);
    return true;
}

bool ParseTimeTokens(const std::vector<TToken>& tokens, std::size_t& pos, const TFormatSettings& fs, double& value)
{
    int n[3] = {0, 0, 0};
    int count = 0;
    while (count < 3 && pos < tokens.size() && tokens[pos].Digits) {
        if (!ToNumber(tokens[pos], 2, n[count]))
            return false;
        ++pos;
        ++count;
    }
    if (count < 2)
        return false;
    if (pos < tokens.size() && !tokens[pos].Digits) {
        const std::string word = UpperCaseText(tokens[pos].Text);
        const bool am = word == UpperCaseText(fs.TimeAMString) || word == "AM";
        const bool pm = word == UpperCaseText(fs.TimePMString) || word == "PM";
        if (!am && !pm)
            return false;
        if (n[0] < 1 || n[0] > 12)
            return false;
        n[0] = n[0] % 12 + (pm ? 12 : 0);
        ++pos;
    }
    if (n[0] > 23 || n[1] > 59 || n[2] > 59)
        return false;
    value = EncodeTime(n[0], n[1], n[2]);
    return true;
}

} // namespace

const TFormatSettings& FormatSettings()
{
    return GSettings;
}

void SetFormatSettings(const TFormatSettings& settings)
{
    GSettings = settings;
}

const char* VarTypeName(TVarType type)
{
    switch (type) {
    case TVarType::Unassigned: return "Empty";
    case TVarType::Null: return "Null";
    case TVarType::Boolean: return "Boolean";
    case TVarType::Integer: return "Integer";
    case TVarType::Float: return "Double";
    case TVarType::Currency: return "Currency";
    case TVarType::DateTime: return "Date";
    case TVarType::String: return "String";
    }
    return "Unknown";
}

TGridValue TGridValue::Null()
{
    TGridValue v;
    v.FType = TVarType::Null;
    return v;
}
TGridValue TGridValue::Boolean(bool value)
{
    TGridValue v;
    v.FType = TVarType::Boolean;
    v.FBool = value;
    return v;
}
TGridValue TGridValue::Integer(std::int32_t value)
{
    TGridValue v;
    v.FType = TVarType::Integer;
    v.FInt = value;
    return v;
}
TGridValue TGridValue::Float(double value)
{
    TGridValue v;
    v.FType = TVarType::Float;
    v.FFloat = value;
    return v;
}
TGridValue TGridValue::Currency(TCurrency value)
{
    TGridValue v;
    v.FType = TVarType::Currency;
    v.FInt = value.Scaled;
    return v;
}
TGridValue TGridValue::DateTime(double oleDate)
{
    TGridValue v;
    v.FType = TVarType::DateTime;
    v.FFloat = oleDate;
    return v;
}
TGridValue TGridValue::String(std::string value)
{
    TGridValue v;
    v.FType = TVarType::String;
    v.FText = std::move(value);
    return v;
}

bool TGridValue::AsBoolean() const
{
    switch (FType) {
    case TVarType::Boolean: return FBool;
    case TVarType::Integer:
    case TVarType::Currency: return FInt != 0;
    case TVarType::Float:
    case TVarType::DateTime: return FFloat != 0;
    case TVarType::String: {
        const std::string u = UpperCaseText(TrimText(FText));
        if (u == "TRUE")
            return true;
        if (u == "FALSE")
            return false;
        double d = 0;
        if (ParseFloat(FText, d))
            return d != 0;
        break;
    }
    default: break;
    }
    CastError(FType, "Boolean");
}

std::int32_t TGridValue::AsInteger() const
{
    double d = 0;
    switch (FType) {
    case TVarType::Boolean: return FBool ? -1 : 0;
    case TVarType::Integer: return static_cast<std::int32_t>(FInt);
    case TVarType::Currency: d = static_cast<double>(FInt) / 10000.0; break;
    case TVarType::Float:
    case TVarType::DateTime: d = FFloat; break;
    case TVarType::String: {
        std::int32_t i = 0;
        if (ParseInteger(FText, i))
            return i;
        if (!ParseFloat(FText, d))
            CastError(FType, "Integer");
        break;
    }
    default: CastError(FType, "Integer");
    }
    d = std::nearbyint(d); // banker's rounding under the default rounding mode
    if (!(d >= -2147483648.0 && d <= 2147483647.0))
        throw EVariantError("Invalid variant operation: overflow");
    return static_cast<std::int32_t>(d);
}

double TGridValue::AsFloat() const
{
    switch (FType) {
    case TVarType::Boolean: return FBool ? -1 : 0;
    case TVarType::Integer: return static_cast<double>(FInt);
    case TVarType::Currency: return static_cast<double>(FInt) / 10000.0;
    case TVarType::Float:
    case TVarType::DateTime: return FFloat;
    case TVarType::String: {
        double d = 0;
        if (ParseFloat(FText, d))
            return d;
        break;
    }
    default: break;
    }
    CastError(FType, "Double");
}

TCurrency TGridValue::AsCurrency() const
{
    if (FType == TVarType::Currency)
        return TCurrency{FInt};
    if (FType == TVarType::Integer)
        return TCurrency{FInt * 10000};
    TCurrency c;
    if (!FloatToCurrency(AsFloat(), c))
        throw EVariantError("Invalid variant operation: overflow");
    return c;
}

double TGridValue::AsDateTime() const
{
    if (FType == TVarType::String) {
        double d = 0;
        if (ParseDateTime(FText, d) || ParseDate(FText, d) || ParseTime(FText, d))
            return d;
        CastError(FType, "Date");
    }
    if (FType == TVarType::Unassigned || FType == TVarType::Null)
        CastError(FType, "Date");
    return AsFloat();
}

std::string TGridValue::AsText() const
{
    switch (FType) {
    case TVarType::Unassigned: return {};
    case TVarType::Null: CastError(FType, "String");
    case TVarType::Boolean: return FBool ? "True" : "False";
    case TVarType::Integer: return std::to_string(FInt);
    case TVarType::Float: return FloatToText(FFloat);
    case TVarType::Currency: return CurrencyToText(TCurrency{FInt});
    case TVarType::DateTime: return DateTimeToText(FFloat);
    case TVarType::String: return FText;
    }
    return {};
}

bool TGridValue::SameAs(const TGridValue& other) const
{
    if (FType != other.FType)
        return false;
    switch (FType) {
    case TVarType::Unassigned:
    case TVarType::Null: return true;
    case TVarType::Boolean: return FBool == other.FBool;
    case TVarType::Integer:
    case TVarType::Currency: return FInt == other.FInt;
    case TVarType::Float:
    case TVarType::DateTime: return FFloat == other.FFloat;
    case TVarType::String: return FText == other.FText;
    }
    return false;
}

std::string FloatToText(double value, const TFormatSettings& fs)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    // printf's "%.15G" digits without its locale.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string s(buffer, written.ptr);
    for (char& c : s)
        if (c == 'e')
            c = 'E';
    // "1.5E+20" → "1,5E20", "1E-05" → "1E-5"
    const std::size_t e = s.find('E');
    if (e != std::string::npos) {
        std::string mantissa = s.substr(0, e);
        std::string exponent = s.substr(e + 1);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        std::size_t digits = exponent.find_first_not_of("+-");
        exponent = exponent.substr(digits);
        while (exponent.size() > 1 && exponent[0] == '0')
            exponent.erase(0, 1);
        s = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    for (char& c : s)
        if (c == '.')
            c = fs.DecimalSeparator;
    return s;
}

bool ParseFloat(const std::string& text, double& value, const TFormatSettings& fs)
{
    // Grammar: spaces, [sign], digits [sep digits] | sep digits, [E [sign] digits], spaces.
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digit = [&](std::size_t k) { return k < n && std::isdigit(static_cast<unsigned char>(text[k])); };
    while (i < n && text[i] == ' ')
        ++i;
    std::string normal;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        normal += text[i++];
    std::size_t mantissaDigits = 0;
    while (digit(i)) {
        normal += text[i++];
        ++mantissaDigits;
    }
    if (i < n && text[i] == fs.DecimalSeparator) {
        normal += '.';
        ++i;
        while (digit(i)) {
            normal += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'E';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            normal += text[i++];
        if (!digit(i))
            return false;
        while (digit(i))
            normal += text[i++];
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        return false;
    // Without the C runtime's locale, which a Host may have set to a decimal comma.
    return ReadDecimal(normal, value) == TDecimalRead::drOk;
}

bool ParseInteger(const std::string& text, std::int32_t& value)
{
    // Leading spaces and a sign are allowed, nothing after the digits.
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

std::string CurrencyToText(TCurrency value, const TFormatSettings& fs)
{
    const bool negative = value.Scaled < 0;
    const unsigned long long a = negative ? 0ULL - static_cast<unsigned long long>(value.Scaled)
                                          : static_cast<unsigned long long>(value.Scaled);
    std::string s = (negative ? "-" : "") + std::to_string(a / 10000);
    unsigned frac = static_cast<unsigned>(a % 10000);
    if (frac) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04u", frac);
        std::string f = buffer;
        while (f.back() == '0')
            f.pop_back();
        s += fs.DecimalSeparator;
        s += f;
    }
    return s;
}

bool FloatToCurrency(double value, TCurrency& result)
{
    const double scaled = std::nearbyint(value * 10000.0);
    if (!(scaled > -9.2233720368547758e18 && scaled < 9.2233720368547758e18))
        return false;
    result.Scaled = static_cast<std::int64_t>(scaled);
    return true;
}

double EncodeDate(int year, int month, int day)
{
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               OleEpochDays);
}

void DecodeDate(double oleDate, int& year, int& month, int& day)
{
    CivilFromDays(static_cast<long long>(std::floor(oleDate)) + OleEpochDays, year, month, day);
}

double EncodeTime(int hour, int minute, int second, int msec)
{
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
}

void DecodeTime(double oleDate, int& hour, int& minute, int& second, int& msec)
{
    const double frac = std::fabs(oleDate - std::trunc(oleDate));
    long long ms = static_cast<long long>(std::llround(frac * 86400000.0));
    if (ms >= 86400000)
        ms = 86399999;
    msec = static_cast<int>(ms % 1000);
    second = static_cast<int>(ms / 1000 % 60);
    minute = static_cast<int>(ms / 60000 % 60);
    hour = static_cast<int>(ms / 3600000);
}

std::string FormatDateTimePicture(const std::string& picture, double oleDate, const TFormatSettings& fs)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDate(oleDate, y, mo, d);
    DecodeTime(oleDate, h, mi, s, ms);
    std::string out;
    char buffer[16];
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            const std::size_t end = picture.find('\'', i + 1);
            out += picture.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? picture.size() : end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        auto number = [&](int v, bool twoDigits) {
            std::snprintf(buffer, sizeof buffer, twoDigits ? "%02d" : "%d", v);
            out += buffer;
        };
        switch (c) {
        case 'd': number(d, run >= 2); break;
        case 'M': number(mo, run >= 2); break;
        case 'y':
            if (run <= 2)
                number(y % 100, true);
            else
                number(y, false);
            break;
        case 'H': number(h, run >= 2); break;
        case 'h': number(h % 12 == 0 ? 12 : h % 12, run >= 2); break;
        case 'm': number(mi, run >= 2); break;
        case 's': number(s, run >= 2); break;
        case 't': out += h < 12 ? fs.TimeAMString : fs.TimePMString; break;
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}

std::string DateToText(double oleDate, const TFormatSettings& fs)
{
    return FormatDateTimePicture(fs.ShortDateFormat, oleDate, fs);
}

std::string TimeToText(double oleDate, const TFormatSettings& fs)
{
    return FormatDateTimePicture(fs.LongTimeFormat, oleDate, fs);
}

std::string DateTimeToText(double oleDate, const TFormatSettings& fs)
{
    std::string text = DateToText(oleDate, fs);
    if (oleDate != std::floor(oleDate))
        text += " " + TimeToText(oleDate, fs);
    return text;
}

bool ParseDate(const std::string& text, double& value, const TFormatSettings& fs)
{
    const auto tokens = Tokenize(text);
    std::size_t pos = 0;
    double d = 0;
    if (!ParseDateTokens(tokens, pos, fs, d) || pos != tokens.size())
        return false;
    value = d;
    return true;
}

bool ParseTime(const std::string& text, double& value, const TFormatSettings& fs)
{
    const auto tokens = Tokenize(text);
    std::size_t pos = 0;
    double t = 0;
    if (!ParseTimeTokens(tokens, pos, fs, t) || pos != tokens.size())
        return false;
    value = t;
    return true;
}

bool ParseDateTime(const std::string& text, double& value, const TFormatSettings& fs)
{
    const auto tokens = Tokenize(text);
    std::size_t pos = 0;
    double d = 0, t = 0;
    if (!ParseDateTokens(tokens, pos, fs, d))
        return false;
    if (pos < tokens.size() && !ParseTimeTokens(tokens, pos, fs, t))
        return false;
    if (pos != tokens.size())
        return false;
    value = d + t;
    return true;
}

std::u32string Utf8ToU32(const std::string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        out += cp;
    }
    return out;
}

std::string U32ToUtf8(const std::u32string& text)
{
    std::string out;
    for (char32_t cp : text) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string UpperCaseText(const std::string& text)
{
    std::u32string u = Utf8ToU32(text);
    for (char32_t& c : u) {
        if (c >= U'a' && c <= U'z')
            c -= 32;
        else if (c >= 0x430 && c <= 0x44F)
            c -= 0x20;
        else if (c >= 0x450 && c <= 0x45F)
            c -= 0x50;
    }
    return U32ToUtf8(u);
}

std::string TrimText(const std::string& text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}
