// The map window ("TOrvexMapWindow"): draws the project through the view transform, combines
// the surface's overlay by exclusive-or, selects the object under a click, pans by dragging and
// zooms with the wheel. Every view change runs through THostState::ChangeView, so an attached
// module repaints its overlay before and after. RenderMap draws the same picture into any DC
// (the window's paint and screenshots).
#pragma once

#include "hostsim/HostState.h"

namespace hostsim {

// The map of the state's project, with the overlay combined, into dc (view size).
void RenderMap(HDC dc, const THostState& state);

class TMapWindow {
public:
    // A child window of parent; the window belongs to its parent.
    TMapWindow(THostState& state, HWND parent);
    HWND Handle() const { return FWindow; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnSize(int cx, int cy);
    void OnLeftButtonDown(int x, int y);
    void OnMouseMove(int x, int y, bool leftDown);
    void OnLeftButtonUp(int x, int y);
    void OnMouseWheel(int delta, int screenX, int screenY);
    void SelectAt(int x, int y);

    THostState& FState;
    HWND FWindow = nullptr;
    bool FDragging = false;
    bool FMoved = false;
    POINT FLast{};
    POINT FDown{};
};

} // namespace hostsim
