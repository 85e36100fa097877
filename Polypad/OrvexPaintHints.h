// Overlay items drawn onto the Host's map in exclusive-or mode: the outline of the table's
// contour and the marker of the current vertex. Drawing an item twice removes it, so the module
// never repaints the map underneath.
//
// TPaintHintManager owns its hints and keeps a counted reference to the map window whose surface
// they redraw themselves on. Shown is a parity flag: the overlay counts as being on the map, and
// hints redraw themselves only while it is set. Painting is the painter mode.
#pragma once

#include "CoreLib/RefObjects.h"
#include "Polypad/ComUtils.h"

#include "HostTypes.h"

#include <cstdint>

struct TPaintHintPen {
    std::int32_t Style = 0;
    double Value1 = 0;
    double Value2 = 0;
    std::uint32_t Color = 0; // RGB
};

inline constexpr long kExclusiveOrPenMode = 14;

class TPaintHintManager;

class TPaintHint : public TObject {
public:
    TPaintHint(IHostContour* contour, bool contourFlag, const TPaintHintPen& pen);

    TPaintHintManager* Manager = nullptr;
    TPaintHintPen Pen;
    TComPtr<IHostContour> Contour;
    bool Visible() const { return FVisible; }
    bool ContourFlag = true;
    std::int32_t LockCount() const { return FLockCount; }

    // Removes the hint from the map (outermost call only) and holds it off until EndUpdate.
    void BeginUpdate();
    // Draws the hint again when the outermost update ends; without a BeginUpdate an assertion.
    void EndUpdate();
    // Draws the hint once onto surface (nothing while updating or without a surface).
    void Draw(IHostSurface* surface);
    void SetVisible(bool visible);
    // Removes and restores the image of a visible hint.
    void Refresh();

private:
    bool OnShownMap() const;
    void DrawOnMap();

    bool FVisible = true;
    std::int32_t FLockCount = 0;
};

// Owns its hints: deleting one, clearing or destroying the list destroys them.
class TPaintHintList : public TPointerList {
public:
    ~TPaintHintList() override;
    TPaintHint* Hint(std::int32_t index) const { return static_cast<TPaintHint*>(Items(index)); }

protected:
    void Notify(TObject* item, TListNotification action) override;
};

class TPaintHintManager : public TPaintHintList {
public:
    explicit TPaintHintManager(IHostMapWindow* mapWindow);
    ~TPaintHintManager() override;

    TComPtr<IHostMapWindow> MapWindow;
    bool Shown() const { return FShown; }
    bool Painting() const { return FPainting; }

    void AddHint(TPaintHint* hint);
    void SetPainting(bool painting);
    void ShowAll();
    void HideAll();
    // Toggles Shown and draws every visible hint onto surface; without a surface nothing changes.
    void DrawAll(IHostSurface* surface);
    TComPtr<IHostSurface> Surface() const;
    // True while any hint is inside BeginUpdate.
    bool AnyLocked() const;

protected:
    void Notify(TObject* item, TListNotification action) override;

private:
    bool FShown = true;
    bool FPainting = true;
};

// The overlay colour: blue exclusive-or the system window colour, so that it shows as blue when
// drawn in exclusive-or mode over a window-coloured map.
std::uint32_t OverlayColor(std::uint32_t windowColor);
