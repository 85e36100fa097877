// Time spent in the system's own drawing of the window's controls: their window procedures'
// paints, a status bar's text (which it paints before returning) and scroll bars redrawn by
// SetScrollInfo. The benchmark reports it apart from the module's own work: it is the system's
// cost (under Wine far above Windows'), not something the module's code can make cheaper.
#pragma once

#include <windows.h>

// Times the scope as the system's drawing; a scope inside another is not counted twice.
class TSystemDrawing {
public:
    TSystemDrawing();
    ~TSystemDrawing();
    TSystemDrawing(const TSystemDrawing&) = delete;
    TSystemDrawing& operator=(const TSystemDrawing&) = delete;

private:
    LONGLONG FStart = 0;
};

// Messages whose handling by a system control's own procedure is its drawing.
bool IsSystemDrawMessage(UINT message);

// Milliseconds of the system's drawing on this thread since it started.
double SystemDrawMilliseconds();
