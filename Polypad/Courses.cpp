#include "Polypad/Courses.h"

#include "Polypad/ExchangeText.h"

#include <algorithm>
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
        if (seconds >= 60) {
            // Below 60 as written, 60 once read: more digits than a double keeps.
            const std::string wholeSeconds = parts[2].substr(0, parts[2].find_first_of(".,"));
            if (wholeSeconds.size() <= 2 && (wholeSeconds.empty() || std::stoi(wholeSeconds) < 60))
                throw EConvertError("направление «" + whole + "» не читается: секунды «" + parts[2] +
                                    "» округляются до 60 (точнее 15 значащих цифр число не хранит)");
            throw Unreadable(whole);
        }
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
        // Parts apart by blanks or by one dash with blanks around it if any: "45-30-15",
        // "45 30 15", "45 - 30 - 15". No leading dash (a minus), no two dashes, no trailing dash.
        std::string part;
        bool dash = false;
        for (const char c : text) {
            if (c == '-' || c == ' ') {
                if (c == '-') {
                    if (dash || (part.empty() && parts.empty()))
                        throw Unreadable(whole);
                    dash = true;
                }
                if (!part.empty())
                    parts.push_back(part);
                part.clear();
            } else {
                part += c;
                dash = false;
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

namespace {

// The text cut into lines at LF, CR LF or a CR alone (older Mac programs), after a UTF-8 byte
// order mark if there is one, and each line at TAB into fields. The paste's limits hold: a
// non-empty line past the 10001st is refused with its number.
std::vector<std::vector<std::string>> CourseLines(const std::string& text)
{
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::vector<std::vector<std::string>> lines;
    while (i <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> fields;
        if (end > i) {
            if (lines.size() >= static_cast<std::size_t>(TPasteBuffer::kMaxLines))
                throw ECourseError(static_cast<int>(lines.size()) + 1,
                                   Format("за один раз читается не больше %d строки", TPasteBuffer::kMaxLines));
            std::size_t fieldStart = i;
            for (;;) {
                const std::size_t tab = text.find('\t', fieldStart);
                if (tab == std::string::npos || tab >= end) {
                    fields.push_back(text.substr(fieldStart, end - fieldStart));
                    break;
                }
                fields.push_back(text.substr(fieldStart, tab - fieldStart));
                fieldStart = tab + 1;
            }
        }
        lines.push_back(std::move(fields));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        i = end + 1;
    }
    return lines;
}

bool ReadsAsNumber(const std::string& field, char decimalSeparator)
{
    try {
        ParseClipboardNumber(field, decimalSeparator);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

} // namespace

TCourseList ReadCourses(const std::string& text, char decimalSeparator, bool startAllowed, bool startRequired)
{
    const std::vector<std::vector<std::string>> lines = CourseLines(text);
    TCourseList list;
    bool first = true;
    int lastLine = 1;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const int number = static_cast<int>(line) + 1;
        std::vector<std::string> fields;
        for (const std::string& field : lines[line])
            fields.push_back(Trim(field));
        while (!fields.empty() && fields.back().empty())
            fields.pop_back();
        const std::size_t count = fields.size();
        if (count == 0)
            continue;
        lastLine = number;
        fields.resize(std::max<std::size_t>(count, 3));
        std::string a = fields[0], b = fields[1];
        const std::string& c = fields[2];
        auto readNumber = [&](const std::string& field, const char* what) {
            try {
                return ParseClipboardNumber(field, decimalSeparator);
            } catch (const EConvertError&) {
                throw ECourseError(number, std::string(what) + " «" + field + "» не читается");
            }
        };

        const bool plainNumber = ReadsAsNumber(a, decimalSeparator);
        const bool startShape = plainNumber && count == 2 && ReadsAsNumber(b, decimalSeparator);
        if (first && plainNumber && !startAllowed && startShape)
            throw ECourseError(number, "начальная точка задаётся только для пустой таблицы");
        if (first && plainNumber && startAllowed && (startRequired || startShape)) {
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

        // The first row of an open contour, as the table copies it: no edge comes to it.
        if (a == "null" && (count == 1 || ReadsAsNumber(b, decimalSeparator)) && count <= 2)
            continue;
        if (count < 2)
            throw ECourseError(number, "нужны направление и длина через табуляцию");
        if (count > 3)
            throw ECourseError(number, "больше трёх полей");
        // The table's own columns come length first ("Длина ребра" before "Дирекционный угол").
        if (plainNumber && !ReadsAsNumber(b, decimalSeparator))
            std::swap(a, b);
        TCourse course;
        course.Line = number;
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
        throw ECourseError(lastLine, "нет ни одного курса");
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

long double CourseChord(const TCourse& course)
{
    // The arc's central angle is 4 atan(k); its chord is the arc's length times
    // sin(θ/2) / (θ/2). A convexity the table draws as straight keeps the length as it is.
    if (std::fabs(course.Convexity) <= 1e-15)
        return course.Length;
    const long double half = 2 * std::atan(std::fabs(static_cast<long double>(course.Convexity)));
    return course.Length * (std::sin(half) / half);
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
        const long double chord = CourseChord(course);
        dx += chord * c;
        dy += chord * s;
        const TVertexRecord row{static_cast<double>(start.X + dx), static_cast<double>(start.Y + dy),
                                course.Convexity};
        // Lengths need only be finite each; their sum need not be, and no table takes an
        // infinite vertex.
        if (!std::isfinite(row.X) || !std::isfinite(row.Y))
            throw ECourseError(course.Line, "координаты вершины после этого курса выходят за пределы чисел");
        rows.push_back(row);
    }
    return rows;
}
