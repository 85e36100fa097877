// The coordinate table: the vertices of one contour part (X, Y and the convexity of the edge
// ending at each vertex) with the derived columns the grid shows — edge length, left, right and
// direction angle, arc centre and radius — and setters that move vertices so that the geometry
// takes a typed derived value. Every change is announced to the notify target.
//
// The table owns its contour part (a counted reference) and its Host adapter; it borrows the
// notify target, which the editor window sets. It caches nothing: each derived value is
// recomputed from the rows.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Geomet.h"
#include "CoreLib/RefObjects.h"
#include "controls/SimpleGridTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The window message that announces a change of the table (posted, both parameters 0).
inline constexpr unsigned WM_TABLECHANGED = 0x0400 + 2;

// What the table asks of the Host: the current map-to-surface conversion of the map points
// (1, 0) and (0, 1). Failures are raised as exceptions.
class TTableHost {
public:
    virtual ~TTableHost() = default;
    virtual void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) = 0;
};

// A view with X up and Y to the right, as maps show them: for a table away from the map window.
class TNorthUpView : public TTableHost {
public:
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        xAxis = FloatPoint(1, 0);
        yAxis = FloatPoint(0, -1);
    }
};

// Receives one announcement per change (the window posts WM_TABLECHANGED).
class TTableNotifyTarget {
public:
    virtual ~TTableNotifyTarget() = default;
    virtual void PostTableChanged() = 0;
};

// A transform is mirrored when the images of the map axes have a cross product <= 0.
bool IsMirroredTransform(TFloatPoint xAxis, TFloatPoint yAxis);

enum TTableColumnKind : std::uint8_t;

// One range of TTable::ReplaceRows: rows [Start, Start + Count) become Rows.
struct TRowReplacement {
    std::int32_t Start = 0;
    std::int32_t Count = 0;
    std::span<const TVertexRecord> Rows;
};

// The pointer list the table's class derives from, as its callers know it; it stores nothing.
class TCoordinates : public TPointerList {};

class TTable : public TCoordinates {
public:
    explicit TTable(std::unique_ptr<TTableHost> host);
    ~TTable() override;

    void SetNotifyWindow(TTableNotifyTarget* target) { FNotifyWindow = target; }
    ContourParts::TContourPart& ContourPart() const { return *FContourPart; }
    std::int32_t Count() const { return FContourPart->Count(); }

    // Index -1 gives the last vertex and Count the first; other indexes must exist.
    TFloatPoint GetVertex(std::int32_t index) const;

    double GetX(std::int32_t i) const;
    double GetY(std::int32_t i) const;
    double GetArcConvexity(std::int32_t i) const;
    bool Closed() const { return FContourPart->Closed; }
    void SetX(std::int32_t i, double value);
    void SetY(std::int32_t i, double value);
    void SetArcConvexity(std::int32_t i, double value);
    void SetClosed(bool value);

    // Derived columns: -1 and "null" mark an undefined value.
    double GetEdgeLength(std::int32_t i) const;
    std::string GetLeftAngleText(std::int32_t i) const;
    std::string GetRightAngleText(std::int32_t i) const;
    // Both vertex angle texts of row i from one computation of the angle, as the two getters give them.
    void GetVertexAngleTexts(std::int32_t i, std::string& left, std::string& right) const;
    std::string GetDirectionAngleText(std::int32_t i) const;
    // The angles behind those texts, in radians, for a caller that lays the texts out itself
    // (AngleText of the left angle, of kTwoPi - it for the right one); false where the cell
    // shows "null" because the row has no such angle.
    bool GetVertexAngle(std::int32_t i, double& angle) const;
    bool GetDirectionAngle(std::int32_t i, double& angle) const;
    // The chord from row i - 1 to row i (Distance of the two vertices, wrapping as GetVertex
    // does), and GetEdgeLength and GetVertexAngle from chords already measured: the copy walks
    // the rows and measures each chord once for the edge length and both vertex angles it takes.
    double GetChord(std::int32_t i) const;
    double GetEdgeLength(std::int32_t i, double chord) const;
    bool GetVertexAngle(std::int32_t i, double& angle, double chordIn, double chordOut) const;
    double GetArcCenterX(std::int32_t i) const;
    double GetArcCenterY(std::int32_t i) const;
    double GetArcRadius(std::int32_t i) const;

    // Setters of derived values; angles in decimal degrees.
    void SetEdgeLength(std::int32_t i, double length);
    void SetLeftAngle(std::int32_t i, double degrees);
    void SetRightAngle(std::int32_t i, double degrees);
    void SetDirectionAngle(std::int32_t i, double degrees);
    void SetArcCenterX(std::int32_t i, double x);
    void SetArcCenterY(std::int32_t i, double y);

    // Row operations; each announces once (MoveRowUp/MoveRowDown only when they move).
    void AddRow(TFloatPoint point, double convexity);
    void InsertRow(std::int32_t i);
    void DeleteRow(std::int32_t i);
    void MoveRowUp(std::int32_t i);
    void MoveRowDown(std::int32_t i);

    // Applies the replacements in order, then sets the closed flag, with one announcement. Every
    // range is checked against the rows it will meet before anything changes.
    void ReplaceRows(std::span<const TRowReplacement> replacements, bool closed);
    void ReplaceRows(std::int32_t start, std::int32_t count, std::span<const TVertexRecord> rows, bool closed);

    // The rows (at most two, -1 for none) that the setter of column kind can move when row i is
    // typed into: what the history keeps of a typed cell. Kept beside the setters it describes.
    std::array<std::int32_t, 2> RowsMovedByCell(TTableColumnKind kind, std::int32_t i) const;

    // The number of change announcements made so far: the history tells by it whether the
    // table was changed behind its back.
    std::uint64_t ChangeCount() const { return FChangeCount; }

    // Asks the Host afresh on every call.
    bool ViewIsMirrored() const;

    static bool IsArc(double convexity) { return convexity != 0; }

private:
    void Changed() const;
    TVertexRecord& Row(std::int32_t i) const;
    void CheckRow(std::int32_t i) const;
    void MoveVertex(std::int32_t i, TFloatPoint p);
    bool HasIncomingEdge(std::int32_t i) const;
    bool HasVertexAngle(std::int32_t i) const;
    // The centre of row i's arc; false when the row is straight or its arc cannot be built.
    bool ArcCentre(std::int32_t i, TFloatPoint& centre) const;
    double ArcLength(TFloatPoint p, TFloatPoint q, double b) const;
    void SetSideAngle(std::int32_t i, double degrees);
    void ShiftEdge(std::int32_t i, bool alongX, double delta);
    void SetArcCenter(std::int32_t i, bool alongX, double value);

    std::unique_ptr<TTableHost> FHost;
    TRefHolder<ContourParts::TContourPart> FContourPart;
    TTableNotifyTarget* FNotifyWindow = nullptr;
    mutable std::uint64_t FChangeCount = 0;
};

// Auxiliary geometry of the columns.
TFloatPoint RotatePoint(TFloatPoint centre, TFloatPoint p, double degrees);
TFloatPoint PointAlong(TFloatPoint a, TFloatPoint b, double distance);
double PathLength(TFloatPoint a, TFloatPoint b, TFloatPoint c);
// Counter-clockwise turn at cur from cur->next to the continuation of prev->cur, in [0, 2*pi).
double VertexAngle(TFloatPoint prev, TFloatPoint cur, TFloatPoint next);
// The same from the chords Distance(prev, cur) and Distance(cur, next), for a caller that
// measures each chord once for the two rows it joins.
double VertexAngle(TFloatPoint prev, TFloatPoint cur, TFloatPoint next, double chordIn, double chordOut);

enum TTableColumnKind : std::uint8_t {
    ckPointNumber = 0,
    ckX = 1,
    ckY = 2,
    ckEdgeLength = 3,
    ckLeftAngle = 4,
    ckRightAngle = 5,
    ckDirectionAngle = 6,
    ckArcConvexity = 7,
    ckArcCenterX = 8,
    ckArcCenterY = 9,
    ckArcRadius = 10,
    ckNone = 255,
};

inline constexpr int kTableColumnCount = 11;

struct TTableColumn {
    bool Visible = true;
    std::int32_t Width = 100;
    std::string Caption;
    TSimpleGridDataType DataType = gdtNone;
};

class TTableColumns : public TObject {
public:
    TTableColumns();
    TTableColumn& operator[](TTableColumnKind kind) { return FColumns.at(kind); }
    const TTableColumn& operator[](TTableColumnKind kind) const { return FColumns.at(kind); }

private:
    std::array<TTableColumn, kTableColumnCount> FColumns;
};

const char* TableColumnCaption(TTableColumnKind kind);
// The kind whose caption equals caption exactly, or ckNone.
TTableColumnKind KindOfCaption(const std::string& caption);
