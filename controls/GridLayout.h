// The grid's arithmetic without windows: data ↔ grid index mapping, cell kinds, the grid's
// counts per orientation, Tab order, the scrolled view's cell geometry and the drop-down popup's
// placement. Platform-free so that the rules are tested natively.
#pragma once

#include <cstdint>
#include <vector>

enum TSimpleGridOrientation : std::uint8_t { gorVertical = 0, gorHorizontal = 1 };
enum TSimpleGridRowHeader : std::uint8_t { grhNone = 0, grhNumber = 1, grhState = 2 };
enum TSimpleGridRowState : std::uint8_t { grsNormal = 0, grsModified = 1, grsNew = 2 };
enum TSimpleGridCellKind : std::uint8_t { gckNone = 0, gckColumnHeader = 1, gckRowHeader = 2, gckCorner = 3, gckData = 4 };

struct TGridPoint {
    int Col = 0;
    int Row = 0;
    friend bool operator==(TGridPoint, TGridPoint) = default;
};

struct TIntRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TIntRect&, const TIntRect&) = default;
};

// Mapping between data cells and the base grid's cells.
class TGridMapping {
public:
    TSimpleGridOrientation Orientation = gorVertical;
    TSimpleGridRowHeader RowHeader = grhNumber;
    int ColumnCount = 0;  // data columns
    int DataRowCount = 1; // data rows

    struct TCounts {
        int ColCount, RowCount, FixedCols, FixedRows;
    };
    TCounts Counts() const;
    TGridPoint DataToGrid(int dataCol, int dataRow) const;
    // Data cell of a grid cell, −1 for a coordinate outside the data.
    TGridPoint GridToData(int gridCol, int gridRow) const;
    TSimpleGridCellKind CellKind(int gridCol, int gridRow) const;
    bool IsDataCell(int dataCol, int dataRow) const
    {
        return dataCol >= 0 && dataCol < ColumnCount && dataRow >= 0 && dataRow < DataRowCount;
    }
    // Tab order with wrap; false when the target is outside the data.
    bool AdjacentCell(int dataCol, int dataRow, bool forward, TGridPoint& target) const;
};

// Digits of a positive count, as the row-number header is measured.
int DecimalDigits(int value);

// Geometry of a scrolled grid: fixed lines first, then the scrolled ones from LeftCol / TopRow.
// The scrolled rows share one height and the fixed (header) rows another; columns have their own
// widths. Grid lines are horizontal only: each row is followed by LineWidth pixels of line.
class TGridGeometry {
public:
    std::vector<int> ColWidths;
    int RowCount = 0;
    int FixedCols = 0;
    int FixedRows = 0;
    int RowHeight = 20;
    int HeaderHeight = 0; // of the fixed rows; 0: RowHeight
    int LineWidth = 1;
    int LeftCol = 0; // first scrolled column shown (≥ FixedCols)
    int TopRow = 0;  // first scrolled row shown (≥ FixedRows)
    int ClientWidth = 0;
    int ClientHeight = 0;

    int ColCount() const { return static_cast<int>(ColWidths.size()); }
    int FixedWidth() const;
    int FixedRowHeight() const { return HeaderHeight > 0 ? HeaderHeight : RowHeight; }
    int FixedHeight() const { return FixedRows * (FixedRowHeight() + LineWidth); }
    // Rectangle of a cell in client coordinates; empty when the cell is scrolled out of view.
    TIntRect CellRect(int col, int row) const;
    // Cell under a client point; false outside every cell.
    bool CellAt(int x, int y, TGridPoint& cell) const;
    // Scrolled lines that fit completely (at least 1).
    int VisibleRows() const;
    int VisibleCols() const;
    // Last row / column that may be shown first (scrolled fully to the end).
    int MaxTopRow() const;
    int MaxLeftCol() const;
    // The nearest TopRow / LeftCol that shows the cell completely.
    int TopRowShowing(int row) const;
    int LeftColShowing(int col) const;
    // Visible cells: [firstCol, lastCol] and [firstRow, lastRow] of the scrolled part.
    int LastVisibleRow() const;
    int LastVisibleCol() const;
    void Clamp();
};

// Placement of a drop-down popup under a cell (screen coordinates); it is right-aligned with the
// cell or opened above it when it would leave the work area and there is room.
TGridPoint PlacePopup(const TIntRect& cell, int width, int height, int workWidth, int workHeight);

// Wheel rotation turned into lines to scroll. A notch is 120 (WHEEL_DELTA); a precision touchpad
// sends much smaller deltas, which are kept until they make a whole line, so that slow two-finger
// scrolling moves the table too. A turn the other way drops what was kept.
class TWheelLines {
public:
    // A wheel's "a page per notch" setting (WHEEL_PAGESCROLL).
    static constexpr unsigned kPagePerNotch = 0xFFFFFFFFu;
    // Lines for this delta (positive when the delta is): linesPerNotch from the system's setting,
    // pageLines what a page scroll moves.
    int Take(int delta, unsigned linesPerNotch, int pageLines);

private:
    long long FKept = 0; // delta × lines per notch not yet turned into lines
};
