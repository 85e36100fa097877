// Timing of the stand-in's message loops for benchmarks: every DispatchMessage of Orvex.exe's
// loop and of PumpMessages goes through DispatchMeasured, which keeps the longest one. Time that
// a handler spends inside a modal loop it started (a message box, a menu) is the user's, not the
// handler's: it is left out.
// A loop nested in a handler is seen by the messages it takes from the queue: the time from the
// first one to the last one, or to the end of a dialog box closed in it (hiding a window under
// X11 can wait seconds for a window manager), is left out. Implements the timing part of HostSimApi.h. One UI thread: the records are not locked.
#pragma once

#include <windows.h>

namespace hostsim {

// Messages of this thread timer (the script runner's) are dispatched but not measured: a
// script step's own work, such as generate or screenshot, belongs to the benchmark.
void SetUnmeasuredTimer(UINT_PTR timer);

} // namespace hostsim
