// The map window ("TOrvexMapWindow"): draws the project through the view transform, combines
// the surface's overlay by exclusive-or, selects the object under a click, pans by dragging and
// zooms with the wheel. Every view change runs through THostState::ChangeView, so an attached
// module repaints its overlay before and after. RenderMap draws the same picture into any DC
// (the window's paint and screenshots).
#pragma once

#include "hostsim/HostState.h"
#include "controls/WinHandles.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace hostsim {

// The map of the state's project, with the overlay combined, into dc (view size).
void RenderMap(HDC dc, const THostState& state);
// The same without the overlay.
void RenderMapContents(HDC dc, const THostState& state);

class TMapWindow {
public:
    // A child window of parent; the window belongs to its parent.
    TMapWindow(THostState& state, HWND parent);
    HWND Handle() const { return FWindow; }
    // Invalidates the whole window once until it is painted: a command that writes many vertices
    // changes the map once per vertex, and each InvalidateRect is a trip to the Wine server.
    void Invalidate();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    // Renders the map without the overlay into FPicture unless it shows the current project,
    // view and selection already; false when no picture could be made.
    bool UpdatePicture(HDC screen);
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
    bool FInvalidated = false;
    // The map as last rendered, and what it showed: repaints for the module's overlay alone (a
    // moved vertex marker, a rebuilt outline) only combine it with the overlay again.
    struct TPictureKey {
        unsigned Revision = 0;
        int Width = 0, Height = 0;
        double CentreX = 0, CentreY = 0, Scale = 0;
        std::vector<std::pair<std::int32_t, std::int32_t>> Selection;
        bool operator==(const TPictureKey&) const = default;
    };
    TPictureKey FPictureKey;
    TUniqueBitmap FPicture;
    TUniqueMemoryDC FPictureDC;
    POINT FLast{};
    POINT FDown{};
};

} // namespace hostsim
