// TXMonthCalendar: the system month calendar with two plain notifications, OnSelect (a day was
// picked) and OnSelChange (the selection moved); it asks for the arrow keys inside dialogs.
#pragma once

#include "controls/FormUtils.h"

#include <functional>

class TXMonthCalendar : public TWindow {
public:
    TXMonthCalendar(HWND parent, int x, int y, int width, int height);
    // OLE date (whole days).
    double Date() const;
    void SetDate(double oleDate);
    // The size the control needs for one month.
    SIZE MinSize() const;
    std::function<void()> OnSelect;
    std::function<void()> OnSelChange;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
