#include "controls/XMonthCalendar.h"

#include "controls/SimpleGridValue.h"

TXMonthCalendar::TXMonthCalendar(HWND parent, int x, int y, int width, int height)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&icc);
    CreateSubclassed(MONTHCAL_CLASSW, 0, WS_CHILD | WS_TABSTOP, L"", x, y, width, height, parent);
}

double TXMonthCalendar::Date() const
{
    SYSTEMTIME st{};
    ::SendMessageW(Handle(), MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
    return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

void TXMonthCalendar::SetDate(double oleDate)
{
    int y, m, d;
    DecodeDate(oleDate, y, m, d);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    ::SendMessageW(Handle(), MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
}

SIZE TXMonthCalendar::MinSize() const
{
    RECT r{};
    ::SendMessageW(Handle(), MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&r));
    return {r.right - r.left, r.bottom - r.top};
}

LRESULT TXMonthCalendar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE)
        return DefaultProc(message, wParam, lParam) | DLGC_WANTARROWS;
    return TWindow::WindowProc(message, wParam, lParam);
}

bool TXMonthCalendar::Notified(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_NOTIFY)
        return false;
    const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
    if (code == MCN_SELCHANGE && OnSelChange) {
        OnSelChange();
        result = 0;
        return true;
    }
    if (code == MCN_SELECT && OnSelect) {
        OnSelect();
        result = 0;
        return true;
    }
    return false;
}
