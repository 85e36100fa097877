// TSimpleGrid: a virtual data grid on TCellGrid. It stores no cell values: the owner supplies
// them through OnGetDataValue and takes typed values back through OnSetDataValue. Data rows are
// grid rows (vertical) or grid columns (horizontal); a header row shows the column captions and
// an optional row header shows numbers or row-state marks. The grid owns its columns, the null
// display settings, the row-state images and its two small buttons (drop-down and dialog).
#pragma once

#include "controls/CellGrid.h"
#include "controls/DropDownLists.h"
#include "controls/SimpleGridColumns.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum TSimpleGridOption : std::uint8_t { sgoReturnUseForMoveNext = 0, sgoCtr0UseForSetNull = 1 };
using TSimpleGridOptions = std::uint8_t; // bit set of TSimpleGridOption
constexpr TSimpleGridOptions SgoBit(TSimpleGridOption o) { return static_cast<TSimpleGridOptions>(1u << o); }

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TSimpleGridDataView {
    std::string Text;
    TColor BackgroundColor = clWindow;
    TColor FontColor = clWindowText;
    std::uint8_t FontStyle = 0;
    std::string FontName;
    int FontSize = 8;
    wchar_t PasswordChar = 0;
};

struct TSimpleGridDataEditor {
    std::string Text;
    TSimpleGridDropDownType DropDown = gddNone;
    bool CustomDialog = false;
    bool TextEditable = false;
    std::string EditMask;
    int EditLimit = 0;
    bool Nullable = false;
    wchar_t PasswordChar = 0;
};

struct TSimpleGridDataLookup {
    std::string Text;
    bool Cancel = false;
    std::shared_ptr<IDropDownList> List;
};

class TSimpleGrid;

// Flat button drawn with a font glyph; one click per timer period at most.
class TSimpleButton : public TWindow {
public:
    enum TState : std::uint8_t { sbsNormal, sbsHot, sbsPressed };
    enum TGlyph : std::uint8_t { sbgDialog, sbgDropDown };
    explicit TSimpleButton(HWND parent);
    ~TSimpleButton() override;
    void SetGlyph(TGlyph glyph);
    TGlyph Glyph() const { return FGlyph; }
    TState State() const { return FState; }
    int GlyphWidth() const;
    std::function<void()> OnClick;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetState(TState state);
    void OnPaint();
    void StartTimer();
    void StopTimer();
    bool CursorInside() const;
    HFONT GlyphFont() const;
    TGlyph FGlyph = sbgDialog;
    TState FState = sbsNormal;
    bool FClickSuppressed = false;
    bool FTimerOn = false;
    TUniqueFont FMarlett, FWingdings;
};

class TSimpleGrid : public TCellGrid, private TSimpleGridColumnsOwner {
public:
    TSimpleGrid();
    ~TSimpleGrid() override;
    void CreateGrid(HWND parent, int x, int y, int width, int height);

    TSimpleGridColumns& Columns() { return FColumns; }
    void SetColumns(const TSimpleGridColumns& columns);
    TSimpleGridOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TSimpleGridOrientation value);
    TSimpleGridRowHeader RowHeader() const { return FRowHeader; }
    void SetRowHeader(TSimpleGridRowHeader value);
    int DataRowCount() const { return FDataRowCount; }
    void SetDataRowCount(int value);
    TNullDisplayParams& NullDisplayParams() { return FNullDisplay; }
    void SetNullDisplayParams(const TNullDisplayParams& value) { FNullDisplay = value; }
    TSimpleGridOptions OptionsEx() const { return FOptionsEx; }
    void SetOptionsEx(TSimpleGridOptions value) { FOptionsEx = value; }
    bool HasOption(TSimpleGridOption o) const { return (FOptionsEx & SgoBit(o)) != 0; }

    int DataCol() const { return FDataCol; }
    int DataRow() const { return FDataRow; }
    void SetDataCol(int value) { MoveToDataCell(value, FDataRow); }
    void SetDataRow(int value) { MoveToDataCell(FDataCol, value); }
    const TSimpleGridDataEditor& Editor() const { return FEditorRec; }
    const std::string& LoadedText() const { return FLoadedText; }
    bool SkipApplyOnFocusLoss() const { return FSkipApplyOnFocusLoss; }
    TSimpleButton& DropDownButton() { return *FDropDownButton; }
    TSimpleButton& DialogButton() { return *FDialogButton; }
    bool IsDataCell(int dataCol, int dataRow) const { return Mapping().IsDataCell(dataCol, dataRow); }
    TGridMapping Mapping() const;
    TGridPoint DataToGrid(int dataCol, int dataRow) const { return Mapping().DataToGrid(dataCol, dataRow); }
    // Screen rectangle of the current cell.
    RECT CurrentCellScreenRect() const;

    void MoveToDataCell(int dataCol, int dataRow);
    // The data cell under a screen point becomes current; false over no data cell.
    bool MoveToDataCellAt(POINT screen);
    void InvalidateData(int dataCol, int dataRow);
    // Repaints a data row (a column when horizontal) without loading the cell editor again, for
    // a caller that changes several rows and syncs the current cell once.
    void InvalidateDataRow(int dataRow);
    void ApplyEditing();
    void SyncCurrentCell();
    bool MoveToNextInteractiveCell();
    bool MoveToAdjacentCell(bool forward);
    void UpdateLayout();
    void UpdateColumn(int index);
    // Rows as high as the grid's font needs and a header row as high as the column captions need,
    // wrapped in their columns (on any screen DPI), instead of the fixed default row height.
    void SetRowsFitFont(bool value);
    bool RowsFitFont() const { return FRowsFitFont; }
    // Where a column's caption is drawn in its header cell (client coordinates); empty when the
    // column is out of view.
    RECT ColumnHeaderTextRect(int dataCol) const;
    void ShowDropDown();
    void ShowCustomDialog();
    void LoadCellEditor();

    // events
    std::function<void(TSimpleGrid&, int dataCol, int dataRow, TGridValue& value)> OnGetDataValue;
    std::function<void(TSimpleGrid&, int dataCol, int dataRow, const TGridValue& value)> OnSetDataValue;
    std::function<void(TSimpleGrid&, int, int, TSimpleGridDataView&)> OnInitDataView;
    std::function<void(TSimpleGrid&, int, int, TSimpleGridDataEditor&)> OnInitDataEditor;
    std::function<void(TSimpleGrid&, int, int, const std::string&)> OnAcceptDataEditor;
    std::function<void(TSimpleGrid&, int, int, TSimpleGridDataLookup&)> OnInitDataLookup;
    std::function<void(TSimpleGrid&, int, int, const TGridValue&)> OnAcceptDataLookup;
    std::function<void(TSimpleGrid&, int, int, const std::string&, const RECT&)> OnCustomDropDown;
    std::function<void(TSimpleGrid&, int, int, const std::string&, const RECT&)> OnCustomDialog;
    std::function<void(TSimpleGrid&)> OnInitRowEditing;
    std::function<void(TSimpleGrid&)> OnApplyRowEditing;
    std::function<void(TSimpleGrid&, int dataRow, TSimpleGridRowState&)> OnGetRowState;
    std::function<void(TSimpleGrid&, int dataRow, std::string&)> OnGetRowCaption;
    std::function<void(TSimpleGrid&)> OnChange;
    std::function<void(TSimpleGrid&, int dataCol, int dataRow)> OnDataCellSelect;

protected:
    void LayoutCells(); // UpdateLayout's steps, inside one batch of window updates
    virtual void DoChange();
    virtual TGridValue DoGetDataValue(int dataCol, int dataRow);
    virtual void DoSetDataValue(int dataCol, int dataRow, const TGridValue& value);
    virtual void DoInitDataView(int dataCol, int dataRow, TSimpleGridDataView& view);
    virtual void DoInitDataEditor(int dataCol, int dataRow, TSimpleGridDataEditor& editor);
    virtual void DoAcceptDataEditor(int dataCol, int dataRow, const std::string& text);
    virtual void DoInitDataLookup(int dataCol, int dataRow, TSimpleGridDataLookup& lookup);
    virtual void DoAcceptDataLookup(int dataCol, int dataRow, const TGridValue& value);
    virtual void DoCustomDropDown(int dataCol, int dataRow, const std::string& text, const RECT& rect);
    virtual void DoCustomDialog(int dataCol, int dataRow, const std::string& text, const RECT& rect);
    virtual void DoApplyRowEditing();
    virtual void DoInitRowEditing();
    virtual TSimpleGridRowState GetRowState(int dataRow);
    virtual std::string GetRowCaption(int dataRow);
    virtual void DoDataCellSelect();

    // base hooks
    void DrawCell(HDC dc, int col, int row, RECT rect, bool selected, bool focused) override;
    bool SelectCell(int col, int row) override;
    bool CanEditShow() const override;
    bool CanEditModify() const override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string& text) override;
    std::string GetEditMask(int col, int row) override;
    int GetEditLimit() override;
    std::unique_ptr<TInplaceEdit> CreateEditor() override;
    RECT EditorRect(int col, int row, RECT cell) override;
    void ColWidthsChanged() override;
    void RowHeightsChanged() override { PositionButtons(); }
    void TopLeftChanged() override { PositionButtons(); }
    void Resized() override { PositionButtons(); }
    void Paint(HDC dc, const RECT& clip) override;
    void FocusGained(bool fromEditor) override;
    void FocusLost(HWND newFocus) override;
    void EnabledChanged() override { InvalidateGrid(); }

public:
    bool KeyPreview(UINT key, TShiftState shift) override;
    void KeyDown(UINT& key, TShiftState shift) override;
    void KeyPress(wchar_t& ch) override;

private:
    friend class TSimpleInplaceEdit;
    // TSimpleGridColumnsOwner
    void ColumnChanged(int index) override { UpdateColumn(index); }
    void ColumnsChanged() override;
    void LookupListChanged(int index) override;
    std::string NullCaption() const override { return FNullDisplay.Caption; }

    void AcceptEditorText();
    void SetDefaultRowHeightQuiet(int height);
    void InvalidateRowState(int dataRow);
    void PositionButtons();
    bool ColumnInteractive(int dataCol);
    void DrawHeaderCell(HDC dc, TSimpleGridCellKind kind, int dataCol, int dataRow, RECT rect, int col);
    void DrawSeparator(HDC dc, int col, const RECT& rect);
    void FitRowsToFont();
    int CaptionLines(HDC dc, int dataCol, int textHeight) const;
    HFONT ViewFont(const TSimpleGridDataView& view);
    struct TFontFace {
        HFONT Font = nullptr;
        std::string Name;
        int Size = 0;
    };
    const TFontFace& FontFace() const;

    TSimpleGridColumns FColumns{this};
    TSimpleGridOrientation FOrientation = gorVertical;
    TSimpleGridRowHeader FRowHeader = grhNumber;
    int FDataRowCount = 1;
    TNullDisplayParams FNullDisplay;
    TSimpleGridOptions FOptionsEx = SgoBit(sgoReturnUseForMoveNext);
    int FDataCol = 0, FDataRow = 0;
    TSimpleGridDataEditor FEditorRec;
    std::string FLoadedText;
    int FEditorUpdate = 0;
    int FLayoutCount = 0;
    bool FRowsFitFont = false;
    bool FSkipApplyOnFocusLoss = false;
    bool FOwnerKeyEventDone = false; // the editor already fired OnKeyDown for this key
    TUniqueImageList FRowStateImages;
    std::unique_ptr<TSimpleButton> FDropDownButton, FDialogButton;
    TUniqueFont FViewFont;
    std::string FViewFontKey;
    mutable TFontFace FFontFace;
};

// Locale parts of the conversions from the user's system settings.
TFormatSettings SystemFormatSettings();
// The row-state marks: five 11×11 images (new, modified, current vertical, current horizontal, blank).
TUniqueImageList CreateRowStateImages();
// TColor (system colours included) to a GDI colour.
COLORREF ColorToRGB(TColor color);
