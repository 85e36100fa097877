#include "Polypad/Coordinates.h"

#include "CoreLib/Errors.h"
#include "Polypad/DegreesUtils.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr long double kDegToRad = kPi / 180;
constexpr long double kRadToDeg = 180 / kPi;

constexpr const char* kNoSuchRow = "Строка таблицы не существует";
constexpr const char* kNotFinite = "Значение не является конечным числом";
constexpr const char* kPositionUndefined = "Новое положение вершины не определено";
constexpr const char* kArcLengthOnStart = "Длина дуги не может быть нулевой или кратной длине окружности";
constexpr const char* kArcCentreUndefined = "Центр дуги не определён: дугу с такой кривизной построить нельзя";
constexpr const char* kAngleUndefined = "Угол не определён: вершина совпадает с предыдущей";

bool IsFinite(TFloatPoint p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

void RequireFinite(double value)
{
    if (!std::isfinite(value))
        throw Exception(kNotFinite);
}

double NumberOrUndefined(double value) { return std::isfinite(value) ? value : -1; }

std::string AngleText(long double radians)
{
    if (!std::isfinite(radians))
        return "null";
    return FormatDegrees(radians);
}

} // namespace

bool IsMirroredTransform(TFloatPoint xAxis, TFloatPoint yAxis)
{
    const long double cross = static_cast<long double>(xAxis.X) * yAxis.Y - static_cast<long double>(yAxis.X) * xAxis.Y;
    return cross <= 0;
}

TFloatPoint RotatePoint(TFloatPoint centre, TFloatPoint p, double degrees)
{
    const long double delta = degrees * kDegToRad;
    const long double c = std::cos(delta);
    const long double s = std::sin(delta);
    const long double dx = static_cast<long double>(p.X) - centre.X;
    const long double dy = static_cast<long double>(p.Y) - centre.Y;
    return FloatPoint(static_cast<double>(centre.X + c * dx - s * dy), static_cast<double>(centre.Y + s * dx + c * dy));
}

TFloatPoint PointAlong(TFloatPoint a, TFloatPoint b, double distance)
{
    if (SamePoint(a, b))
        return a;
    TCoordSys frame;
    frame.InitPoints(a, b);
    return frame.ToGlobal(FloatPoint(distance, 0));
}

double PathLength(TFloatPoint a, TFloatPoint b, TFloatPoint c)
{
    return static_cast<double>(static_cast<long double>(Distance(a, b)) + Distance(b, c));
}

double VertexAngle(TFloatPoint prev, TFloatPoint cur, TFloatPoint next)
{
    if (SamePoint(prev, cur) || SamePoint(cur, next) || SamePoint(prev, next))
        return 0;
    return VertexAngle(prev, cur, next, Distance(prev, cur), Distance(cur, next));
}

double VertexAngle(TFloatPoint prev, TFloatPoint cur, TFloatPoint next, double chordIn, double chordOut)
{
    if (SamePoint(prev, cur) || SamePoint(cur, next) || SamePoint(prev, next))
        return 0;
    // PathLength's sum from the chords it would measure.
    const double path = static_cast<double>(static_cast<long double>(chordIn) + chordOut);
    const TFloatPoint e = PointAlong(prev, cur, path);
    if (SamePoint(e, cur) || SamePoint(e, next))
        return 0;
    TCoordSys frame;
    frame.InitPoints(cur, next);
    return DirectionAngle(FloatPoint(0, 0), frame.ToLocal(e));
}

TTable::TTable(std::unique_ptr<TTableHost> host)
    : FHost(std::move(host)), FContourPart(new ContourParts::TContourPart)
{
}

TTable::~TTable()
{
    FContourPart->Clear();
}

void TTable::Changed() const
{
    ++FChangeCount;
    if (FNotifyWindow)
        FNotifyWindow->PostTableChanged();
}

void TTable::CheckRow(std::int32_t i) const
{
    Assert(i >= 0 && i < Count(), kNoSuchRow);
}

TVertexRecord& TTable::Row(std::int32_t i) const
{
    CheckRow(i);
    return FContourPart->Vertices[static_cast<std::size_t>(i)];
}

TFloatPoint TTable::GetVertex(std::int32_t index) const
{
    if (index == -1)
        index = Count() - 1;
    else if (index == Count())
        index = 0;
    const TVertexRecord& row = Row(index);
    return FloatPoint(row.X, row.Y);
}

double TTable::GetX(std::int32_t i) const { return Row(i).X; }
double TTable::GetY(std::int32_t i) const { return Row(i).Y; }
double TTable::GetArcConvexity(std::int32_t i) const { return Row(i).ArcConvexity; }

void TTable::SetX(std::int32_t i, double value)
{
    RequireFinite(value);
    Row(i).X = value;
    Changed();
}

void TTable::SetY(std::int32_t i, double value)
{
    RequireFinite(value);
    Row(i).Y = value;
    Changed();
}

void TTable::SetArcConvexity(std::int32_t i, double value)
{
    RequireFinite(value);
    Row(i).ArcConvexity = value;
    Changed();
}

void TTable::SetClosed(bool value)
{
    FContourPart->Closed = value;
    Changed();
}

void TTable::MoveVertex(std::int32_t i, TFloatPoint p)
{
    if (!IsFinite(p))
        throw Exception(kPositionUndefined);
    TVertexRecord& row = Row(i);
    row.X = p.X;
    row.Y = p.Y;
}

// Row 0 of an open part ends no edge.
bool TTable::HasIncomingEdge(std::int32_t i) const
{
    return Count() > 0 && !(i == 0 && !Closed());
}

// The first and last rows of an open part have no angle between two edges.
bool TTable::HasVertexAngle(std::int32_t i) const
{
    return Count() > 0 && !(!Closed() && (i == 0 || i == Count() - 1));
}

bool TTable::ArcCentre(std::int32_t i, TFloatPoint& centre) const
{
    if (Count() == 0 || !IsArc(Row(i).ArcConvexity))
        return false;
    double sweep;
    return ArcByConvexity(GetVertex(i - 1), GetVertex(i), Row(i).ArcConvexity, sweep, centre);
}

// The arc's own length: its central angle times the radius. The central angle is measured in
// the map's frame, so the result does not depend on how the view shows the map.
double TTable::ArcLength(TFloatPoint p, TFloatPoint q, double b) const
{
    double sweep;
    TFloatPoint c;
    const bool built = b > 0 ? ArcByConvexity(p, q, b, sweep, c) : ArcByConvexity(q, p, b, sweep, c);
    if (!built)
        return Distance(p, q); // drawn as a straight edge
    const double radius = Distance(c, p);
    if (SamePoint(p, q) || SamePoint(p, c) || SamePoint(q, c))
        return 0;
    TCoordSys frame;
    frame.InitPoints(c, q);
    const long double turnFromEndToStart = DirectionAngle(FloatPoint(0, 0), frame.ToLocal(p));
    return static_cast<double>((kTwoPi - turnFromEndToStart) * radius);
}

double TTable::GetEdgeLength(std::int32_t i) const
{
    if (!HasIncomingEdge(i))
        return -1;
    const TFloatPoint p = GetVertex(i - 1);
    const TFloatPoint q = GetVertex(i);
    const double b = Row(i).ArcConvexity;
    return NumberOrUndefined(IsArc(b) ? ArcLength(p, q, b) : Distance(p, q));
}

double TTable::GetChord(std::int32_t i) const { return Distance(GetVertex(i - 1), GetVertex(i)); }

double TTable::GetEdgeLength(std::int32_t i, double chord) const
{
    if (!HasIncomingEdge(i))
        return -1;
    const double b = Row(i).ArcConvexity;
    return IsArc(b) ? NumberOrUndefined(ArcLength(GetVertex(i - 1), GetVertex(i), b)) : NumberOrUndefined(chord);
}

bool TTable::GetVertexAngle(std::int32_t i, double& angle, double chordIn, double chordOut) const
{
    if (!HasVertexAngle(i))
        return false;
    angle = VertexAngle(GetVertex(i - 1), GetVertex(i), GetVertex(i + 1), chordIn, chordOut);
    return true;
}

std::string TTable::GetDirectionAngleText(std::int32_t i) const
{
    if (!HasIncomingEdge(i))
        return "null";
    return AngleText(DirectionAngle(GetVertex(i - 1), GetVertex(i)));
}

bool TTable::GetDirectionAngle(std::int32_t i, double& angle) const
{
    if (!HasIncomingEdge(i))
        return false;
    angle = DirectionAngle(GetVertex(i - 1), GetVertex(i));
    return true;
}

bool TTable::GetVertexAngle(std::int32_t i, double& angle) const
{
    if (!HasVertexAngle(i))
        return false;
    angle = VertexAngle(GetVertex(i - 1), GetVertex(i), GetVertex(i + 1));
    return true;
}

std::string TTable::GetLeftAngleText(std::int32_t i) const
{
    if (!HasVertexAngle(i))
        return "null";
    return AngleText(VertexAngle(GetVertex(i - 1), GetVertex(i), GetVertex(i + 1)));
}

std::string TTable::GetRightAngleText(std::int32_t i) const
{
    if (!HasVertexAngle(i))
        return "null";
    return AngleText(kTwoPi - VertexAngle(GetVertex(i - 1), GetVertex(i), GetVertex(i + 1)));
}

void TTable::GetVertexAngleTexts(std::int32_t i, std::string& left, std::string& right) const
{
    if (!HasVertexAngle(i)) {
        left = right = "null";
        return;
    }
    const double angle = VertexAngle(GetVertex(i - 1), GetVertex(i), GetVertex(i + 1));
    left = AngleText(angle);
    right = AngleText(kTwoPi - angle);
}

double TTable::GetArcCenterX(std::int32_t i) const
{
    TFloatPoint c;
    return ArcCentre(i, c) ? NumberOrUndefined(c.X) : -1;
}

double TTable::GetArcCenterY(std::int32_t i) const
{
    TFloatPoint c;
    return ArcCentre(i, c) ? NumberOrUndefined(c.Y) : -1;
}

double TTable::GetArcRadius(std::int32_t i) const
{
    TFloatPoint c;
    return ArcCentre(i, c) ? NumberOrUndefined(Distance(c, GetVertex(i - 1))) : -1;
}

void TTable::SetDirectionAngle(std::int32_t i, double degrees)
{
    if (i == 0 && !Closed())
        return;
    RequireFinite(degrees);
    const TFloatPoint p = GetVertex(i - 1);
    const TFloatPoint q = GetVertex(i);
    const double theta = DirectionAngle(p, q);
    const TFloatPoint onXAxis = RotatePoint(p, q, static_cast<double>(-theta * kRadToDeg));
    MoveVertex(i, RotatePoint(p, onXAxis, degrees));
    Changed();
}

// Row 0 of an open part has no edge whose length could be set, as its empty cell shows.
void TTable::SetEdgeLength(std::int32_t i, double length)
{
    if (i == 0 && !Closed())
        return;
    RequireFinite(length);
    const TFloatPoint p = GetVertex(i - 1);
    const TFloatPoint q = GetVertex(i);
    const double b = Row(i).ArcConvexity;
    TFloatPoint c;
    if (IsArc(b) && ArcCentre(i, c)) {
        const double radius = Distance(c, p);
        double delta = static_cast<double>(length / radius * kRadToDeg);
        if (b < 0)
            delta = -delta;
        const TFloatPoint end = RotatePoint(c, p, delta);
        if (!IsFinite(end))
            throw Exception(kPositionUndefined);
        if (SamePoint(end, p))
            throw Exception(kArcLengthOnStart);
        const double convexity = ConvexityByCenter(p, c, end, b < 0);
        SetArcConvexity(i, convexity);
        MoveVertex(i, end);
    } else {
        MoveVertex(i, PointAlong(p, q, length));
    }
    Changed();
}

void TTable::SetSideAngle(std::int32_t i, double degrees)
{
    RequireFinite(degrees);
    const TFloatPoint p = GetVertex(i - 1);
    const TFloatPoint q = GetVertex(i);
    const TFloatPoint n = GetVertex(i + 1);
    // With the incoming edge undefined the next vertex would collapse onto this one.
    if (SamePoint(p, q))
        throw Exception(kAngleUndefined);
    const TFloatPoint continuation = PointAlong(p, q, PathLength(p, q, n));
    const std::int32_t next = i + 1 == Count() ? 0 : i + 1;
    MoveVertex(next, RotatePoint(q, continuation, degrees));
    Changed();
}

void TTable::SetLeftAngle(std::int32_t i, double degrees)
{
    if (!HasVertexAngle(i))
        return;
    SetSideAngle(i, -degrees);
}

void TTable::SetRightAngle(std::int32_t i, double degrees)
{
    if (!HasVertexAngle(i))
        return;
    SetSideAngle(i, degrees);
}

// Moves both ends of row i's edge along one axis, keeping radius and convexity.
void TTable::ShiftEdge(std::int32_t i, bool alongX, double delta)
{
    const std::int32_t previous = i == 0 ? Count() - 1 : i - 1;
    const TFloatPoint p = GetVertex(previous);
    const TFloatPoint q = GetVertex(i);
    const double newP = (alongX ? p.X : p.Y) + delta;
    const double newQ = (alongX ? q.X : q.Y) + delta;
    if (!std::isfinite(newP) || !std::isfinite(newQ))
        throw Exception(kPositionUndefined);
    if (alongX) {
        SetX(previous, newP);
        SetX(i, newQ);
    } else {
        SetY(previous, newP);
        SetY(i, newQ);
    }
    Changed();
}

void TTable::SetArcCenter(std::int32_t i, bool alongX, double value)
{
    if (!IsArc(Row(i).ArcConvexity))
        return;
    RequireFinite(value);
    TFloatPoint c;
    if (!ArcCentre(i, c))
        throw Exception(kArcCentreUndefined);
    ShiftEdge(i, alongX, value - (alongX ? c.X : c.Y));
}

void TTable::SetArcCenterX(std::int32_t i, double x) { SetArcCenter(i, true, x); }
void TTable::SetArcCenterY(std::int32_t i, double y) { SetArcCenter(i, false, y); }

void TTable::AddRow(TFloatPoint point, double convexity)
{
    TVertexRecord& row = FContourPart->AddVertex();
    row.X = point.X;
    row.Y = point.Y;
    row.ArcConvexity = convexity;
    Changed();
}

void TTable::InsertRow(std::int32_t i)
{
    Assert(i >= 0 && i <= Count(), kNoSuchRow);
    FContourPart->Vertices.insert(FContourPart->Vertices.begin() + i, TVertexRecord{});
    Changed();
}

void TTable::DeleteRow(std::int32_t i)
{
    if (i > Count() - 1)
        i = Count() - 1;
    if (i >= 0)
        FContourPart->DeleteVertex(i);
    Changed();
}

void TTable::MoveRowUp(std::int32_t i)
{
    if (i <= 0)
        return;
    std::swap(Row(i - 1), Row(i));
    Changed();
}

void TTable::MoveRowDown(std::int32_t i)
{
    if (i < 0 || i == Count() - 1)
        return;
    std::swap(Row(i), Row(i + 1));
    Changed();
}

void TTable::ReplaceRows(std::span<const TRowReplacement> replacements, bool closed)
{
    std::int64_t count = Count();
    for (const TRowReplacement& r : replacements) {
        Assert(r.Start >= 0 && r.Count >= 0 && static_cast<std::int64_t>(r.Start) + r.Count <= count, kNoSuchRow);
        count += static_cast<std::int64_t>(r.Rows.size()) - r.Count;
    }
    Assert(count <= INT32_MAX, kNoSuchRow);
    std::vector<TVertexRecord>& vertices = FContourPart->Vertices;
    for (const TRowReplacement& r : replacements) {
        const auto at = vertices.begin() + r.Start;
        const std::size_t kept = std::min(static_cast<std::size_t>(r.Count), r.Rows.size());
        std::copy_n(r.Rows.begin(), kept, at);
        if (r.Rows.size() > kept)
            vertices.insert(at + static_cast<std::ptrdiff_t>(kept), r.Rows.begin() + static_cast<std::ptrdiff_t>(kept),
                            r.Rows.end());
        else
            vertices.erase(at + static_cast<std::ptrdiff_t>(kept), at + r.Count);
    }
    FContourPart->Closed = closed;
    Changed();
}

void TTable::ReplaceRows(std::int32_t start, std::int32_t count, std::span<const TVertexRecord> rows, bool closed)
{
    const TRowReplacement replacement{start, count, rows};
    ReplaceRows(std::span(&replacement, 1), closed);
}

// Follows the setters above: the point setters and the edge's own values move row i alone, the
// side angles the next vertex (SetSideAngle), the arc centre both ends of the edge (ShiftEdge).
std::array<std::int32_t, 2> TTable::RowsMovedByCell(TTableColumnKind kind, std::int32_t i) const
{
    switch (kind) {
    case ckX:
    case ckY:
    case ckArcConvexity:
    case ckEdgeLength:
    case ckDirectionAngle: return {i, -1};
    case ckLeftAngle:
    case ckRightAngle: return {i + 1 == Count() ? 0 : i + 1, -1};
    case ckArcCenterX:
    case ckArcCenterY: return {i == 0 ? Count() - 1 : i - 1, i};
    default: return {-1, -1};
    }
}

bool TTable::ViewIsMirrored() const
{
    Assert(FHost != nullptr);
    TFloatPoint xAxis, yAxis;
    FHost->MapAxesToSurface(xAxis, yAxis);
    return IsMirroredTransform(xAxis, yAxis);
}

namespace {

struct TColumnDefinition {
    const char* Caption;
    TSimpleGridDataType DataType;
};

constexpr TColumnDefinition kColumnDefinitions[kTableColumnCount] = {
    {"Номер точки", gdtInteger},    {"X", gdtDouble},           {"Y", gdtDouble},
    {"Длина ребра", gdtDouble},     {"Левый угол", gdtString},  {"Правый угол", gdtString},
    {"Дирекционный угол", gdtString}, {"Кривизна дуги", gdtDouble}, {"Центр дуги X", gdtDouble},
    {"Центр дуги Y", gdtDouble},    {"Радиус дуги", gdtDouble},
};

} // namespace

TTableColumns::TTableColumns()
{
    for (int kind = 0; kind < kTableColumnCount; ++kind) {
        FColumns[kind].Caption = kColumnDefinitions[kind].Caption;
        FColumns[kind].DataType = kColumnDefinitions[kind].DataType;
    }
}

const char* TableColumnCaption(TTableColumnKind kind)
{
    return kind < kTableColumnCount ? kColumnDefinitions[kind].Caption : "";
}

TTableColumnKind KindOfCaption(const std::string& caption)
{
    for (int kind = 0; kind < kTableColumnCount; ++kind)
        if (caption == kColumnDefinitions[kind].Caption)
            return static_cast<TTableColumnKind>(kind);
    return ckNone;
}
