// A traverse entered as courses: a direction and a length per edge, as a surveyor reads them
// from a plan or a legal description. The reader turns the text (one course a line,
// DIRECTION<TAB>LENGTH[<TAB>CONVEXITY], optionally after a start vertex X<TAB>Y) into courses,
// and the vertices are computed from a start point by adding the courses one after another.
// Platform-free; the window's "Вставить ход" and coordtable --courses both use it.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Errors.h"
#include "CoreLib/Geomet.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// A line that does not read as a course; the message names the line and what was wrong.
class ECourseError : public Exception {
public:
    ECourseError(int line, const std::string& what);
    int Line() const { return FLine; }

private:
    int FLine;
};

// A course in the terms the table writes its rows: the direction as "Дирекционный угол" gives it
// for the edge (its chord's), the length as "Длина ребра" gives it (an arc's own length), the
// convexity as "Кривизна дуги". So those three columns pasted as courses rebuild the contour.
struct TCourse {
    double Direction = 0; // decimal degrees, 0 <= d < 360, of the chord from +X toward +Y
    double Length = 0;    // > 0; of an arc, the arc's length
    double Convexity = 0; // of the arc over the course's chord; 0 for a straight edge
    int Line = 0;         // of the text the course was read from, for messages
};

struct TCourseList {
    std::optional<TFloatPoint> Start; // the start vertex line, when there was one
    std::vector<TCourse> Courses;
};

// A direction as the table writes it (45°30'15"), with '-' or blanks between its parts (45-30-15,
// 45 30 15, or degrees and minutes only), seconds possibly with decimals (either separator); or
// a quadrant bearing: СВ, ЮВ, ЮЗ, СЗ (NE, SE, SW, NW; upper or lower case), a blank or a colon, then
// an angle of 0..90° from the north or south end of the X axis. Returns decimal degrees in
// [0, 360); raises EConvertError with the reason (in Russian) otherwise.
double ParseCourseDirection(const std::string& text);

// Reads the whole text: lines end at LF, CR LF or CR, a UTF-8 byte order mark before the first is
// skipped. Empty lines are skipped, and a line "null" (the first row of an open contour as the
// table copies it). When startAllowed, a first line of two plain numbers is the start vertex;
// when startRequired it must be there. A course line is DIRECTION<TAB>LENGTH[<TAB>CONVEXITY], or
// LENGTH<TAB>DIRECTION[<TAB>CONVEXITY] as the table's columns come. Nothing is returned unless
// every line reads; a bad line, or a line past the paste's 10001, raises ECourseError.
TCourseList ReadCourses(const std::string& text, char decimalSeparator, bool startAllowed, bool startRequired);

// The vertex at the end of each course, starting from start: each course's convexity goes to the
// vertex it ends at. The sums run from the start point in extended precision, so a long traverse
// does not pile up the rounding of each vertex. A vertex that is not finite raises ECourseError
// with its course's line.
std::vector<TVertexRecord> TraverseVertices(TFloatPoint start, std::span<const TCourse> courses);
