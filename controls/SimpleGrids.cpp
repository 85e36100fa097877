#include "controls/SimpleGrids.h"

#include "controls/DpiScale.h"
#include "controls/SimpleDropDowns.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

// Runs a block under one of the grid's counters.
class TCounterGuard {
public:
    explicit TCounterGuard(int& counter) : FCounter(counter) { ++FCounter; }
    ~TCounterGuard() { --FCounter; }
    TCounterGuard(const TCounterGuard&) = delete;
    TCounterGuard& operator=(const TCounterGuard&) = delete;

private:
    int& FCounter;
};

std::string LocaleString(LCTYPE type, const char* fallback)
{
    wchar_t buffer[128] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128) <= 0)
        return fallback;
    return Narrow(buffer);
}


} // namespace

COLORREF ColorToRGB(TColor color)
{
    if ((color & 0xFF000000u) == clSystemColor)
        return ::GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

TFormatSettings SystemFormatSettings()
{
    TFormatSettings fs;
    const std::string decimal = LocaleString(LOCALE_SDECIMAL, ".");
    fs.DecimalSeparator = decimal.size() == 1 ? decimal[0] : '.';
    fs.ShortDateFormat = LocaleString(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    fs.LongTimeFormat = LocaleString(LOCALE_STIMEFORMAT, "H:mm:ss");
    fs.TimeAMString = LocaleString(LOCALE_S1159, "AM");
    fs.TimePMString = LocaleString(LOCALE_S2359, "PM");
    return fs;
}

// ---- TSimpleButton ----------------------------------------------------------------------------

TSimpleButton::TSimpleButton(HWND parent)
{
    RegisterWindowClass(L"PolypadSimpleButton", 0);
    CreateHandle(L"PolypadSimpleButton", 0, WS_CHILD | WS_CLIPSIBLINGS, L"", 0, 0, 16, 16, parent);
    // Glyph heights designed at 96 DPI.
    const TDpiScale screen(ScreenDpi());
    FMarlett.reset(::CreateFontW(-screen.Scale(12), 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0,
                                 L"Marlett"));
    FWingdings.reset(::CreateFontW(-screen.Scale(9), 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0,
                                   L"Wingdings"));
}

TSimpleButton::~TSimpleButton()
{
    StopTimer();
}

HFONT TSimpleButton::GlyphFont() const
{
    return FGlyph == sbgDropDown ? FMarlett.get() : FWingdings.get();
}

void TSimpleButton::SetGlyph(TGlyph glyph)
{
    if (FGlyph == glyph)
        return;
    FGlyph = glyph;
    if (Handle())
        Invalidate();
}

int TSimpleButton::GlyphWidth() const
{
    TWindowDC dc(Handle());
    TSelectObject font(dc.get(), GlyphFont());
    const std::wstring text = FGlyph == sbgDropDown ? std::wstring(L"6") : std::wstring(3, wchar_t(0x9F));
    SIZE size{};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void TSimpleButton::SetState(TState state)
{
    if (FState == state)
        return;
    FState = state;
    if (Handle())
        Invalidate();
}

void TSimpleButton::StartTimer()
{
    FTimerOn = ::SetTimer(Handle(), 1, 100, nullptr) != 0;
}

void TSimpleButton::StopTimer()
{
    if (FTimerOn && Handle())
        ::KillTimer(Handle(), 1);
    FTimerOn = false;
}

bool TSimpleButton::CursorInside() const
{
    POINT p;
    ::GetCursorPos(&p);
    ::ScreenToClient(Handle(), &p);
    const RECT r = ClientRect();
    return ::PtInRect(&r, p) != FALSE;
}

void TSimpleButton::OnPaint()
{
    TPaintDC paint(Handle());
    HDC dc = paint.get();
    RECT r = ClientRect();
    TUniqueBrush light(::CreateSolidBrush(::GetSysColor(COLOR_BTNHIGHLIGHT)));
    ::FrameRect(dc, &r, light.get());
    ::InflateRect(&r, -1, -1);
    ::FrameRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    ::InflateRect(&r, -1, -1);
    int offset = 0;
    if (FState == sbsHot)
        ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    else if (FState == sbsPressed) {
        ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        offset = 1;
    }
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    ::OffsetRect(&r, offset, offset);
    TSelectObject font(dc, GlyphFont());
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    const std::wstring text = FGlyph == sbgDropDown ? std::wstring(L"6") : std::wstring(3, wchar_t(0x9F));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

LRESULT TSimpleButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:
        if (::GetCapture() == Handle())
            SetState(CursorInside() ? sbsPressed : sbsHot);
        else if (FState == sbsNormal) {
            SetState(sbsHot);
            StartTimer();
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ::SetCapture(Handle());
        SetState(sbsPressed);
        return 0;
    case WM_LBUTTONUP:
        if (::GetCapture() == Handle()) {
            ::ReleaseCapture();
            const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const RECT r = ClientRect();
            if (::PtInRect(&r, p) && !FClickSuppressed) {
                FClickSuppressed = true;
                StopTimer();
                if (OnClick)
                    OnClick();
                if (!Handle())
                    return 0;
            }
            SetState(sbsHot);
            StartTimer();
        }
        return 0;
    case WM_TIMER:
        if (::GetCapture() != Handle() && FState == sbsHot) {
            FClickSuppressed = false;
            if (!CursorInside()) {
                SetState(sbsNormal);
                StopTimer();
            }
        }
        return 0;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}

// ---- TSimpleInplaceEdit -----------------------------------------------------------------------

class TSimpleInplaceEdit : public TInplaceEdit {
public:
    explicit TSimpleInplaceEdit(TSimpleGrid& grid) : TInplaceEdit(grid), FSimpleGrid(grid) {}
    void Reload()
    {
        UpdateContents();
        const wchar_t password = FSimpleGrid.FEditorRec.PasswordChar;
        if (static_cast<wchar_t>(::SendMessageW(Handle(), EM_GETPASSWORDCHAR, 0, 0)) != password) {
            ::SendMessageW(Handle(), EM_SETPASSWORDCHAR, password, 0);
            ::InvalidateRect(Handle(), nullptr, TRUE);
        }
    }

protected:
    bool EditKeyDown(UINT key, TShiftState shift) override
    {
        if ((key == VK_LEFT || key == VK_RIGHT) && shift.Ctrl && !shift.Alt && !shift.Shift)
            return false; // caret by words
        if ((key == VK_HOME || key == VK_END || key == VK_LEFT || key == VK_RIGHT) && shift.None()) {
            if (!AllSelected())
                return false;
            UINT k = key;
            FSimpleGrid.KeyDown(k, shift);
            return true;
        }
        if ((key == VK_TAB && !shift.Alt) || key == VK_ESCAPE || key == VK_PRIOR || key == VK_NEXT || key == VK_UP ||
            key == VK_DOWN) {
            UINT k = key;
            FSimpleGrid.KeyDown(k, shift);
            return true;
        }
        UINT k = key;
        if (FSimpleGrid.OnKeyDown) {
            FSimpleGrid.OnKeyDown(FSimpleGrid, k, shift);
            if (k == 0)
                return true;
        }
        switch (key) {
        case VK_DELETE:
            if (!Mask().Empty())
                return MaskDelete();
            return false;
        case VK_INSERT: case VK_BACK: case VK_SHIFT: case VK_CONTROL: case VK_MENU:
        case VK_HOME: case VK_END: case VK_LEFT: case VK_RIGHT:
            return false; // the edit control's own keys
        default: break;
        }
        // Not consumed by the editor: the grid's key-down stage, without a second owner event.
        FSimpleGrid.FOwnerKeyEventDone = true;
        try {
            FSimpleGrid.KeyDown(k, shift);
        } catch (...) {
            FSimpleGrid.FOwnerKeyEventDone = false;
            throw;
        }
        FSimpleGrid.FOwnerKeyEventDone = false;
        return k == 0;
    }

private:
    TSimpleGrid& FSimpleGrid;
};

// ---- TSimpleGrid ------------------------------------------------------------------------------

TSimpleGrid::TSimpleGrid()
{
    SetDefaultRowHeightQuiet(20);
}

TSimpleGrid::~TSimpleGrid() = default;

void TSimpleGrid::CreateGrid(HWND parent, int x, int y, int width, int height)
{
    TCellGrid::CreateGrid(parent, x, y, width, height);
    FRowStateImages = CreateRowStateImages();
    FDropDownButton = std::make_unique<TSimpleButton>(Handle());
    FDropDownButton->SetGlyph(TSimpleButton::sbgDropDown);
    FDropDownButton->OnClick = [this] { ShowDropDown(); };
    FDialogButton = std::make_unique<TSimpleButton>(Handle());
    FDialogButton->OnClick = [this] { ShowCustomDialog(); };
    UpdateLayout();
}

TGridMapping TSimpleGrid::Mapping() const
{
    return TGridMapping{FOrientation, FRowHeader, FColumns.Count(), FDataRowCount};
}

void TSimpleGrid::SetColumns(const TSimpleGridColumns& columns)
{
    FColumns.Assign(columns);
    UpdateLayout();
    FitRowsToFont();
}

void TSimpleGrid::SetOrientation(TSimpleGridOrientation value)
{
    if (FOrientation != value) {
        FOrientation = value;
        UpdateLayout();
        FitRowsToFont();
    }
}

void TSimpleGrid::SetRowHeader(TSimpleGridRowHeader value)
{
    if (FRowHeader != value) {
        FRowHeader = value;
        UpdateLayout();
    }
}

void TSimpleGrid::SetDataRowCount(int value)
{
    value = std::max(value, 0);
    if (FDataRowCount == value)
        return;
    const bool wasEmpty = FDataRowCount == 0;
    FDataRowCount = value;
    UpdateLayout();
    // Shrunk below the current row, or the first rows of an empty grid: the grid's cell is a
    // data cell again, and the current data cell must say so.
    if (FDataRow >= value || (wasEmpty && FDataRow < 0))
        SyncCurrentCell();
}

// Read once per font: the size takes a screen DC, which costs more than drawing a cell.
const TSimpleGrid::TFontFace& TSimpleGrid::FontFace() const
{
    if (FFontFace.Font != Font() || !Font()) {
        LOGFONTW lf{};
        ::GetObjectW(Font(), sizeof lf, &lf);
        TWindowDC dc(nullptr);
        const int dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
        FFontFace = {Font(), Narrow(lf.lfFaceName), static_cast<int>(std::lround(std::abs(lf.lfHeight) * 72.0 / dpi))};
    }
    return FFontFace;
}

// The counts, widths and heights change in several steps; the scroll bars, the editor and the
// repaint follow once at the end.
void TSimpleGrid::UpdateLayout()
{
    BatchWindowUpdates([this] { LayoutCells(); });
}

void TSimpleGrid::LayoutCells()
{
    TCounterGuard guard(FLayoutCount);
    const auto counts = Mapping().Counts();
    SetColCount(counts.ColCount);
    SetRowCount(counts.RowCount);
    SetFixedCols(counts.FixedCols);
    SetFixedRows(counts.FixedRows);
    if (FOrientation == gorVertical) {
        int header = 0;
        if (FRowHeader == grhNumber) {
            if (!Handle()) {
                header = 24;
            } else {
                TWindowDC dc(Handle());
                TSelectObject font(dc.get(), Font());
                auto width = [&](const std::string& s) {
                    const std::wstring w = Widen(s);
                    SIZE size{};
                    ::GetTextExtentPoint32W(dc.get(), w.c_str(), static_cast<int>(w.size()), &size);
                    return static_cast<int>(size.cx);
                };
                if (OnGetRowCaption) {
                    header = width("  ") + 6;
                    for (int r = 0; r < FDataRowCount; ++r)
                        header = std::max(header, width(" " + GetRowCaption(r) + " ") + 6);
                } else {
                    header = width(" " + std::string(static_cast<std::size_t>(DecimalDigits(std::max(FDataRowCount, 0))), '0') + " ") + 6;
                }
            }
        } else if (FRowHeader == grhState) {
            header = TDpiScale(ScreenDpi()).Scale(17);
        }
        if (counts.FixedCols > 0)
            FGeom.ColWidths[0] = header;
        for (int i = 0; i < FColumns.Count(); ++i)
            FGeom.ColWidths[static_cast<std::size_t>(i + counts.FixedCols)] = FColumns.Items(i).Width();
        if (FColumns.Count() == 0)
            FGeom.ColWidths[static_cast<std::size_t>(counts.FixedCols)] = DefaultColWidth();
        FGeom.Clamp();
        UpdateScrollBars();
        ColWidthsChanged();
    } else {
        SetDefaultColWidth(DefaultColWidth());
    }
    if (!IsDataCell(FDataCol, FDataRow) && FDropDownButton) {
        FDropDownButton->Show(false);
        FDialogButton->Show(false);
    }
    SetDefaultRowHeight(DefaultRowHeight());
    InvalidateGrid();
}

void TSimpleGrid::SetRowsFitFont(bool value)
{
    if (FRowsFitFont != value) {
        FRowsFitFont = value;
        FitRowsToFont();
    }
}

RECT TSimpleGrid::ColumnHeaderTextRect(int dataCol) const
{
    const TGridPoint g = DataToGrid(dataCol, -1);
    RECT r = CellRect(g.Col, 0);
    if (r.right <= r.left || FixedRows() == 0)
        return {};
    // As DrawHeaderCell leaves it: one pixel more at the bottom, the etched edges (2 pixels)
    // at the bottom and, but for the last column, at the right, 2 pixels off the left.
    r.bottom += 1 - 2;
    if (g.Col != ColCount() - 1)
        r.right -= 2;
    r.left += 2;
    return r;
}

int TSimpleGrid::CaptionLines(HDC dc, int dataCol, int textHeight) const
{
    const int col = DataToGrid(dataCol, -1).Col;
    // The caption's width in its cell, as ColumnHeaderTextRect gives it.
    RECT r{0, 0, ColWidth(col) - 2 - (col != ColCount() - 1 ? 2 : 0), 0};
    const std::wstring caption = Widen(FColumns.Items(dataCol).Caption());
    if (caption.empty() || r.right <= 0)
        return 1;
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
                DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    return (r.bottom - r.top + textHeight - 1) / std::max(textHeight, 1);
}

void TSimpleGrid::FitRowsToFont()
{
    // Only the columns, their widths and the font decide: a change of the row count (which the
    // table makes often) does not come here.
    if (!FRowsFitFont || !Handle())
        return;
    TWindowDC dc(Handle());
    TSelectObject font(dc.get(), Font());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    const int textHeight = metrics.tmHeight;
    if (GridRowHeight(textHeight) != DefaultRowHeight())
        SetDefaultRowHeight(GridRowHeight(textHeight));
    // Captions wrap onto at most three lines; a word wider than its column ends in an ellipsis.
    int lines = 1;
    if (FOrientation == gorVertical)
        for (int i = 0; i < FColumns.Count(); ++i)
            lines = std::max(lines, std::min(CaptionLines(dc.get(), i, textHeight), 3));
    SetHeaderHeight(GridHeaderHeight(textHeight, lines));
}

void TSimpleGrid::SetDefaultRowHeightQuiet(int height)
{
    FGeom.RowHeight = height;
}

void TSimpleGrid::UpdateColumn(int index)
{
    if (index < 0 || index >= FColumns.Count())
        return;
    const TGridPoint g = DataToGrid(index, 0);
    if (FOrientation == gorVertical) {
        TCounterGuard guard(FLayoutCount);
        SetColWidth(g.Col, FColumns.Items(index).Width());
        FitRowsToFont();
        InvalidateCol(g.Col);
    } else {
        InvalidateRow(g.Row);
    }
}

void TSimpleGrid::ColumnsChanged()
{
    UpdateLayout();
    FitRowsToFont();
    InvalidateGrid();
}

void TSimpleGrid::LookupListChanged(int)
{
    InvalidateGrid();
}

void TSimpleGrid::ColWidthsChanged()
{
    // A caption that wraps differently in its new width changes the header's height.
    if (FLayoutCount == 0)
        FitRowsToFont();
    PositionButtons();
    if (FOrientation == gorVertical && FLayoutCount == 0) {
        TCounterGuard guard(FLayoutCount);
        const int fixed = FixedCols();
        for (int i = 0; i < FColumns.Count() && i + fixed < ColCount(); ++i)
            FColumns.Items(i).SetWidth(ColWidth(i + fixed));
    }
}

bool TSimpleGrid::MoveToDataCellAt(POINT screen)
{
    ::ScreenToClient(Handle(), &screen);
    int col = 0, row = 0;
    if (!MouseToCell(screen.x, screen.y, col, row))
        return false;
    const TGridPoint data = Mapping().GridToData(col, row);
    if (!IsDataCell(data.Col, data.Row))
        return false;
    MoveToDataCell(data.Col, data.Row);
    return true;
}

RECT TSimpleGrid::CurrentCellScreenRect() const
{
    const TGridPoint g = DataToGrid(FDataCol, FDataRow);
    RECT r = CellRect(g.Col, g.Row);
    ::MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- events -----------------------------------------------------------------------------------

void TSimpleGrid::DoChange()
{
    if (OnChange)
        OnChange(*this);
}

TGridValue TSimpleGrid::DoGetDataValue(int dataCol, int dataRow)
{
    TGridValue value;
    if (OnGetDataValue)
        OnGetDataValue(*this, dataCol, dataRow, value);
    return value;
}

void TSimpleGrid::DoSetDataValue(int dataCol, int dataRow, const TGridValue& value)
{
    if (!OnSetDataValue)
        return;
    OnSetDataValue(*this, dataCol, dataRow, value);
    if (Handle())
        InvalidateData(dataCol, dataRow);
}

void TSimpleGrid::DoInitDataView(int dataCol, int dataRow, TSimpleGridDataView& view)
{
    if (OnInitDataView)
        OnInitDataView(*this, dataCol, dataRow, view);
}

void TSimpleGrid::DoInitDataEditor(int dataCol, int dataRow, TSimpleGridDataEditor& editor)
{
    if (OnInitDataEditor)
        OnInitDataEditor(*this, dataCol, dataRow, editor);
}

void TSimpleGrid::DoAcceptDataEditor(int dataCol, int dataRow, const std::string& text)
{
    if (OnAcceptDataEditor) {
        OnAcceptDataEditor(*this, dataCol, dataRow, text);
        return;
    }
    DoSetDataValue(dataCol, dataRow, TextToValue(FColumns.Items(dataCol), text));
}

void TSimpleGrid::DoInitDataLookup(int dataCol, int dataRow, TSimpleGridDataLookup& lookup)
{
    if (OnInitDataLookup)
        OnInitDataLookup(*this, dataCol, dataRow, lookup);
}

void TSimpleGrid::DoAcceptDataLookup(int dataCol, int dataRow, const TGridValue& value)
{
    if (OnAcceptDataLookup) {
        OnAcceptDataLookup(*this, dataCol, dataRow, value);
        return;
    }
    DoSetDataValue(dataCol, dataRow, value);
}

void TSimpleGrid::DoCustomDropDown(int dataCol, int dataRow, const std::string& text, const RECT& rect)
{
    if (OnCustomDropDown)
        OnCustomDropDown(*this, dataCol, dataRow, text, rect);
}

void TSimpleGrid::DoCustomDialog(int dataCol, int dataRow, const std::string& text, const RECT& rect)
{
    if (OnCustomDialog)
        OnCustomDialog(*this, dataCol, dataRow, text, rect);
}

void TSimpleGrid::DoApplyRowEditing()
{
    if (OnApplyRowEditing)
        OnApplyRowEditing(*this);
}

void TSimpleGrid::DoInitRowEditing()
{
    if (OnInitRowEditing)
        OnInitRowEditing(*this);
}

TSimpleGridRowState TSimpleGrid::GetRowState(int dataRow)
{
    TSimpleGridRowState state = grsNormal;
    if (OnGetRowState)
        OnGetRowState(*this, dataRow, state);
    return state;
}

std::string TSimpleGrid::GetRowCaption(int dataRow)
{
    std::string caption = std::to_string(dataRow + 1);
    if (OnGetRowCaption)
        OnGetRowCaption(*this, dataRow, caption);
    return caption;
}

void TSimpleGrid::DoDataCellSelect()
{
    if (OnDataCellSelect)
        OnDataCellSelect(*this, FDataCol, FDataRow);
}

// ---- operations -------------------------------------------------------------------------------

void TSimpleGrid::MoveToDataCell(int dataCol, int dataRow)
{
    dataCol = std::clamp(dataCol, 0, std::max(FColumns.Count() - 1, 0));
    dataRow = std::clamp(dataRow, 0, std::max(FDataRowCount - 1, 0));
    if (!IsDataCell(dataCol, dataRow))
        return;
    const TGridPoint g = DataToGrid(dataCol, dataRow);
    if (g.Col == Col() && g.Row == Row()) {
        ScrollIntoView(g.Col, g.Row);
        // Already the grid's cell, but not (yet) the current data cell: make it so.
        if (FDataCol != dataCol || FDataRow != dataRow)
            SyncCurrentCell();
        return;
    }
    SetRow(g.Row);
    SetCol(g.Col);
}

void TSimpleGrid::InvalidateData(int dataCol, int dataRow)
{
    if (dataCol < 0 && dataRow < 0) {
        InvalidateGrid();
    } else if (dataCol < 0) {
        const TGridPoint g = DataToGrid(0, dataRow);
        if (FOrientation == gorVertical)
            InvalidateRow(g.Row);
        else
            InvalidateCol(g.Col);
    } else if (dataRow < 0) {
        const TGridPoint g = DataToGrid(dataCol, 0);
        if (FOrientation == gorVertical)
            InvalidateCol(g.Col);
        else
            InvalidateRow(g.Row);
    } else {
        const TGridPoint g = DataToGrid(dataCol, dataRow);
        InvalidateCell(g.Col, g.Row);
    }
    if ((dataRow < 0 || dataRow == FDataRow) && (dataCol < 0 || dataCol == FDataCol))
        LoadCellEditor();
}

void TSimpleGrid::InvalidateDataRow(int dataRow)
{
    const TGridPoint g = DataToGrid(0, dataRow);
    if (FOrientation == gorVertical)
        InvalidateRow(g.Row);
    else
        InvalidateCol(g.Col);
}

void TSimpleGrid::ApplyEditing()
{
    if (!IsDataCell(FDataCol, FDataRow))
        return;
    AcceptEditorText();
    DoApplyRowEditing();
}

void TSimpleGrid::SyncCurrentCell()
{
    const TGridPoint p = Mapping().GridToData(Col(), Row());
    FDataCol = p.Col;
    FDataRow = p.Row;
    DoDataCellSelect();
    if (FDataRowCount > 0) {
        DoInitRowEditing();
        LoadCellEditor();
    }
}

bool TSimpleGrid::ColumnInteractive(int dataCol)
{
    if (dataCol < 0 || dataCol >= FColumns.Count())
        return false;
    const TSimpleGridColumn& c = FColumns.Items(dataCol);
    return c.TextEditable() || c.CustomDialog() || c.DropDown() != gddNone;
}

bool TSimpleGrid::MoveToAdjacentCell(bool forward)
{
    TGridPoint target;
    if (!Mapping().AdjacentCell(FDataCol, FDataRow, forward, target))
        return false;
    AcceptEditorText();
    const TGridPoint g = DataToGrid(target.Col, target.Row);
    FocusCell(g.Col, g.Row);
    return FDataCol == target.Col && FDataRow == target.Row;
}

bool TSimpleGrid::MoveToNextInteractiveCell()
{
    if (FDataCol < 0)
        return false;
    bool any = false;
    for (int i = 0; i < FColumns.Count() && !any; ++i)
        any = ColumnInteractive(i);
    if (!ColumnInteractive(FDataCol) || !any)
        return MoveToAdjacentCell(true);
    bool moved;
    do {
        moved = MoveToAdjacentCell(true);
    } while (moved && !ColumnInteractive(FDataCol));
    return moved;
}

void TSimpleGrid::AcceptEditorText()
{
    if (FEditorRec.Text == FLoadedText || !IsDataCell(FDataCol, FDataRow))
        return;
    try {
        if (InplaceEditor() && FEditorMode)
            InplaceEditor()->ValidateEdit();
        DoAcceptDataEditor(FDataCol, FDataRow, FEditorRec.Text);
        FLoadedText = FEditorRec.Text;
    } catch (...) {
        FSkipApplyOnFocusLoss = true;
        throw;
    }
}

void TSimpleGrid::InvalidateRowState(int dataRow)
{
    if (FRowHeader != grhState || dataRow < 0)
        return;
    const TGridPoint g = DataToGrid(-1, dataRow);
    if (FOrientation == gorVertical)
        InvalidateCell(0, g.Row);
    else
        InvalidateCell(g.Col, 0);
}

void TSimpleGrid::LoadCellEditor()
{
    TSimpleGridDataEditor editor;
    if (IsDataCell(FDataCol, FDataRow)) {
        const TSimpleGridColumn& c = FColumns.Items(FDataCol);
        const TGridValue value = DoGetDataValue(FDataCol, FDataRow);
        editor.Text = value.IsNull() ? std::string() : ValueToText(c, value);
        editor.DropDown = c.DropDown();
        editor.CustomDialog = c.CustomDialog();
        editor.TextEditable = c.TextEditable();
        editor.EditMask = c.TextEditMask();
        editor.EditLimit = c.TextEditLimit();
        editor.Nullable = c.Nullable();
        DoInitDataEditor(FDataCol, FDataRow, editor);
        if (Handle() && !::IsWindowEnabled(Handle()))
            editor.TextEditable = false;
    }
    FEditorRec = editor;
    FLoadedText = FEditorRec.Text;
    PositionButtons();
    FEditorMode = FEditorRec.TextEditable;
    if (FEditorMode && Handle()) {
        if (!InplaceEditor())
            FEditor = CreateEditor();
        static_cast<TSimpleInplaceEdit*>(InplaceEditor())->Reload();
        UpdateEditor();
    } else {
        HideEditor();
    }
}

void TSimpleGrid::PositionButtons()
{
    if (!FDropDownButton)
        return;
    const bool data = IsDataCell(FDataCol, FDataRow);
    const bool dialog = data && FEditorRec.CustomDialog;
    const bool dropDown = data && FEditorRec.DropDown != gddNone;
    const TGridPoint g = DataToGrid(FDataCol, FDataRow);
    const RECT cell = data ? CellRect(g.Col, g.Row) : RECT{};
    const bool inView = cell.right > cell.left;
    int right = cell.right;
    if (dialog && inView) {
        const int w = FDialogButton->GlyphWidth() + 6;
        ::SetWindowPos(FDialogButton->Handle(), HWND_TOP, right - w, cell.top, w, cell.bottom - cell.top,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE);
        right -= w;
    } else {
        FDialogButton->Show(false);
    }
    if (dropDown && inView) {
        const int w = FDropDownButton->GlyphWidth() + 6;
        ::SetWindowPos(FDropDownButton->Handle(), HWND_TOP, right - w, cell.top, w, cell.bottom - cell.top,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE);
    } else {
        FDropDownButton->Show(false);
    }
}

RECT TSimpleGrid::EditorRect(int, int, RECT cell)
{
    int buttons = 0;
    if (FDialogButton && FDialogButton->Visible())
        buttons += FDialogButton->GlyphWidth() + 6;
    if (FDropDownButton && FDropDownButton->Visible())
        buttons += FDropDownButton->GlyphWidth() + 6;
    cell.right -= buttons > 0 ? buttons : 1;
    return cell;
}

void TSimpleGrid::ShowDropDown()
{
    if (FEditorRec.DropDown == gddNone || !IsDataCell(FDataCol, FDataRow))
        return;
    const int dataCol = FDataCol, dataRow = FDataRow;
    TGridValue value = DoGetDataValue(dataCol, dataRow);
    const RECT rect = CurrentCellScreenRect();
    const HWND owner = ::GetAncestor(Handle(), GA_ROOT);
    switch (FEditorRec.DropDown) {
    case gddValueList: {
        TSimpleGridDataLookup lookup;
        lookup.Text = FEditorRec.Text;
        lookup.List = NewDropDownList();
        const TSimpleGridColumn& c = FColumns.Items(dataCol);
        for (int i = 0; i < c.LookupList().Count(); ++i)
            lookup.List->Add(c.LookupList().Items(i).Value, c.LookupList().Items(i).Caption);
        if (c.LookupList().Count() == 0 && c.DataType() == gdtBoolean) {
            lookup.List->Add(TGridValue::Boolean(true), "Да");
            lookup.List->Add(TGridValue::Boolean(false), "Нет");
        }
        DoInitDataLookup(dataCol, dataRow, lookup);
        if (lookup.Cancel)
            return;
        const bool wasEditing = FEditorMode;
        ShowEditor();
        bool accepted = false;
        try {
            accepted = ExecuteDropDown(rect, ddkList, value, lookup.List, owner);
            if (accepted)
                DoAcceptDataLookup(dataCol, dataRow, value);
        } catch (...) {
            HideEditor();
            throw;
        }
        HideEditor();
        if (wasEditing || FEditorRec.TextEditable)
            ShowEditor(); // an editable cell keeps its editor
        break;
    }
    case gddDatePicker:
        if (ExecuteDropDown(rect, ddkCalendar, value, nullptr, owner))
            DoSetDataValue(dataCol, dataRow, value);
        break;
    case gddMemoEditor: {
        if (FEditorRec.Text != FLoadedText)
            value = TGridValue::String(FEditorRec.Text);
        if (value.IsNull())
            value = TGridValue::String("");
        const std::string before = value.AsText();
        if (ExecuteDropDown(rect, ddkMemo, value, nullptr, owner) && value.AsText() != before) {
            DoSetDataValue(dataCol, dataRow, value);
            DoChange();
            LoadCellEditor();
        }
        break;
    }
    case gddCustom:
        DoCustomDropDown(dataCol, dataRow, FEditorRec.Text, rect);
        break;
    default: break;
    }
}

void TSimpleGrid::ShowCustomDialog()
{
    const TGridPoint g = DataToGrid(FDataCol, FDataRow);
    DoCustomDialog(FDataCol, FDataRow, FEditorRec.Text, CellRect(g.Col, g.Row));
}

// ---- base hooks -------------------------------------------------------------------------------

bool TSimpleGrid::SelectCell(int col, int row)
{
    const TGridPoint p = Mapping().GridToData(col, row);
    if (p.Row == FDataRow && p.Col == FDataCol)
        return true;
    const int oldRow = FDataRow;
    if (IsDataCell(FDataCol, FDataRow)) {
        AcceptEditorText();
        if (p.Row != oldRow) {
            DoApplyRowEditing();
            InvalidateRowState(oldRow);
        }
    }
    FDataCol = p.Col;
    FDataRow = p.Row;
    if (IsDataCell(FDataCol, FDataRow)) {
        if (p.Row != oldRow) {
            DoInitRowEditing();
            InvalidateRowState(FDataRow);
        }
        LoadCellEditor();
    }
    DoDataCellSelect();
    return true;
}

bool TSimpleGrid::CanEditShow() const
{
    const bool show = TCellGrid::CanEditShow() && FEditorMode && IsDataCell(FDataCol, FDataRow) &&
                      (FEditorRec.TextEditable || FEditorRec.DropDown == gddValueList);
    return show;
}

bool TSimpleGrid::CanEditModify() const
{
    return IsDataCell(FDataCol, FDataRow) && FEditorRec.TextEditable;
}

std::string TSimpleGrid::GetEditText(int, int)
{
    return FEditorRec.Text;
}

void TSimpleGrid::SetEditText(int col, int row, const std::string& text)
{
    if (FEditorUpdate > 0 || !FEditorRec.TextEditable)
        return;
    const TGridPoint p = Mapping().GridToData(col, row);
    if (p.Col != FDataCol || p.Row != FDataRow || text == FEditorRec.Text)
        return;
    TCounterGuard guard(FEditorUpdate);
    FEditorRec.Text = text;
    DoChange();
}

std::string TSimpleGrid::GetEditMask(int, int)
{
    return FEditorRec.EditMask;
}

int TSimpleGrid::GetEditLimit()
{
    return FEditorRec.EditLimit;
}

std::unique_ptr<TInplaceEdit> TSimpleGrid::CreateEditor()
{
    return std::make_unique<TSimpleInplaceEdit>(*this);
}

void TSimpleGrid::FocusGained(bool fromEditor)
{
    if (!fromEditor)
        LoadCellEditor();
}

void TSimpleGrid::FocusLost(HWND)
{
    if (FSkipApplyOnFocusLoss) {
        FSkipApplyOnFocusLoss = false;
        return;
    }
    ApplyEditing();
}

bool TSimpleGrid::KeyPreview(UINT key, TShiftState shift)
{
    if ((FEditorRec.DropDown != gddNone && key == VK_SPACE && shift.Ctrl) || (key == VK_DOWN && shift.Alt)) {
        ShowDropDown();
        return true;
    }
    if (FEditorRec.CustomDialog && (key == VK_RETURN || key == VK_SPACE) && shift.Ctrl) {
        ShowCustomDialog();
        return true;
    }
    if (key == VK_RETURN && shift.None() && HasOption(sgoReturnUseForMoveNext))
        return MoveToNextInteractiveCell();
    if (key == VK_TAB && !shift.Ctrl && !shift.Alt)
        return MoveToAdjacentCell(!shift.Shift);
    return false;
}

void TSimpleGrid::KeyDown(UINT& key, TShiftState shift)
{
    if (key == VK_RETURN) {
        if (!FEditorRec.TextEditable) {
            if (FEditorRec.DropDown != gddNone) {
                key = 0;
                ShowDropDown();
                return;
            }
            if (FEditorRec.CustomDialog) {
                key = 0;
                ShowCustomDialog();
                return;
            }
        }
        if (FEditorMode) {
            key = 0;
            ApplyEditing();
        }
        if (HasOption(sgoReturnUseForMoveNext)) {
            key = 0;
            MoveToNextInteractiveCell();
        }
        SyncCurrentCell();
        return;
    }
    if (key == VK_ESCAPE && shift.None() && FEditorRec.Text != FLoadedText) {
        // Esc gives up the typed text (the mask error's advice): back to the loaded text.
        key = 0;
        FEditorRec.Text = FLoadedText;
        FSkipApplyOnFocusLoss = false;
        if (FEditorMode && InplaceEditor())
            static_cast<TSimpleInplaceEdit*>(InplaceEditor())->Reload();
        return;
    }
    if ((key == VK_LEFT || key == VK_RIGHT) && shift.None()) {
        if (MoveToAdjacentCell(key == VK_RIGHT))
            key = 0;
        if (key == 0)
            return;
    }
    if (key == VK_DOWN && shift.Alt && !shift.Ctrl && !shift.Shift) {
        key = 0;
        if (FEditorRec.DropDown != gddNone)
            ShowDropDown();
        return;
    }
    if (key == '0' && shift.Ctrl && !shift.Alt && !shift.Shift) {
        if (HasOption(sgoCtr0UseForSetNull) && FEditorRec.Nullable && IsDataCell(FDataCol, FDataRow)) {
            key = 0;
            DoSetDataValue(FDataCol, FDataRow, TGridValue::Null());
            return;
        }
    }
    if (FOwnerKeyEventDone) {
        auto saved = std::move(OnKeyDown);
        OnKeyDown = nullptr;
        try {
            TCellGrid::KeyDown(key, shift);
        } catch (...) {
            OnKeyDown = std::move(saved);
            throw;
        }
        OnKeyDown = std::move(saved);
        return;
    }
    TCellGrid::KeyDown(key, shift);
}

void TSimpleGrid::KeyPress(wchar_t& ch)
{
    if (ch == L' ' && IsDataCell(FDataCol, FDataRow) && !FEditorRec.TextEditable) {
        ch = 0;
        if (FEditorRec.DropDown != gddNone) {
            ShowDropDown();
            MoveToNextInteractiveCell();
        } else {
            ShowCustomDialog();
        }
        return;
    }
    TCellGrid::KeyPress(ch);
}

// ---- drawing ----------------------------------------------------------------------------------

HFONT TSimpleGrid::ViewFont(const TSimpleGridDataView& view)
{
    const TFontFace& face = FontFace();
    if (view.FontStyle == 0 && view.FontName == face.Name && view.FontSize == face.Size)
        return Font();
    const std::string key = view.FontName + "|" + std::to_string(view.FontSize) + "|" + std::to_string(view.FontStyle);
    if (key != FViewFontKey || !FViewFont) {
        TWindowDC dc(nullptr);
        const int height = -::MulDiv(view.FontSize, ::GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
        FViewFont.reset(::CreateFontW(height, 0, 0, 0, (view.FontStyle & fsBold) ? FW_BOLD : FW_NORMAL,
                                      (view.FontStyle & fsItalic) != 0, (view.FontStyle & fsUnderline) != 0,
                                      (view.FontStyle & fsStrikeOut) != 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                      Widen(view.FontName).c_str()));
        FViewFontKey = key;
    }
    return FViewFont.get();
}

void TSimpleGrid::DrawSeparator(HDC dc, int col, const RECT& rect)
{
    if (col < FixedCols() || col >= ColCount() - 1)
        return;
    // A whole line from the cell's top to its bottom, in the colour of the grid's rows lines: a
    // short tick at the foot read as a comma before the next value.
    RECT line{rect.right - 1, rect.top, rect.right, rect.bottom};
    ::FillRect(dc, &line, ::GetSysColorBrush(COLOR_BTNFACE));
}

void TSimpleGrid::DrawHeaderCell(HDC dc, TSimpleGridCellKind kind, int dataCol, int dataRow, RECT rect, int col)
{
    rect.bottom += 1;
    ::DrawEdge(dc, &rect, EDGE_ETCHED, BF_BOTTOM | BF_ADJUST);
    if (col != ColCount() - 1)
        ::DrawEdge(dc, &rect, EDGE_ETCHED, BF_RIGHT | BF_ADJUST);
    rect.left += 2;
    std::string text;
    if (kind == gckColumnHeader) {
        text = FColumns.Items(dataCol).Caption();
    } else if (kind == gckRowHeader) {
        rect.right -= 2;
        if (FRowHeader == grhNumber && dataRow >= 0 && dataRow < FDataRowCount)
            text = GetRowCaption(dataRow) + " ";
    }
    if (!text.empty()) {
        const bool enabled = ::IsWindowEnabled(Handle()) != FALSE;
        ::SetTextColor(dc, ::GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_3DDKSHADOW));
        TSelectObject font(dc, Font());
        const std::wstring w = Widen(text);
        ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &rect,
                    DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS | DT_NOPREFIX);
    }
    if (kind == gckRowHeader && FRowHeader == grhState && FRowStateImages) {
        const TSimpleGridRowState state = GetRowState(dataRow);
        int image = -1;
        if (state == grsModified)
            image = 1;
        else if (dataRow != FDataRow)
            image = state == grsNew ? 0 : -1;
        else
            image = FOrientation == gorHorizontal ? 3 : 2;
        if (image >= 0)
            ::ImageList_Draw(FRowStateImages.get(), image, dc, (rect.left + rect.right - 11) / 2,
                             (rect.top + rect.bottom - 11) / 2, ILD_TRANSPARENT);
    }
}

namespace {

// A cell's text as DrawText lays it out: word-wrapped, ellipsis where it does not fit. One line
// that fits, as most cells are, is drawn as DrawText draws it but without its line breaking,
// which measures the text again and again.
void DrawDataText(HDC dc, const std::wstring& text, RECT& rect)
{
    const int length = static_cast<int>(text.size());
    SIZE extent{};
    if (text.find_first_of(L"\r\n") == std::wstring::npos &&
        ::GetTextExtentPoint32W(dc, text.c_str(), length, &extent) && extent.cx <= rect.right - rect.left) {
        ::ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED, &rect, text.c_str(), static_cast<UINT>(length), nullptr);
        return;
    }
    ::DrawTextW(dc, text.c_str(), length, &rect,
                DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_NOPREFIX | DT_LEFT | DT_TOP);
}

} // namespace

void TSimpleGrid::DrawCell(HDC dc, int col, int row, RECT rect, bool selected, bool focused)
{
    const TGridMapping m = Mapping();
    const TSimpleGridCellKind kind = m.CellKind(col, row);
    const auto counts = m.Counts();
    const int dataCol = FOrientation == gorVertical ? col - counts.FixedCols : row - counts.FixedRows;
    const int dataRow = FOrientation == gorVertical ? row - counts.FixedRows : col - counts.FixedCols;
    COLORREF brush, fontColor;
    if (kind == gckData) {
        brush = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
        fontColor = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    } else {
        brush = ::GetSysColor(COLOR_BTNFACE);
        fontColor = ::GetSysColor(COLOR_WINDOWTEXT);
    }
    // A data cell not selected is filled once below, in its view's colour.
    if (selected || kind == gckColumnHeader || kind == gckRowHeader || kind == gckCorner) {
        ::SetDCBrushColor(dc, brush);
        ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    }
    ::SetTextColor(dc, fontColor);
    switch (kind) {
    case gckNone:
        ::SetDCBrushColor(dc, Color());
        ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        return;
    case gckColumnHeader:
    case gckRowHeader:
    case gckCorner:
        DrawHeaderCell(dc, kind, dataCol, dataRow, rect, col);
        return;
    case gckData: break;
    }
    const TSimpleGridColumn& column = FColumns.Items(dataCol);
    const TGridValue value = DoGetDataValue(dataCol, dataRow);
    TSimpleGridDataView view;
    view.Text = ValueToText(column, value, FNullDisplay.Caption);
    view.BackgroundColor = value.IsNull() ? FNullDisplay.BackgroundColor : clWindow;
    if (!::IsWindowEnabled(Handle()))
        view.FontColor = SystemColor(COLOR_3DDKSHADOW);
    else if (value.IsNull())
        view.FontColor = FNullDisplay.FontColor;
    else if (selected && focused)
        view.FontColor = clHighlightText;
    else
        view.FontColor = clWindowText;
    view.FontName = FontFace().Name;
    view.FontSize = FontFace().Size;
    DoInitDataView(dataCol, dataRow, view);
    if (!selected) {
        ::SetDCBrushColor(dc, ColorToRGB(view.BackgroundColor));
        ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetTextColor(dc, ColorToRGB(view.FontColor));
    }
    TSelectObject font(dc, ViewFont(view));
    const std::wstring text = view.PasswordChar ? std::wstring(8, view.PasswordChar) : Widen(view.Text);
    RECT textRect = rect;
    ::OffsetRect(&textRect, 2, 2);
    DrawDataText(dc, text, textRect);
    DrawSeparator(dc, col, rect);
}

void TSimpleGrid::Paint(HDC dc, const RECT& clip)
{
    TCellGrid::Paint(dc, clip);
    const RECT r = CellRect(Col(), Row());
    if (r.right > r.left)
        DrawSeparator(dc, Col(), r);
}
