#include "controls/SystemDrawTime.h"

#include <commctrl.h>

namespace {

// The window's thread only: no lock.
thread_local int tDepth = 0;
thread_local LONGLONG tTicks = 0;

LONGLONG Ticks()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

TSystemDrawing::TSystemDrawing()
{
    if (tDepth++ == 0)
        FStart = Ticks();
}

TSystemDrawing::~TSystemDrawing()
{
    if (--tDepth == 0)
        tTicks += Ticks() - FStart;
}

bool IsSystemDrawMessage(UINT message)
{
    switch (message) {
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_PRINTCLIENT:
    case WM_ERASEBKGND:
    case SB_SETTEXTW:
    case SB_SETTEXTA:
        return true;
    default:
        return false;
    }
}

double SystemDrawMilliseconds()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(tTicks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}
