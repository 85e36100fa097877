#include "Polypad/Courses.h"

#include "Polypad/ExchangeText.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* kDegree = "\u00B0";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

EConvertError Unreadable(const std::string& text)
{
    return EConvertError("направление «" + text + "» не читается");
}

// Whole degrees, whole minutes and seconds with an optional decimal part, each below its limit
// (the minutes and seconds below 60). Decimal degrees.
double AngleOfParts(const std::string& whole, const std::vector<std::string>& parts)
{
    if (parts.empty() || parts.size() > 3 || !AllDigits(parts[0]) || parts[0].size() > 3)
        throw Unreadable(whole);
    const double degrees = std::stoi(parts[0]);
    double minutes = 0, seconds = 0;
    if (parts.size() > 1) {
        if (!AllDigits(parts[1]) || parts[1].size() > 2 || (minutes = std::stoi(parts[1])) >= 60)
            throw Unreadable(whole);
    }
    if (parts.size() > 2) {
        // Seconds only may carry decimals; no sign, no exponent.
        for (const char c : parts[2])
            if (!(c >= '0' && c <= '9') && c != '.' && c != ',')
                throw Unreadable(whole);
        try {
            seconds = ParseClipboardNumber(parts[2], '.');
        } catch (const EConvertError&) {
            throw Unreadable(whole);
        }
        if (seconds >= 60)
            throw Unreadable(whole);
    }
    return degrees + minutes / 60 + seconds / 3600;
}

// 45°30'15" (trailing parts may be left out) or 45-30-15 / 45 30 15.
double ParseAngle(const std::string& whole, const std::string& text)
{
    std::vector<std::string> parts;
    const std::size_t degreeSign = text.find(kDegree);
    if (degreeSign != std::string::npos) {
        parts.push_back(Trim(text.substr(0, degreeSign)));
        std::string rest = Trim(text.substr(degreeSign + std::strlen(kDegree)));
        for (const char sign : {'\'', '"'}) {
            if (rest.empty())
                break;
            const std::size_t at = rest.find(sign);
            if (at == std::string::npos)
                throw Unreadable(whole);
            parts.push_back(Trim(rest.substr(0, at)));
            rest = Trim(rest.substr(at + 1));
        }
        if (!rest.empty())
            throw Unreadable(whole);
    } else {
        std::string part;
        for (const char c : text) {
            if (c == '-' || c == ' ') {
                if (!part.empty())
                    parts.push_back(part);
                else if (c == '-')
                    throw Unreadable(whole); // "45--30", a leading minus
                part.clear();
            } else {
                part += c;
            }
        }
        if (part.empty())
            throw Unreadable(whole); // a trailing '-'
        parts.push_back(part);
        // A bare number could be anything: decimal degrees, grads, a coordinate.
        if (parts.size() < 2)
            throw Unreadable(whole);
    }
    return AngleOfParts(whole, parts);
}

struct TQuadrant {
    const char* Names[4]; // Russian upper and lower case, Latin upper and lower case
    double Base;
    double Sign;
};

// r from the north or south end of X: СВ r, ЮВ 180 - r, ЮЗ 180 + r, СЗ 360 - r.
const TQuadrant kQuadrants[] = {
    {{"СВ", "св", "NE", "ne"}, 0, 1},
    {{"ЮВ", "юв", "SE", "se"}, 180, -1},
    {{"ЮЗ", "юз", "SW", "sw"}, 180, 1},
    {{"СЗ", "сз", "NW", "nw"}, 360, -1},
};

bool StartsWithName(const std::string& text, const char* name, std::size_t& after)
{
    const std::size_t n = std::strlen(name);
    if (text.size() <= n)
        return false;
    if (text.compare(0, n, name) != 0)
        return false;
    if (text[n] != ' ' && text[n] != ':')
        return false;
    after = n + 1;
    return true;
}

} // namespace

ECourseError::ECourseError(int line, const std::string& what)
    : Exception(Format("Строка %d: %s", line, what.c_str())), FLine(line)
{
}

double ParseCourseDirection(const std::string& raw)
{
    const std::string text = Trim(raw);
    for (const TQuadrant& q : kQuadrants) {
        for (const char* name : q.Names) {
            std::size_t after = 0;
            if (!StartsWithName(text, name, after))
                continue;
            const double r = ParseAngle(text, Trim(text.substr(after)));
            if (r > 90)
                throw EConvertError("угол румба «" + text + "» больше 90°");
            const double d = q.Base + q.Sign * r;
            return d >= 360 ? d - 360 : d;
        }
    }
    const double d = ParseAngle(text, text);
    if (d >= 360)
        throw EConvertError("направление «" + text + "» не меньше 360°");
    return d;
}

TCourseList ReadCourses(const std::string& text, char decimalSeparator, bool startAllowed, bool startRequired)
{
    const TPasteBuffer buffer = SplitClipboardText(text);
    TCourseList list;
    bool first = true;
    for (int line = 0; line < buffer.LineCount(); ++line) {
        const int number = line + 1;
        int count = 0;
        for (int f = 0; f < TPasteBuffer::kMaxFields; ++f)
            if (!Trim(buffer.Cell(line, f)).empty())
                count = f + 1;
        if (count == 0)
            continue;
        const std::string a = Trim(buffer.Cell(line, 0));
        const std::string b = Trim(buffer.Cell(line, 1));
        const std::string c = Trim(buffer.Cell(line, 2));
        auto readNumber = [&](const std::string& field, const char* what) {
            try {
                return ParseClipboardNumber(field, decimalSeparator);
            } catch (const EConvertError&) {
                throw ECourseError(number, std::string(what) + " «" + field + "» не читается");
            }
        };

        bool plainNumber = true;
        try {
            ParseClipboardNumber(a, decimalSeparator);
        } catch (const EConvertError&) {
            plainNumber = false;
        }
        if (first && plainNumber && !startAllowed && count == 2)
            throw ECourseError(number, "начальная точка задаётся только для пустой таблицы");
        if (first && plainNumber && startAllowed) {
            if (count != 2)
                throw ECourseError(number, "начальная точка — два числа, X и Y");
            const double x = readNumber(a, "X начальной точки");
            const double y = readNumber(b, "Y начальной точки");
            list.Start = FloatPoint(x, y);
            first = false;
            continue;
        }
        if (first && startRequired)
            throw ECourseError(number, "первой строкой нужна начальная точка: X и Y через табуляцию");
        first = false;

        if (count < 2)
            throw ECourseError(number, "нужны направление и длина через табуляцию");
        if (count > 3)
            throw ECourseError(number, "больше трёх полей");
        TCourse course;
        try {
            course.Direction = ParseCourseDirection(a);
        } catch (const EConvertError& e) {
            throw ECourseError(number, e.what());
        }
        course.Length = readNumber(b, "длина");
        if (!(course.Length > 0))
            throw ECourseError(number, "длина «" + b + "» не больше нуля");
        if (!c.empty())
            course.Convexity = readNumber(c, "кривизна дуги");
        list.Courses.push_back(course);
    }
    if (list.Courses.empty())
        throw ECourseError(buffer.LineCount() == 0 ? 1 : buffer.LineCount(), "нет ни одного курса");
    return list;
}

namespace {

// cos and sin of an angle in degrees, exact at the multiples of 90.
void CosSinDegrees(long double degrees, long double& c, long double& s)
{
    const long double quarter = std::floor(degrees / 90 + 0.5L);
    const long double r = (degrees - 90 * quarter) * (kPi / 180);
    const long double cr = std::cos(r), sr = std::sin(r);
    switch (static_cast<int>(std::fmod(quarter, 4.0L) + 4) % 4) {
    case 0: c = cr; s = sr; break;
    case 1: c = -sr; s = cr; break;
    case 2: c = -cr; s = -sr; break;
    default: c = sr; s = -cr; break;
    }
}

} // namespace

std::vector<TVertexRecord> TraverseVertices(TFloatPoint start, std::span<const TCourse> courses)
{
    std::vector<TVertexRecord> rows;
    rows.reserve(courses.size());
    // The increments add up apart from the start so that coordinates of millions keep the
    // increments' own precision.
    long double dx = 0, dy = 0;
    for (const TCourse& course : courses) {
        long double c = 0, s = 0;
        CosSinDegrees(course.Direction, c, s);
        dx += course.Length * c;
        dy += course.Length * s;
        rows.push_back({static_cast<double>(start.X + dx), static_cast<double>(start.Y + dy), course.Convexity});
    }
    return rows;
}
