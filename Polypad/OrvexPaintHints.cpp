#include "Polypad/OrvexPaintHints.h"

#include "CoreLib/Errors.h"

namespace {

constexpr std::uint32_t kBlue = 0x00FF0000; // RGB with blue in the high byte
constexpr long kSolidBrushStyle = 1;

} // namespace

std::uint32_t OverlayColor(std::uint32_t windowColor)
{
    return kBlue ^ windowColor;
}

TPaintHint::TPaintHint(IHostContour* contour, bool contourFlag, const TPaintHintPen& pen)
    : Pen(pen), Contour(contour), ContourFlag(contourFlag)
{
}

void TPaintHint::Draw(IHostSurface* surface)
{
    if (FLockCount > 0 || !surface)
        return;
    TComPtr<IHostPen> pen;
    ThrowIfFailed(surface->get_Pen(pen.put()));
    RequireHostObject(pen, "IHostSurface.Pen");
    ThrowIfFailed(pen->SetStyle(Pen.Style));
    ThrowIfFailed(pen->SetWidth(Pen.Value1));
    ThrowIfFailed(pen->SetSecondWidth(Pen.Value2));
    ThrowIfFailed(pen->SetColor(static_cast<long>(Pen.Color)));
    ThrowIfFailed(pen->SetMode(kExclusiveOrPenMode));
    TComPtr<IHostBrush> brush;
    ThrowIfFailed(surface->get_Brush(brush.put()));
    RequireHostObject(brush, "IHostSurface.Brush");
    ThrowIfFailed(brush->SetStyle(kSolidBrushStyle));
    ThrowIfFailed(surface->DrawContour(Contour.get(), ContourFlag ? VARIANT_TRUE : VARIANT_FALSE));
}

bool TPaintHint::OnShownMap() const
{
    return Manager && Manager->MapWindow && Manager->Shown();
}

void TPaintHint::DrawOnMap()
{
    Draw(Manager->Surface().get());
}

void TPaintHint::BeginUpdate()
{
    if (OnShownMap() && FVisible)
        DrawOnMap();
    ++FLockCount;
}

void TPaintHint::EndUpdate()
{
    Assert(FLockCount >= 1);
    --FLockCount;
    if (FLockCount == 0 && OnShownMap() && FVisible)
        DrawOnMap();
}

void TPaintHint::SetVisible(bool visible)
{
    if (visible == FVisible)
        return;
    FVisible = visible;
    if (OnShownMap())
        DrawOnMap();
}

void TPaintHint::Refresh()
{
    if (!FVisible)
        return;
    SetVisible(false);
    SetVisible(true);
}

TPaintHintList::~TPaintHintList()
{
    Clear();
}

void TPaintHintList::Notify(TObject* item, TListNotification action)
{
    TPointerList::Notify(item, action);
    if (action == TListNotification::lnDeleted)
        delete item;
}

TPaintHintManager::TPaintHintManager(IHostMapWindow* mapWindow) : MapWindow(mapWindow) {}

// Removing each hint draws it once more; a failing Host must not keep the hints alive.
TPaintHintManager::~TPaintHintManager()
{
    while (Count() > 0) {
        try {
            Delete(Count() - 1);
        } catch (...) {
        }
    }
}

TComPtr<IHostSurface> TPaintHintManager::Surface() const
{
    TComPtr<IHostSurface> surface;
    ThrowIfFailed(MapWindow->get_Surface(surface.put()));
    return surface;
}

bool TPaintHintManager::AnyLocked() const
{
    for (std::int32_t i = 0; i < Count(); ++i)
        if (Hint(i)->LockCount() != 0)
            return true;
    return false;
}

void TPaintHintManager::Notify(TObject* item, TListNotification action)
{
    try {
        // Only a hint that is on the map is drawn: one that painter mode hid would be put on
        // the map by its removal instead of taken off it.
        if (MapWindow && FShown && item && static_cast<TPaintHint*>(item)->Visible())
            static_cast<TPaintHint*>(item)->Draw(Surface().get());
    } catch (...) {
        TPaintHintList::Notify(item, action);
        throw;
    }
    TPaintHintList::Notify(item, action);
}

void TPaintHintManager::AddHint(TPaintHint* hint)
{
    hint->Manager = this;
    Add(hint);
}

void TPaintHintManager::SetPainting(bool painting)
{
    if (painting == FPainting)
        return;
    if (painting)
        ShowAll();
    else
        HideAll();
}

void TPaintHintManager::ShowAll()
{
    if (FPainting)
        return;
    FPainting = true;
    for (std::int32_t i = 0; i < Count(); ++i)
        Hint(i)->SetVisible(true);
}

void TPaintHintManager::HideAll()
{
    if (!FPainting)
        return;
    FPainting = false;
    if (FShown)
        DrawAll(Surface().get());
    try {
        for (std::int32_t i = 0; i < Count(); ++i)
            Hint(i)->SetVisible(false);
    } catch (...) {
        FShown = true;
        throw;
    }
    FShown = true;
}

void TPaintHintManager::DrawAll(IHostSurface* surface)
{
    // Nothing drawn is nothing toggled: the parity must keep telling what is on the map.
    if (!surface)
        return;
    TComPtr<IHostSurface> held(surface);
    FShown = !FShown;
    for (std::int32_t i = 0; i < Count(); ++i)
        if (Hint(i)->Visible())
            Hint(i)->Draw(held.get());
}
