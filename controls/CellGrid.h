// The scrollable cell grid that TSimpleGrid stands on: fixed header lines, column widths with
// user sizing, one row height, the current cell, scrolling with thumb tracking, horizontal grid
// lines, repaint of one cell, row, column or everything, and the in-place editor (a single-line
// edit with mask input over the current cell). Derived grids draw every cell and answer the
// hooks; the grid itself stores no cell data. Only the cells in view are ever asked for.
#pragma once

#include "controls/FormUtils.h"
#include "controls/GridLayout.h"
#include "controls/MaskEdit.h"

#include <functional>
#include <memory>
#include <string>

class TCellGrid;

struct TShiftState {
    bool Shift = false, Ctrl = false, Alt = false;
    bool None() const { return !Shift && !Ctrl && !Alt; }
    static TShiftState Current();
};

// The in-place editor: a subclassed single-line EDIT owned by the grid.
class TInplaceEdit : public TWindow {
public:
    explicit TInplaceEdit(TCellGrid& grid);
    TCellGrid& Grid() const { return FGrid; }
    // Loads text, mask and limit from the grid's hooks for the current cell.
    void UpdateContents();
    // Text as the grid sees it (mask blanks as spaces).
    std::string EditorText() const;
    // The edit control's own text (mask layout included).
    std::string EditText() const { return Text(); }
    const TEditMask& Mask() const { return FMask; }
    // Beeps and raises the mask error when the text is incomplete.
    void ValidateEdit() const;
    void SetReadOnly(bool readOnly);
    bool AllSelected() const;
    void SelectAll();
    bool Loading() const { return FLoading > 0; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Keys after the preview stage; true when consumed.
    virtual bool EditKeyDown(UINT key, TShiftState shift);
    bool MaskChar(wchar_t ch);
    bool MaskDelete();

    TCellGrid& FGrid;
    TEditMask FMask;
    int FLoading = 0;
};

class TCellGrid : public TWindow {
public:
    TCellGrid();
    ~TCellGrid() override;
    void CreateGrid(HWND parent, int x, int y, int width, int height);

    // counts and sizes
    int ColCount() const { return FGeom.ColCount(); }
    int RowCount() const { return FGeom.RowCount; }
    int FixedCols() const { return FGeom.FixedCols; }
    int FixedRows() const { return FGeom.FixedRows; }
    void SetColCount(int count);
    void SetRowCount(int count);
    void SetFixedCols(int count);
    void SetFixedRows(int count);
    int ColWidth(int col) const { return FGeom.ColWidths[static_cast<std::size_t>(col)]; }
    void SetColWidth(int col, int width);
    int DefaultColWidth() const { return FDefaultColWidth; }
    int DefaultRowHeight() const { return FGeom.RowHeight; }
    void SetDefaultColWidth(int width); // resets every column
    void SetDefaultRowHeight(int height);
    // Height of the fixed (header) rows; 0: the default row height.
    int HeaderHeight() const { return FGeom.FixedRowHeight(); }
    void SetHeaderHeight(int height);
    int GridLineWidth() const { return FGeom.LineWidth; }
    const TGridGeometry& Geometry() const { return FGeom; }

    // current cell and view
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    void FocusCell(int col, int row);
    void SetCol(int col) { FocusCell(col, FRow); }
    void SetRow(int row) { FocusCell(FCol, row); }
    void ScrollIntoView(int col, int row);
    int TopRow() const { return FGeom.TopRow; }
    int LeftCol() const { return FGeom.LeftCol; }
    int VisibleRows() const { return FGeom.VisibleRows(); }
    void SetTopRow(int row);
    void SetLeftCol(int col);
    RECT CellRect(int col, int row) const; // client coordinates; empty when out of view
    bool MouseToCell(int x, int y, int& col, int& row) const;

    void InvalidateCell(int col, int row) const;
    void InvalidateRow(int row) const;
    void InvalidateCol(int col) const;
    void InvalidateGrid() const;

    // editor
    bool EditorMode() const { return FEditorMode; }
    void SetEditorMode(bool on);
    void ShowEditor();
    void HideEditor();
    void InvalidateEditor(); // reload text, mask, limit
    TInplaceEdit* InplaceEditor() const { return FEditor.get(); }
    bool FocusedOrEditing() const;

    bool Enabled() const { return FHandle0() && ::IsWindowEnabled(Handle()); }
    void SetEnabled(bool enabled);
    HFONT Font() const { return FFont; }
    void SetFont(HFONT font);

    // the owner's key-down event, fired by the base key handling before its navigation
    std::function<void(TCellGrid&, UINT& key, TShiftState shift)> OnKeyDown;

    // Entry points of the in-place editor.
    virtual bool KeyPreview(UINT key, TShiftState shift); // true: consumed
    virtual void KeyDown(UINT& key, TShiftState shift);   // key := 0 when consumed
    virtual void KeyPress(wchar_t& ch);                   // ch := 0 when consumed
    void EditorLostFocus(HWND newFocus);
    void EditorTextChanged();
    void MoveFocusToNextControl(bool forward);

    // hooks
    virtual void DrawCell(HDC dc, int col, int row, RECT rect, bool selected, bool focused);
    virtual bool SelectCell(int col, int row);
    virtual bool CanEditShow() const;
    virtual bool CanEditModify() const;
    virtual std::string GetEditText(int col, int row);
    virtual void SetEditText(int col, int row, const std::string& text);
    virtual std::string GetEditMask(int col, int row);
    virtual int GetEditLimit();
    virtual std::unique_ptr<TInplaceEdit> CreateEditor();
    virtual RECT EditorRect(int col, int row, RECT cell);
    virtual void ColWidthsChanged() {}
    virtual void RowHeightsChanged() {}
    virtual void TopLeftChanged() {}
    virtual void Paint(HDC dc, const RECT& clip);
    virtual void FocusGained(bool fromEditor);
    virtual void FocusLost(HWND newFocus);
    virtual void EnabledChanged() { InvalidateGrid(); }
    virtual void Resized() {}

    COLORREF Color() const { return FColor; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnPaint();
    HDC BackBuffer(HDC screen, int width, int height);
    void OnSize(int cx, int cy);
    void OnScroll(int bar, int code);
    void OnLButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnLButtonUp(int x, int y);
    bool OnSetCursor();
    void OnWheel(int delta, bool horizontal);
    void UpdateScrollBars();
    void SetTopLeft(int top, int left);
    // After a scroll, what moved: below the fixed rows when only the rows scrolled, right of the
    // fixed columns when only the columns did, the whole grid when both did.
    void InvalidateScrolled(bool rowsMoved, bool colsMoved) const;
    void InvalidateArea(const RECT& r) const;
    void UpdateEditor();
    // Runs change with the scroll bars, the editor's place and the repaint held back, then does
    // each of them once if change asked for it: a layout of several steps otherwise redraws the
    // scroll bars and moves the editor once per step.
    template <class Change>
    void BatchWindowUpdates(Change change)
    {
        ++FBatchDepth;
        try {
            change();
        } catch (...) {
            --FBatchDepth;
            throw;
        }
        if (--FBatchDepth == 0)
            FlushWindowUpdates();
    }
    int SizingColumnAt(int x, int y) const;
    void ClampCurrent();
    bool FHandle0() const { return Handle() != nullptr; }

    TGridGeometry FGeom;
    int FDefaultColWidth = 64;
    int FCol = 0, FRow = 0;
    bool FEditorMode = false;
    std::unique_ptr<TInplaceEdit> FEditor;
    HFONT FFont = nullptr;
    TUniqueBitmap FBackBitmap; // selected into FBackDC, which goes first
    TUniqueMemoryDC FBackDC;
    SIZE FBackSize{};
    COLORREF FColor;
    int FSizingCol = -1;
    int FSizingOrigin = 0;
    bool FInFocusCell = false;

private:
    void FlushWindowUpdates();
    void SetScrollInfoIfChanged(int bar, const SCROLLINFO& si);

    int FBatchDepth = 0;
    bool FPendingScrollBars = false;
    bool FPendingFrame = false; // the frame (both scroll bars) is to be drawn with the next paint
    TWheelLines FWheelRows;
    TWheelLines FWheelCols;
    bool FPendingEditor = false;
    mutable bool FPendingInvalidate = false;
    mutable RECT FInvalid{}; // a part of the client area that waits for the next paint
};
