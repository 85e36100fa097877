#include "controls/SimpleDropDowns.h"

#include "controls/GridLayout.h"
#include "controls/XMonthCalendar.h"

#include <richedit.h>
#include <windowsx.h>

#include <algorithm>

namespace {

HWND GActivePopup = nullptr;

enum TResult { drNone, drOk, drCancel };

int Scale(int pixelsAt120)
{
    TWindowDC dc(nullptr);
    return ::MulDiv(pixelsAt120, ::GetDeviceCaps(dc.get(), LOGPIXELSY), 120);
}

double Today()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

// The list box of the popup: virtual (no stored items), hot tracking, a click chooses.
class TDropDownListBox : public TWindow {
public:
    TDropDownListBox(HWND parent, int itemHeight)
    {
        CreateSubclassed(L"LISTBOX", 0,
                         WS_CHILD | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                         L"", 0, 0, 10, 10, parent);
        ::SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, itemHeight);
    }
    std::function<void()> OnMouseUp;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_MOUSEMOVE: {
            const LRESULT hit = ::SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, lParam);
            const int index = HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
            if (index != static_cast<int>(::SendMessageW(Handle(), LB_GETCURSEL, 0, 0)))
                ::SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            return 0;
        }
        case WM_LBUTTONUP: {
            const LRESULT result = DefaultProc(message, wParam, lParam);
            const LRESULT hit = ::SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, lParam);
            ::SendMessageW(Handle(), LB_SETCURSEL, HIWORD(hit) ? static_cast<WPARAM>(-1) : LOWORD(hit), 0);
            if (OnMouseUp)
                OnMouseUp();
            return result;
        }
        default: break;
        }
        return TWindow::WindowProc(message, wParam, lParam);
    }
};

class TRichEdit : public TWindow {
public:
    explicit TRichEdit(HWND parent)
    {
        static HMODULE library = ::LoadLibraryW(L"riched20.dll");
        if (!library)
            RaiseLastWin32Error("LoadLibrary(riched20.dll)");
        CreateSubclassed(RICHEDIT_CLASSW, 0, WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                         L"", 0, 0, 10, 10, parent);
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_GETDLGCODE)
            return DefaultProc(message, wParam, lParam) | DLGC_WANTALLKEYS;
        return TWindow::WindowProc(message, wParam, lParam);
    }
};

class TSimpleDropDownForm : public TForm {
public:
    TSimpleDropDownForm(HWND owner, TDropDownKind kind, const std::shared_ptr<IDropDownList>& list)
        : FKind(kind), FList(list)
    {
        RegisterWindowClass(L"PolypadDropDown", CS_DBLCLKS | CS_DROPSHADOW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        CreateHandle(L"PolypadDropDown", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP | WS_THICKFRAME, L"", 0, 0,
                     Scale(254), Scale(312), owner);
        FFontHandle.reset(::CreateFontW(-Scale(13), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                        L"MS Sans Serif"));
        FStatusBar = std::make_unique<TStatusBar>(Handle(), false);
        FStatusBar->SetPanels({-1});
        FStatusBar->OnClick = [this] {
            if (FKind == ddkMemo)
                FResult = drOk;
        };
        Actions.Add("Принять изменения").SetShortCut({VK_RETURN});
        Actions.Add("Отменить изменения").SetShortCut({VK_ESCAPE});
        FListBox = std::make_unique<TDropDownListBox>(Handle(), Scale(18));
        FListBox->OnMouseUp = [this] { FResult = drOk; };
        ::SendMessageW(FListBox->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFontHandle.get()), FALSE);
        FCalendar = std::make_unique<TXMonthCalendar>(Handle(), 0, 0, Scale(246), Scale(188));
        FCalendar->OnSelect = [this] { FResult = drOk; };
        FRichEdit = std::make_unique<TRichEdit>(Handle());
    }

    TDropDownKind FKind;
    std::shared_ptr<IDropDownList> FList;
    int FResult = drNone;
    std::unique_ptr<TStatusBar> FStatusBar;
    std::unique_ptr<TDropDownListBox> FListBox;
    std::unique_ptr<TXMonthCalendar> FCalendar;
    std::unique_ptr<TRichEdit> FRichEdit;
    TUniqueFont FFontHandle;
    TWindow* FActive = nullptr;

    void DestroyPopup()
    {
        FActive = nullptr;
        DestroyHandle();
    }

    RECT Client() const
    {
        RECT r = ClientRect();
        r.bottom -= FStatusBar->Height();
        return r;
    }

    void FillClient(TWindow& control)
    {
        const RECT r = Client();
        ::MoveWindow(control.Handle(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        control.Show();
        FActive = &control;
    }

    // Keys seen before the focused control (key preview); true when consumed.
    bool PreviewKey(const MSG& msg)
    {
        if (msg.message != WM_KEYDOWN)
            return false;
        const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
        if (msg.wParam == VK_ESCAPE) {
            FResult = drCancel;
            return true;
        }
        if (msg.wParam == VK_RETURN) {
            if (FKind == ddkMemo && !ctrl)
                return false; // a new line
            FResult = drOk;
            return true;
        }
        return false;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE && FResult == drNone)
                FResult = drCancel;
            else if (LOWORD(wParam) != WA_INACTIVE && FActive && FActive->Handle())
                ::SetFocus(FActive->Handle());
            return 0;
        case WM_SIZE:
            ::SendMessageW(FStatusBar->Handle(), WM_SIZE, 0, 0);
            if (FActive)
                FillClient(*FActive);
            return 0;
        case WM_MEASUREITEM:
            return TRUE;
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_NCHITTEST: {
            const LRESULT hit = DefaultProc(message, wParam, lParam);
            return hit == HTCAPTION ? HTCLIENT : hit;
        }
        default: break;
        }
        return TForm::WindowProc(message, wParam, lParam);
    }

    void DrawItem(const DRAWITEMSTRUCT& item)
    {
        HDC dc = item.hDC;
        RECT r = item.rcItem;
        if (static_cast<int>(item.itemID) < 0 || !FList) {
            ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_WINDOW));
            return;
        }
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        ::SetBkMode(dc, TRANSPARENT);
        std::string caption;
        FList->GetCaption(static_cast<int>(item.itemID), caption);
        const std::wstring text = Widen(" " + caption);
        ::ExtTextOutW(dc, r.left, r.top, ETO_CLIPPED, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    }
};

} // namespace

HWND ActiveDropDownWindow()
{
    return GActivePopup;
}

bool ExecuteDropDown(const RECT& cellRect, TDropDownKind kind, TGridValue& value,
                     const std::shared_ptr<IDropDownList>& list, HWND owner)
{
    const HWND previousFocus = ::GetFocus();
    TSimpleDropDownForm form(owner, kind, list);
    RECT window{};
    ::GetWindowRect(form.Handle(), &window);
    int width = window.right - window.left, height = window.bottom - window.top;
    const int statusHeight = form.FStatusBar->Height();
    switch (kind) {
    case ddkCalendar: {
        const SIZE need = form.FCalendar->MinSize();
        const int cw = std::max<int>(Scale(246), need.cx), ch = std::max<int>(Scale(188), need.cy);
        height = 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + ch + statusHeight;
        width = 2 * ::GetSystemMetrics(SM_CXDLGFRAME) + cw;
        form.FCalendar->SetDate(value.IsEmptyOrNull() ? Today() : value.AsDateTime());
        form.FillClient(*form.FCalendar);
        break;
    }
    case ddkMemo: {
        const SIZE need = form.FCalendar->MinSize();
        const int cw = std::max<int>(Scale(246), need.cx), ch = std::max<int>(Scale(188), need.cy);
        height = 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + ch + statusHeight;
        width = 2 * ::GetSystemMetrics(SM_CXDLGFRAME) + cw;
        if (!value.IsEmptyOrNull())
            form.FRichEdit->SetText(value.AsText());
        form.FStatusBar->SetPanelText(0, "Ctrl-Enter: принять изменения");
        form.Actions.Items(0).SetShortCut({VK_RETURN, true});
        form.FillClient(*form.FRichEdit);
        break;
    }
    case ddkList:
        if (list) {
            const HWND box = form.FListBox->Handle();
            ::SendMessageW(box, LB_SETCOUNT, static_cast<WPARAM>(list->Count()), 0);
            int inner = std::max<int>(8, (cellRect.right - cellRect.left) - 2 * ::GetSystemMetrics(SM_CXFRAME));
            TWindowDC dc(box);
            TSelectObject font(dc.get(), form.FFontHandle.get());
            int selected = -1;
            TGridValue item;
            for (int i = 0; i < list->Count(); ++i) {
                std::string caption;
                list->GetCaption(i, caption);
                const std::wstring w = Widen(caption);
                SIZE size{};
                ::GetTextExtentPoint32W(dc.get(), w.c_str(), static_cast<int>(w.size()), &size);
                inner = std::max<int>(inner, size.cx + 8);
                list->GetValue(i, item);
                if (VarEquals(item, value))
                    selected = i;
            }
            if (selected >= 0)
                ::SendMessageW(box, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
            const int itemHeight = static_cast<int>(::SendMessageW(box, LB_GETITEMHEIGHT, 0, 0));
            const int wanted = list->Count() * itemHeight + statusHeight + 2 * ::GetSystemMetrics(SM_CYDLGFRAME);
            if (wanted < height)
                height = wanted;
            width = 2 * ::GetSystemMetrics(SM_CXFRAME) + inner;
            form.FillClient(*form.FListBox);
        }
        break;
    }
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const TGridPoint at = PlacePopup({cellRect.left, cellRect.top, cellRect.right, cellRect.bottom}, width, height,
                                     work.right, work.bottom);
    ::SetWindowPos(form.Handle(), HWND_TOPMOST, at.Col, at.Row, width, height, SWP_SHOWWINDOW);
    ::SetForegroundWindow(form.Handle());
    ::SetActiveWindow(form.Handle());
    if (form.FActive)
        ::SetFocus(form.FActive->Handle());

    struct TActiveGuard {
        HWND Saved;
        explicit TActiveGuard(HWND popup) : Saved(GActivePopup) { GActivePopup = popup; }
        ~TActiveGuard() { GActivePopup = Saved; }
    } guard(form.Handle());

    MSG repost{};
    bool hasRepost = false;
    while (form.FResult == drNone && form.Handle()) {
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            form.FResult = drCancel;
            break;
        }
        const bool inside = msg.hwnd == form.Handle() || ::IsChild(form.Handle(), msg.hwnd);
        switch (msg.message) {
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN:
            if (!inside) {
                // A click elsewhere cancels; it reaches its window after the popup is gone.
                form.FResult = drCancel;
                repost = msg;
                hasRepost = true;
                continue;
            }
            break;
        default: break;
        }
        if (inside && form.PreviewKey(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    bool accepted = form.FResult == drOk;
    if (accepted) {
        switch (kind) {
        case ddkList: {
            const int index = form.FListBox->Handle()
                                  ? static_cast<int>(::SendMessageW(form.FListBox->Handle(), LB_GETCURSEL, 0, 0))
                                  : -1;
            if (index < 0 || !list)
                accepted = false;
            else
                list->GetValue(index, value);
            break;
        }
        case ddkCalendar: value = TGridValue::DateTime(form.FCalendar->Date()); break;
        case ddkMemo: value = TGridValue::String(form.FRichEdit->Text()); break;
        }
    }
    form.DestroyPopup();
    if (owner && ::IsWindow(owner))
        ::SetActiveWindow(owner);
    if (previousFocus && ::IsWindow(previousFocus))
        ::SetFocus(previousFocus); // the grid (or its editor) gets its focus back
    form.FList.reset();
    if (hasRepost)
        ::PostMessageW(repost.hwnd, repost.message, repost.wParam, repost.lParam);
    return accepted;
}
