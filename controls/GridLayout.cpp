#include "controls/GridLayout.h"

#include <algorithm>

TGridMapping::TCounts TGridMapping::Counts() const
{
    TCounts c{};
    const int lines = std::max(DataRowCount, 1) + 1;
    const bool header = RowHeader != grhNone;
    const int cols = std::max(ColumnCount, 1) + (header ? 1 : 0);
    if (Orientation == gorVertical) {
        c.RowCount = lines;
        c.FixedRows = 1;
        c.ColCount = cols;
        c.FixedCols = header ? 1 : 0;
    } else {
        c.ColCount = lines;
        c.FixedCols = 1;
        c.RowCount = cols;
        c.FixedRows = header ? 1 : 0;
    }
    return c;
}

TGridPoint TGridMapping::DataToGrid(int dataCol, int dataRow) const
{
    const TCounts c = Counts();
    if (Orientation == gorVertical)
        return {dataCol + c.FixedCols, dataRow + c.FixedRows};
    return {dataRow + c.FixedCols, dataCol + c.FixedRows};
}

TGridPoint TGridMapping::GridToData(int gridCol, int gridRow) const
{
    const TCounts c = Counts();
    TGridPoint p = Orientation == gorVertical ? TGridPoint{gridCol - c.FixedCols, gridRow - c.FixedRows}
                                              : TGridPoint{gridRow - c.FixedRows, gridCol - c.FixedCols};
    if (p.Col >= ColumnCount)
        p.Col = -1;
    if (p.Row >= DataRowCount)
        p.Row = -1;
    // Negative values stay as computed by the mapping; callers fold them to −1.
    if (p.Col < 0)
        p.Col = -1;
    if (p.Row < 0)
        p.Row = -1;
    return p;
}

TSimpleGridCellKind TGridMapping::CellKind(int gridCol, int gridRow) const
{
    const TCounts c = Counts();
    const int col = Orientation == gorVertical ? gridCol - c.FixedCols : gridRow - c.FixedRows;
    const int row = Orientation == gorVertical ? gridRow - c.FixedRows : gridCol - c.FixedCols;
    const bool colIn = col >= 0 && col < ColumnCount;
    const bool rowIn = row >= 0 && row < DataRowCount;
    if (colIn && rowIn)
        return gckData;
    if (col < 0 && row < 0)
        return gckCorner;
    if (col < 0 && rowIn)
        return gckRowHeader;
    if (row < 0 && colIn)
        return gckColumnHeader;
    return gckNone;
}

bool TGridMapping::AdjacentCell(int dataCol, int dataRow, bool forward, TGridPoint& target) const
{
    int col = dataCol, row = dataRow;
    if (Orientation == gorVertical) {
        col += forward ? 1 : -1;
        if (col >= ColumnCount) {
            col = 0;
            ++row;
        } else if (col < 0) {
            col = ColumnCount - 1;
            --row;
        }
    } else {
        row += forward ? 1 : -1;
        if (row >= DataRowCount) {
            row = 0;
            ++col;
        } else if (row < 0) {
            row = DataRowCount - 1;
            --col;
        }
    }
    target = {col, row};
    return IsDataCell(col, row);
}

int DecimalDigits(int value)
{
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

int TGridGeometry::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < FixedCols && c < ColCount(); ++c)
        w += ColWidths[static_cast<std::size_t>(c)];
    return w;
}

TIntRect TGridGeometry::CellRect(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount)
        return {};
    int x;
    if (col < FixedCols) {
        x = 0;
        for (int c = 0; c < col; ++c)
            x += ColWidths[static_cast<std::size_t>(c)];
    } else {
        if (col < LeftCol)
            return {};
        x = FixedWidth();
        for (int c = LeftCol; c < col; ++c) {
            x += ColWidths[static_cast<std::size_t>(c)];
            if (x >= ClientWidth)
                return {};
        }
    }
    int y;
    int height = RowHeight;
    if (row < FixedRows) {
        height = FixedRowHeight();
        y = row * (height + LineWidth);
    } else {
        if (row < TopRow)
            return {};
        const long long yy = FixedHeight() + static_cast<long long>(row - TopRow) * (RowHeight + LineWidth);
        if (yy >= ClientHeight)
            return {};
        y = static_cast<int>(yy);
    }
    if (x >= ClientWidth && col >= FixedCols)
        return {};
    return {x, y, x + ColWidths[static_cast<std::size_t>(col)], y + height};
}

bool TGridGeometry::CellAt(int x, int y, TGridPoint& cell) const
{
    if (x < 0 || y < 0 || x >= ClientWidth || y >= ClientHeight)
        return false;
    int col = -1;
    int left = 0;
    for (int c = 0; c < FixedCols && c < ColCount(); ++c) {
        if (x < left + ColWidths[static_cast<std::size_t>(c)]) {
            col = c;
            break;
        }
        left += ColWidths[static_cast<std::size_t>(c)];
    }
    if (col < 0) {
        for (int c = LeftCol; c < ColCount() && left < ClientWidth; ++c) {
            if (x < left + ColWidths[static_cast<std::size_t>(c)]) {
                col = c;
                break;
            }
            left += ColWidths[static_cast<std::size_t>(c)];
        }
    }
    if (col < 0)
        return false;
    int row;
    if (y < FixedHeight())
        row = y / (FixedRowHeight() + LineWidth);
    else
        row = TopRow + (y - FixedHeight()) / (RowHeight + LineWidth);
    if (row >= RowCount)
        return false;
    cell = {col, row};
    return true;
}

int TGridGeometry::VisibleRows() const
{
    const int pitch = RowHeight + LineWidth;
    return std::max(1, (ClientHeight - FixedHeight()) / pitch);
}

int TGridGeometry::VisibleCols() const
{
    int w = ClientWidth - FixedWidth();
    int n = 0;
    for (int c = LeftCol; c < ColCount(); ++c) {
        w -= ColWidths[static_cast<std::size_t>(c)];
        if (w < 0)
            break;
        ++n;
    }
    return std::max(1, n);
}

int TGridGeometry::MaxTopRow() const
{
    return std::max(FixedRows, RowCount - VisibleRows());
}

int TGridGeometry::MaxLeftCol() const
{
    int w = ClientWidth - FixedWidth();
    int c = ColCount() - 1;
    while (c > FixedCols && w - ColWidths[static_cast<std::size_t>(c)] >= ColWidths[static_cast<std::size_t>(c - 1)]) {
        w -= ColWidths[static_cast<std::size_t>(c)];
        --c;
    }
    return std::max(FixedCols, std::min(c, ColCount() - 1));
}

int TGridGeometry::TopRowShowing(int row) const
{
    if (row < FixedRows)
        return TopRow;
    if (row < TopRow)
        return row;
    const int rows = VisibleRows();
    if (row >= TopRow + rows)
        return std::max(FixedRows, row - rows + 1);
    return TopRow;
}

int TGridGeometry::LeftColShowing(int col) const
{
    if (col < FixedCols)
        return LeftCol;
    if (col < LeftCol)
        return col;
    int w = ClientWidth - FixedWidth();
    // Is col completely visible from LeftCol?
    int x = 0;
    for (int c = LeftCol; c <= col; ++c)
        x += ColWidths[static_cast<std::size_t>(c)];
    if (x <= w)
        return LeftCol;
    int left = col;
    int total = ColWidths[static_cast<std::size_t>(col)];
    while (left > FixedCols && total + ColWidths[static_cast<std::size_t>(left - 1)] <= w) {
        --left;
        total += ColWidths[static_cast<std::size_t>(left)];
    }
    return left;
}

int TGridGeometry::LastVisibleRow() const
{
    const int pitch = RowHeight + LineWidth;
    const int rows = (ClientHeight - FixedHeight() + pitch - 1) / pitch;
    return std::min(RowCount - 1, TopRow + std::max(rows, 1) - 1);
}

int TGridGeometry::LastVisibleCol() const
{
    int x = FixedWidth();
    int c = LeftCol;
    for (; c < ColCount(); ++c) {
        x += ColWidths[static_cast<std::size_t>(c)];
        if (x >= ClientWidth)
            break;
    }
    return std::min(c, ColCount() - 1);
}

void TGridGeometry::Clamp()
{
    TopRow = std::clamp(TopRow, FixedRows, std::max(FixedRows, MaxTopRow()));
    LeftCol = std::clamp(LeftCol, FixedCols, std::max(FixedCols, MaxLeftCol()));
}

TGridPoint PlacePopup(const TIntRect& cell, int width, int height, int workWidth, int workHeight)
{
    TGridPoint p{cell.Left, cell.Bottom};
    if (p.Col + width > workWidth && cell.Right - width >= 0)
        p.Col = cell.Right - width;
    if (p.Row + height > workHeight && cell.Top - height >= 0)
        p.Row = cell.Top - height;
    return p;
}

int TWheelLines::Take(int delta, unsigned linesPerNotch, int pageLines)
{
    constexpr long long kNotch = 120;
    const long long perNotch =
        linesPerNotch == kPagePerNotch ? std::max(pageLines, 1) : static_cast<long long>(std::min(linesPerNotch, 1000u));
    if ((delta > 0 && FKept < 0) || (delta < 0 && FKept > 0))
        FKept = 0;
    FKept += static_cast<long long>(delta) * perNotch;
    const long long lines = FKept / kNotch; // toward zero: the rest stays kept, with its sign
    FKept -= lines * kNotch;
    return static_cast<int>(lines);
}
