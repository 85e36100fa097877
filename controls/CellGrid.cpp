#include "controls/CellGrid.h"

#include "controls/SimpleGridValue.h"
#include "controls/SystemDrawTime.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

TShiftState TShiftState::Current()
{
    return {::GetKeyState(VK_SHIFT) < 0, ::GetKeyState(VK_CONTROL) < 0, ::GetKeyState(VK_MENU) < 0};
}

namespace {

// A child window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT ToRect(const TIntRect& r)
{
    return {r.Left, r.Top, r.Right, r.Bottom};
}

std::u32string WideToU32(const std::wstring& s)
{
    return std::u32string(s.begin(), s.end());
}

std::wstring U32ToWide(const std::u32string& s)
{
    std::wstring w;
    for (char32_t c : s)
        w += static_cast<wchar_t>(c);
    return w;
}

} // namespace

// ---- in-place editor --------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TCellGrid& grid) : FGrid(grid)
{
    CreateSubclassed(L"EDIT", 0, WS_CHILD | ES_AUTOHSCROLL, L"", 0, 0, 0, 0, grid.Handle());
    ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(grid.Font()), FALSE);
    ::SendMessageW(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
}

void TInplaceEdit::UpdateContents()
{
    ++FLoading;
    try {
        const int col = FGrid.Col(), row = FGrid.Row();
        FMask = TEditMask(FGrid.GetEditMask(col, row));
        const int limit = FGrid.GetEditLimit();
        ::SendMessageW(Handle(), EM_SETLIMITTEXT, FMask.Empty() ? static_cast<WPARAM>(std::max(limit, 0)) : 0, 0);
        const std::string text = FGrid.GetEditText(col, row);
        if (FMask.Empty())
            SetText(text);
        else
            ::SetWindowTextW(Handle(), U32ToWide(FMask.FormatValue(Utf8ToU32(text))).c_str());
        SetReadOnly(!FGrid.CanEditModify());
        SelectAll();
    } catch (...) {
        --FLoading;
        throw;
    }
    --FLoading;
}

std::string TInplaceEdit::EditorText() const
{
    if (FMask.Empty())
        return Text();
    return U32ToUtf8(FMask.ValueOf(Utf8ToU32(Text())));
}

void TInplaceEdit::ValidateEdit() const
{
    if (FMask.Empty())
        return;
    if (!FMask.IsComplete(Utf8ToU32(Text()))) {
        ::MessageBeep(0);
        FMask.Validate(Utf8ToU32(Text()));
    }
}

void TInplaceEdit::SetReadOnly(bool readOnly)
{
    // Setting it restyles the window, a trip to the window server under Wine.
    const bool now = (::GetWindowLongW(Handle(), GWL_STYLE) & ES_READONLY) != 0;
    if (now != readOnly)
        ::SendMessageW(Handle(), EM_SETREADONLY, readOnly, 0);
}

bool TInplaceEdit::AllSelected() const
{
    DWORD start = 0, end = 0;
    ::SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == 0 && end == static_cast<DWORD>(::GetWindowTextLengthW(Handle()));
}

void TInplaceEdit::SelectAll()
{
    ::SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

bool TInplaceEdit::MaskChar(wchar_t ch)
{
    if (!FGrid.CanEditModify())
        return true;
    std::wstring w(static_cast<std::size_t>(::GetWindowTextLengthW(Handle())) + 1, L'\0');
    w.resize(static_cast<std::size_t>(::GetWindowTextW(Handle(), w.data(), static_cast<int>(w.size()))));
    std::u32string text = WideToU32(w);
    DWORD start = 0, end = 0;
    ::SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    int caret = static_cast<int>(start);
    if (ch == L'\b') {
        if (end > start)
            FMask.ClearRange(text, static_cast<int>(start), static_cast<int>(end));
        else
            FMask.Backspace(text, caret);
    } else {
        std::u32string trial = text;
        if (end > start)
            FMask.ClearRange(trial, static_cast<int>(start), static_cast<int>(end));
        if (!FMask.TypeChar(trial, caret, ch)) {
            ::MessageBeep(0);
            return true;
        }
        text = trial;
    }
    ::SetWindowTextW(Handle(), U32ToWide(text).c_str());
    ::SendMessageW(Handle(), EM_SETMODIFY, TRUE, 0); // typed, though set as a whole text
    ::SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(caret), caret);
    return true;
}

bool TInplaceEdit::MaskDelete()
{
    if (!FGrid.CanEditModify())
        return true;
    std::wstring w(static_cast<std::size_t>(::GetWindowTextLengthW(Handle())) + 1, L'\0');
    w.resize(static_cast<std::size_t>(::GetWindowTextW(Handle(), w.data(), static_cast<int>(w.size()))));
    std::u32string text = WideToU32(w);
    DWORD start = 0, end = 0;
    ::SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    FMask.ClearRange(text, static_cast<int>(start), end > start ? static_cast<int>(end) : static_cast<int>(start) + 1);
    ::SetWindowTextW(Handle(), U32ToWide(text).c_str());
    ::SendMessageW(Handle(), EM_SETMODIFY, TRUE, 0);
    ::SendMessageW(Handle(), EM_SETSEL, start, start);
    return true;
}

bool TInplaceEdit::EditKeyDown(UINT key, TShiftState shift)
{
    // The base editor hands these to the grid.
    if ((key == VK_TAB && !shift.Alt) || key == VK_ESCAPE || key == VK_PRIOR || key == VK_NEXT || key == VK_UP ||
        key == VK_DOWN) {
        UINT k = key;
        FGrid.KeyDown(k, shift);
        return true;
    }
    UINT k = key;
    if (FGrid.OnKeyDown) {
        FGrid.OnKeyDown(FGrid, k, shift);
        if (k == 0)
            return true;
    }
    if (key == VK_DELETE && !FMask.Empty())
        return MaskDelete();
    if (key == VK_RETURN) {
        FGrid.KeyDown(k, shift);
        return true;
    }
    return false;
}

LRESULT TInplaceEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        // The wheel scrolls the grid: the edit control would keep it (its one line scrolls nowhere).
        return ::SendMessageW(FGrid.Handle(), message, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const UINT key = static_cast<UINT>(wParam);
        const TShiftState shift = TShiftState::Current();
        if (FGrid.KeyPreview(key, shift))
            return 0;
        if (key == VK_TAB && !shift.Ctrl && !shift.Alt) {
            FGrid.MoveFocusToNextControl(!shift.Shift);
            return 0;
        }
        if (EditKeyDown(key, shift))
            return 0;
        break;
    }
    case WM_CHAR: {
        wchar_t ch = static_cast<wchar_t>(wParam);
        if (ch == L'\r' || ch == L'\t' || ch == 27 || ch == 10)
            return 0; // handled on key down; no beep from the edit control
        FGrid.KeyPress(ch);
        if (ch == 0)
            return 0;
        if (ch >= L' ' && !FGrid.CanEditModify()) {
            ::MessageBeep(0);
            return 0;
        }
        if (!FMask.Empty() && (ch >= L' ' || ch == L'\b'))
            return MaskChar(ch) ? 0 : 0;
        break;
    }
    case WM_PASTE:
        if (!FMask.Empty())
            return 0;
        break;
    case WM_KILLFOCUS:
        DefaultProc(message, wParam, lParam);
        FGrid.EditorLostFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}

bool TInplaceEdit::Notified(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
        if (!FLoading)
            FGrid.EditorTextChanged();
        result = 0;
        return true;
    }
    return false;
}

// ---- grid -----------------------------------------------------------------------------------

TCellGrid::TCellGrid() : FColor(::GetSysColor(COLOR_WINDOW))
{
    FGeom.ColWidths.assign(5, FDefaultColWidth);
    FGeom.RowCount = 5;
    FGeom.FixedCols = 1;
    FGeom.FixedRows = 1;
    FGeom.RowHeight = 24;
    FGeom.LeftCol = 1;
    FGeom.TopRow = 1;
    FCol = 1;
    FRow = 1;
    FFont = DefaultGuiFont();
}

TCellGrid::~TCellGrid()
{
    FEditor.reset();
}

void TCellGrid::CreateGrid(HWND parent, int x, int y, int width, int height)
{
    RegisterWindowClass(L"PolypadCellGrid", CS_DBLCLKS);
    CreateHandle(L"PolypadCellGrid", WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL,
                 L"", x, y, width, height, parent);
    RECT r = ClientRect();
    FGeom.ClientWidth = r.right;
    FGeom.ClientHeight = r.bottom;
    UpdateScrollBars();
}

void TCellGrid::SetColCount(int count)
{
    count = std::max(count, 1);
    FGeom.ColWidths.resize(static_cast<std::size_t>(count), FDefaultColWidth);
    FGeom.FixedCols = std::min(FGeom.FixedCols, count - 1);
    ClampCurrent();
}

void TCellGrid::SetRowCount(int count)
{
    FGeom.RowCount = std::max(count, 1);
    FGeom.FixedRows = std::min(FGeom.FixedRows, FGeom.RowCount - 1);
    ClampCurrent();
}

void TCellGrid::SetFixedCols(int count)
{
    FGeom.FixedCols = std::clamp(count, 0, ColCount() - 1);
    ClampCurrent();
}

void TCellGrid::SetFixedRows(int count)
{
    FGeom.FixedRows = std::clamp(count, 0, RowCount() - 1);
    ClampCurrent();
}

void TCellGrid::ClampCurrent()
{
    FCol = std::clamp(FCol, FGeom.FixedCols, ColCount() - 1);
    FRow = std::clamp(FRow, FGeom.FixedRows, RowCount() - 1);
    FGeom.LeftCol = std::max(FGeom.LeftCol, FGeom.FixedCols);
    FGeom.TopRow = std::max(FGeom.TopRow, FGeom.FixedRows);
    FGeom.Clamp();
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
}

void TCellGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= ColCount())
        return;
    FGeom.ColWidths[static_cast<std::size_t>(col)] = std::max(width, 0);
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
    ColWidthsChanged();
}

void TCellGrid::SetDefaultColWidth(int width)
{
    FDefaultColWidth = width;
    std::fill(FGeom.ColWidths.begin(), FGeom.ColWidths.end(), width);
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
    ColWidthsChanged();
}

void TCellGrid::SetDefaultRowHeight(int height)
{
    FGeom.RowHeight = std::max(height, 1);
    FGeom.Clamp();
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
    RowHeightsChanged();
}

void TCellGrid::SetHeaderHeight(int height)
{
    height = std::max(height, 0);
    if (FGeom.HeaderHeight == height)
        return;
    FGeom.HeaderHeight = height;
    FGeom.Clamp();
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
    RowHeightsChanged();
}

void TCellGrid::SetFont(HFONT font)
{
    FFont = font;
    if (FEditor)
        ::SendMessageW(FEditor->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    InvalidateGrid();
}

void TCellGrid::SetEnabled(bool enabled)
{
    if (Handle())
        ::EnableWindow(Handle(), enabled);
}

RECT TCellGrid::CellRect(int col, int row) const
{
    return ToRect(FGeom.CellRect(col, row));
}

bool TCellGrid::MouseToCell(int x, int y, int& col, int& row) const
{
    TGridPoint p;
    if (!FGeom.CellAt(x, y, p))
        return false;
    col = p.Col;
    row = p.Row;
    return true;
}

namespace {

// Beyond any client area: what InvalidateRect with no rectangle invalidates.
constexpr LONG kBeyond = 1 << 28;
constexpr RECT kWholeClient{-kBeyond, -kBeyond, kBeyond, kBeyond};

bool Holds(const RECT& outer, const RECT& inner)
{
    return outer.left < outer.right && outer.top < outer.bottom && inner.left >= outer.left &&
           inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

long long Area(const RECT& r)
{
    return r.right > r.left && r.bottom > r.top
               ? static_cast<long long>(r.right - r.left) * static_cast<long long>(r.bottom - r.top)
               : 0;
}

} // namespace

// Until the paint, a part of what already waits for it is nothing more: each invalidation is a
// trip to the window server under Wine. The largest part invalidated is remembered.
void TCellGrid::InvalidateArea(const RECT& r) const
{
    if (!Handle() || Holds(FInvalid, r))
        return;
    ::InvalidateRect(Handle(), Holds(r, kWholeClient) ? nullptr : &r, FALSE);
    if (Area(r) >= Area(FInvalid))
        FInvalid = r;
}

void TCellGrid::InvalidateCell(int col, int row) const
{
    RECT r = CellRect(col, row);
    if (r.right > r.left) {
        r.bottom += FGeom.LineWidth;
        InvalidateArea(r);
    }
}

void TCellGrid::InvalidateRow(int row) const
{
    RECT r = CellRect(0, row);
    if (r.bottom <= r.top)
        return;
    r.left = 0;
    r.right = FGeom.ClientWidth;
    r.bottom += FGeom.LineWidth;
    InvalidateArea(r);
}

void TCellGrid::InvalidateCol(int col) const
{
    RECT r = CellRect(col, 0);
    if (r.right <= r.left)
        return;
    r.top = 0;
    r.bottom = FGeom.ClientHeight;
    InvalidateArea(r);
}

void TCellGrid::InvalidateGrid() const
{
    if (FBatchDepth > 0)
        FPendingInvalidate = true;
    else
        InvalidateArea(kWholeClient);
}

void TCellGrid::InvalidateScrolled(bool rowsMoved, bool colsMoved) const
{
    if ((rowsMoved && colsMoved) || FBatchDepth > 0) {
        InvalidateGrid();
        return;
    }
    RECT r{0, 0, FGeom.ClientWidth, FGeom.ClientHeight};
    if (rowsMoved)
        r.top = FGeom.FixedHeight();
    else
        r.left = FGeom.FixedWidth();
    InvalidateArea(r);
}

void TCellGrid::FlushWindowUpdates()
{
    const bool scrollBars = std::exchange(FPendingScrollBars, false);
    const bool editor = std::exchange(FPendingEditor, false);
    const bool invalidate = std::exchange(FPendingInvalidate, false);
    if (scrollBars)
        UpdateScrollBars();
    if (editor)
        UpdateEditor();
    if (invalidate)
        InvalidateGrid();
}

void TCellGrid::ScrollIntoView(int col, int row)
{
    SetTopLeft(FGeom.TopRowShowing(row), FGeom.LeftColShowing(col));
}

void TCellGrid::SetTopRow(int row) { SetTopLeft(row, FGeom.LeftCol); }
void TCellGrid::SetLeftCol(int col) { SetTopLeft(FGeom.TopRow, col); }

// Scrolls so that (left, top) is the first scrollable cell, within the limits of the grid.
void TCellGrid::SetTopLeft(int top, int left)
{
    const int oldTop = FGeom.TopRow;
    const int oldLeft = FGeom.LeftCol;
    FGeom.TopRow = top;
    FGeom.LeftCol = left;
    FGeom.Clamp();
    if (FGeom.TopRow != oldTop || FGeom.LeftCol != oldLeft) {
        UpdateScrollBars();
        InvalidateScrolled(FGeom.TopRow != oldTop, FGeom.LeftCol != oldLeft);
        UpdateEditor();
        TopLeftChanged();
    }
}

void TCellGrid::FocusCell(int col, int row)
{
    col = std::clamp(col, FGeom.FixedCols, ColCount() - 1);
    row = std::clamp(row, FGeom.FixedRows, RowCount() - 1);
    if (col == FCol && row == FRow) {
        ScrollIntoView(col, row);
        return;
    }
    if (!SelectCell(col, row))
        return;
    const int oldCol = FCol, oldRow = FRow;
    FCol = col;
    FRow = row;
    InvalidateCell(oldCol, oldRow);
    InvalidateCell(col, row);
    ScrollIntoView(col, row);
    UpdateEditor();
}

bool TCellGrid::FocusedOrEditing() const
{
    const HWND focus = ::GetFocus();
    return focus && (focus == Handle() || (FEditor && focus == FEditor->Handle()));
}

void TCellGrid::SetEditorMode(bool on)
{
    if (on)
        ShowEditor();
    else
        HideEditor();
}

void TCellGrid::ShowEditor()
{
    FEditorMode = true;
    UpdateEditor();
}

void TCellGrid::HideEditor()
{
    FEditorMode = false;
    if (FEditor && FEditor->Visible()) {
        const bool hadFocus = ::GetFocus() == FEditor->Handle();
        FEditor->Show(false);
        if (hadFocus)
            ::SetFocus(Handle());
    }
}

void TCellGrid::InvalidateEditor()
{
    if (FEditor && FEditorMode)
        FEditor->UpdateContents();
}

void TCellGrid::UpdateEditor()
{
    if (!Handle())
        return;
    if (FBatchDepth > 0) {
        FPendingEditor = true;
        return;
    }
    if (!FEditorMode || !CanEditShow()) {
        if (FEditor && FEditor->Visible()) {
            const bool hadFocus = ::GetFocus() == FEditor->Handle();
            FEditor->Show(false);
            if (hadFocus)
                ::SetFocus(Handle());
        }
        return;
    }
    if (!FEditor)
        FEditor = CreateEditor();
    RECT cell = CellRect(FCol, FRow);
    if (cell.right <= cell.left) {
        FEditor->Show(false);
        return;
    }
    const RECT r = EditorRect(FCol, FRow, cell);
    // Moving a window costs a round trip to the window system even when it stays where it is.
    const RECT placed = RectInParent(FEditor->Handle());
    if (!FEditor->Visible()) {
        ::SetWindowPos(FEditor->Handle(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE);
    } else if (!::EqualRect(&r, &placed)) {
        // Copying its old pixels along costs Wine more than the editor's own repaint.
        const bool sameSize =
            r.right - r.left == placed.right - placed.left && r.bottom - r.top == placed.bottom - placed.top;
        ::SetWindowPos(FEditor->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | (sameSize ? SWP_NOSIZE : 0));
    }
    if (::GetFocus() == Handle())
        ::SetFocus(FEditor->Handle());
}

void TCellGrid::UpdateScrollBars()
{
    if (!Handle())
        return;
    if (FBatchDepth > 0) {
        FPendingScrollBars = true;
        return;
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    const int maxTop = FGeom.MaxTopRow();
    si.nMin = FGeom.FixedRows;
    si.nPage = static_cast<UINT>(FGeom.VisibleRows());
    si.nMax = maxTop > FGeom.FixedRows ? maxTop + static_cast<int>(si.nPage) - 1 : FGeom.FixedRows;
    if (maxTop <= FGeom.FixedRows)
        si.nPage = 0;
    si.nPos = FGeom.TopRow;
    SetScrollInfoIfChanged(SB_VERT, si);
    const int maxLeft = FGeom.MaxLeftCol();
    si.nMin = FGeom.FixedCols;
    si.nPage = maxLeft > FGeom.FixedCols ? 1 : 0;
    si.nMax = maxLeft > FGeom.FixedCols ? maxLeft : FGeom.FixedCols;
    si.nPos = FGeom.LeftCol;
    SetScrollInfoIfChanged(SB_HORZ, si);
}

// Drawing a scroll bar on the spot costs milliseconds under Wine, and a paste sets the bars once
// per line: a bar that stays as it is is left alone, and a changed range is drawn with the next
// paint of the frame rather than at once. A scroll changes the position alone: that bar is drawn
// at once.
void TCellGrid::SetScrollInfoIfChanged(int bar, const SCROLLINFO& si)
{
    SCROLLINFO current{};
    current.cbSize = sizeof current;
    current.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const bool known = ::GetScrollInfo(Handle(), bar, &current) != FALSE;
    const bool sameRange = known && current.nMin == si.nMin && current.nMax == si.nMax && current.nPage == si.nPage;
    if (sameRange && current.nPos == si.nPos)
        return;
    if (sameRange && !FPendingFrame) {
        const TSystemDrawing drawing;
        ::SetScrollInfo(Handle(), bar, &si, TRUE);
        return;
    }
    ::SetScrollInfo(Handle(), bar, &si, FALSE);
    FPendingFrame = true;
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

RECT TCellGrid::EditorRect(int, int, RECT cell)
{
    return cell;
}

void TCellGrid::DrawCell(HDC dc, int, int, RECT rect, bool, bool)
{
    ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_WINDOW));
}

bool TCellGrid::SelectCell(int, int)
{
    return true;
}

bool TCellGrid::CanEditShow() const
{
    return FCol >= FGeom.FixedCols && FRow >= FGeom.FixedRows;
}

bool TCellGrid::CanEditModify() const
{
    return true;
}

std::string TCellGrid::GetEditText(int, int)
{
    return {};
}

void TCellGrid::SetEditText(int, int, const std::string&) {}

std::string TCellGrid::GetEditMask(int, int)
{
    return {};
}

int TCellGrid::GetEditLimit()
{
    return 0;
}

std::unique_ptr<TInplaceEdit> TCellGrid::CreateEditor()
{
    return std::make_unique<TInplaceEdit>(*this);
}

void TCellGrid::EditorTextChanged()
{
    if (FEditor)
        SetEditText(FCol, FRow, FEditor->EditorText());
}

void TCellGrid::EditorLostFocus(HWND newFocus)
{
    if (newFocus != Handle())
        FocusLost(newFocus);
}

void TCellGrid::FocusGained(bool) {}

void TCellGrid::FocusLost(HWND) {}

void TCellGrid::MoveFocusToNextControl(bool forward)
{
    HWND root = ::GetAncestor(Handle(), GA_ROOT);
    HWND next = ::GetNextDlgTabItem(root, Handle(), !forward);
    if (next && next != Handle())
        ::SetFocus(next);
}

bool TCellGrid::KeyPreview(UINT, TShiftState)
{
    return false;
}

void TCellGrid::KeyDown(UINT& key, TShiftState shift)
{
    if (OnKeyDown) {
        OnKeyDown(*this, key, shift);
        if (key == 0)
            return;
    }
    int col = FCol, row = FRow;
    const int page = std::max(1, FGeom.VisibleRows());
    switch (key) {
    case VK_UP: --row; break;
    case VK_DOWN: ++row; break;
    case VK_LEFT: --col; break;
    case VK_RIGHT: ++col; break;
    case VK_PRIOR: row -= page; break;
    case VK_NEXT: row += page; break;
    case VK_HOME:
        if (shift.Ctrl)
            row = FGeom.FixedRows;
        col = FGeom.FixedCols;
        break;
    case VK_END:
        if (shift.Ctrl)
            row = RowCount() - 1;
        col = ColCount() - 1;
        break;
    case VK_F2:
        ShowEditor();
        key = 0;
        return;
    case VK_ESCAPE:
        InvalidateEditor();
        key = 0;
        return;
    default: return;
    }
    key = 0;
    FocusCell(col, row);
}

void TCellGrid::KeyPress(wchar_t& ch)
{
    // Typing on the grid itself starts the editor with the character.
    if (ch >= L' ' && CanEditModify() && !FEditorMode) {
        ShowEditor();
        if (FEditor && FEditor->Visible()) {
            FEditor->SelectAll();
            ::SendMessageW(FEditor->Handle(), WM_CHAR, ch, 0);
            ch = 0;
        }
    }
}

void TCellGrid::Paint(HDC dc, const RECT& clip)
{
    const bool focused = FocusedOrEditing();
    auto drawRow = [&](int row, int firstScrolled, int lastCol) {
        for (int col = 0; col < FGeom.FixedCols; ++col) {
            RECT r = CellRect(col, row);
            if (r.right > r.left)
                DrawCell(dc, col, row, r, false, false);
        }
        for (int col = firstScrolled; col <= lastCol; ++col) {
            RECT r = CellRect(col, row);
            if (r.right <= r.left)
                break;
            RECT hit;
            if (!::IntersectRect(&hit, &r, &clip))
                continue;
            const bool current = col == FCol && row == FRow;
            DrawCell(dc, col, row, r, current && row >= FGeom.FixedRows && col >= FGeom.FixedCols,
                     current && focused);
        }
    };
    const int lastCol = FGeom.LastVisibleCol();
    const int lastRow = FGeom.LastVisibleRow();
    HBRUSH line = ::GetSysColorBrush(COLOR_BTNFACE);
    int right = 0;
    {
        RECT r = CellRect(lastCol, std::min(lastRow, RowCount() - 1));
        right = r.right > r.left ? r.right : FGeom.FixedWidth();
    }
    auto rowVisible = [&](int row) {
        RECT r = CellRect(FGeom.FixedCols > 0 ? 0 : FGeom.LeftCol, row);
        if (r.bottom <= r.top)
            return false;
        r.left = 0;
        r.right = FGeom.ClientWidth;
        r.bottom += FGeom.LineWidth;
        RECT hit;
        return ::IntersectRect(&hit, &r, &clip) != FALSE;
    };
    for (int row = 0; row < FGeom.FixedRows; ++row)
        if (rowVisible(row)) {
            drawRow(row, FGeom.LeftCol, lastCol);
            const int fixedPitch = FGeom.FixedRowHeight() + FGeom.LineWidth;
            RECT l{0, row * fixedPitch + FGeom.FixedRowHeight(), right, (row + 1) * fixedPitch};
            ::FillRect(dc, &l, line);
        }
    for (int row = FGeom.TopRow; row <= lastRow; ++row) {
        if (!rowVisible(row))
            continue;
        drawRow(row, FGeom.LeftCol, lastCol);
        const RECT cell = CellRect(FGeom.FixedCols > 0 ? 0 : FGeom.LeftCol, row);
        RECT l{0, cell.bottom, right, cell.bottom + FGeom.LineWidth};
        ::FillRect(dc, &l, line);
    }
    // Beyond the last column and below the last row: the grid colour.
    TUniqueBrush back(::CreateSolidBrush(FColor));
    RECT rest{right, 0, FGeom.ClientWidth, FGeom.ClientHeight};
    ::FillRect(dc, &rest, back.get());
    const RECT lastCell = CellRect(FGeom.FixedCols > 0 ? 0 : FGeom.LeftCol, lastRow);
    const int bottom = lastCell.bottom > lastCell.top ? lastCell.bottom + FGeom.LineWidth : FGeom.FixedHeight();
    RECT below{0, bottom, right, FGeom.ClientHeight};
    ::FillRect(dc, &below, back.get());
}

void TCellGrid::OnPaint()
{
    FInvalid = {};
    TPaintDC paint(Handle());
    const RECT& clip = paint.Paint().rcPaint;
    const int w = clip.right - clip.left, h = clip.bottom - clip.top;
    if (w <= 0 || h <= 0)
        return;
    const HDC memory = BackBuffer(paint.get(), w, h);
    if (!memory)
        return;
    // Each paint starts from the DC as made: what one paint sets does not reach the next.
    const int saved = ::SaveDC(memory);
    ::SetViewportOrgEx(memory, -clip.left, -clip.top, nullptr);
    ::SelectObject(memory, FFont);
    ::SetBkMode(memory, TRANSPARENT);
    Paint(memory, clip);
    ::RestoreDC(memory, saved);
    ::BitBlt(paint.get(), clip.left, clip.top, w, h, memory, 0, 0, SRCCOPY);
}

// A memory DC of at least width × height, kept from paint to paint: making a bitmap compatible
// with the screen asks the window server about the display under Wine.
HDC TCellGrid::BackBuffer(HDC screen, int width, int height)
{
    if (FBackDC && width <= FBackSize.cx && height <= FBackSize.cy)
        return FBackDC.get();
    FBackDC.reset();
    FBackBitmap.reset();
    const SIZE size{std::max<LONG>(width, FGeom.ClientWidth), std::max<LONG>(height, FGeom.ClientHeight)};
    TUniqueBitmap bitmap(::CreateCompatibleBitmap(screen, size.cx, size.cy));
    TUniqueMemoryDC dc(::CreateCompatibleDC(screen));
    if (!bitmap || !dc)
        return nullptr;
    ::SelectObject(dc.get(), bitmap.get());
    FBackBitmap = std::move(bitmap);
    FBackDC = std::move(dc);
    FBackSize = size;
    return FBackDC.get();
}

void TCellGrid::OnSize(int cx, int cy)
{
    FGeom.ClientWidth = cx;
    FGeom.ClientHeight = cy;
    FGeom.Clamp();
    UpdateScrollBars();
    UpdateEditor();
    InvalidateGrid();
    Resized();
}

void TCellGrid::OnScroll(int bar, int code)
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(Handle(), bar, &si);
    const bool vertical = bar == SB_VERT;
    int pos = vertical ? FGeom.TopRow : FGeom.LeftCol;
    const int page = vertical ? FGeom.VisibleRows() : FGeom.VisibleCols();
    switch (code) {
    case SB_LINEUP: --pos; break;
    case SB_LINEDOWN: ++pos; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = vertical ? RowCount() : ColCount(); break;
    default: return;
    }
    if (vertical)
        SetTopRow(pos);
    else
        SetLeftCol(pos);
}

int TCellGrid::SizingColumnAt(int x, int y) const
{
    if (y < 0 || y >= FGeom.FixedHeight() || FGeom.FixedRows == 0)
        return -1;
    for (int col = 0; col < ColCount(); ++col) {
        if (col >= FGeom.FixedCols && col < FGeom.LeftCol)
            continue;
        const RECT r = CellRect(col, 0);
        if (r.right <= r.left)
            break;
        if (x >= r.right - 3 && x <= r.right + 2)
            return col;
    }
    return -1;
}

void TCellGrid::OnLButtonDown(int x, int y)
{
    if (::GetFocus() != Handle() && !(FEditor && ::GetFocus() == FEditor->Handle()))
        ::SetFocus(Handle());
    const int sizing = SizingColumnAt(x, y);
    if (sizing >= 0) {
        FSizingCol = sizing;
        FSizingOrigin = CellRect(sizing, 0).left;
        ::SetCapture(Handle());
        return;
    }
    int col = 0, row = 0;
    if (MouseToCell(x, y, col, row) && col >= FGeom.FixedCols && row >= FGeom.FixedRows)
        FocusCell(col, row);
}

void TCellGrid::OnMouseMove(int x, int)
{
    if (FSizingCol < 0)
        return;
    FGeom.ColWidths[static_cast<std::size_t>(FSizingCol)] = std::max(x - FSizingOrigin, 1);
    UpdateEditor();
    InvalidateGrid();
}

void TCellGrid::OnLButtonUp(int x, int y)
{
    if (FSizingCol < 0)
        return;
    OnMouseMove(x, y);
    FSizingCol = -1;
    ::ReleaseCapture();
    UpdateScrollBars();
    ColWidthsChanged();
}

bool TCellGrid::OnSetCursor()
{
    POINT p;
    ::GetCursorPos(&p);
    ::ScreenToClient(Handle(), &p);
    if (FSizingCol >= 0 || SizingColumnAt(p.x, p.y) >= 0) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
        return true;
    }
    return false;
}

// Rows by the system's lines per notch (a page where it says so); the tilt or horizontal wheel
// moves a column per notch, a column being many characters wide.
void TCellGrid::OnWheel(int delta, bool horizontal)
{
    if (horizontal) {
        if (const int cols = FWheelCols.Take(delta, 1, FGeom.VisibleCols()))
            SetLeftCol(FGeom.LeftCol + cols);
        return;
    }
    UINT perNotch = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    if (const int rows = FWheelRows.Take(delta, perNotch, FGeom.VisibleRows()))
        SetTopRow(FGeom.TopRow - rows);
}

LRESULT TCellGrid::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCPAINT:
        FPendingFrame = false;
        break;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        FColor = ::GetSysColor(COLOR_WINDOW);
        InvalidateGrid();
        break;
    case WM_PRINTCLIENT: {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        TSelectObject font(dc, FFont);
        ::SetBkMode(dc, TRANSPARENT);
        const RECT all = ClientRect();
        Paint(dc, all);
        return 0;
    }
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam), message == WM_MOUSEHWHEEL);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Handle() && LOWORD(lParam) == HTCLIENT && OnSetCursor())
            return TRUE;
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        UINT key = static_cast<UINT>(wParam);
        const TShiftState shift = TShiftState::Current();
        if (KeyPreview(key, shift))
            return 0;
        if (key == VK_TAB && !shift.Ctrl && !shift.Alt) {
            MoveFocusToNextControl(!shift.Shift);
            return 0;
        }
        KeyDown(key, shift);
        if (key == 0)
            return 0;
        break;
    }
    case WM_CHAR: {
        wchar_t ch = static_cast<wchar_t>(wParam);
        KeyPress(ch);
        return 0;
    }
    case WM_SETFOCUS: {
        const HWND from = reinterpret_cast<HWND>(wParam);
        InvalidateCell(FCol, FRow);
        FocusGained(FEditor && from == FEditor->Handle());
        return 0;
    }
    case WM_KILLFOCUS: {
        const HWND to = reinterpret_cast<HWND>(wParam);
        InvalidateCell(FCol, FRow);
        if (!(FEditor && to == FEditor->Handle()))
            FocusLost(to);
        return 0;
    }
    case WM_ENABLE:
        EnabledChanged();
        return 0;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}
