#include "hostsim/MessageTiming.h"
#include "hostsim/HostSimApi.h"

#include <cwchar>
#include <utility>

namespace hostsim {

namespace {

struct TLoopTiming {
    HHOOK ModalHook = nullptr;
    int Depth = 0;
    LONGLONG ModalFirst = 0;
    LONGLONG ModalLast = 0;
    UINT_PTR UnmeasuredTimer = 0;
    TDispatchRecord Longest;
    TDispatchSplit Split;
    LONGLONG TimerStart = 0;
};

TLoopTiming gTiming;

LONGLONG Ticks()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Milliseconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A dialog box (a message box) or a menu: the modal loop a handler runs while one of these is
// open is left out, from the window's creation to its destruction (closing a box is part of the
// user's time, and under X11 hiding it can wait for the window manager). A CBT hook sees only
// windows created and destroyed; a hook on every message taken or sent would cost each of them a
// trip to the Wine server, which the module's own figures would then carry.
bool IsModalClass(HWND window)
{
    wchar_t name[16] = L"";
    ::GetClassNameW(window, name, 16);
    return std::wcscmp(name, L"#32770") == 0 || std::wcscmp(name, L"#32768") == 0;
}

LRESULT CALLBACK ModalWindowHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (gTiming.Depth > 0 && (code == HCBT_CREATEWND || code == HCBT_DESTROYWND) &&
        IsModalClass(reinterpret_cast<HWND>(wParam))) {
        const LONGLONG now = Ticks();
        if (code == HCBT_CREATEWND && !gTiming.ModalFirst)
            gTiming.ModalFirst = now;
        if (gTiming.ModalFirst)
            gTiming.ModalLast = now;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool IsUnmeasured(const MSG& message)
{
    return gTiming.Depth > 0 || (message.message == WM_TIMER && !message.hwnd && gTiming.UnmeasuredTimer &&
                                 message.wParam == gTiming.UnmeasuredTimer);
}

std::wstring ClassOf(HWND window)
{
    if (!window)
        return L"-";
    wchar_t name[128] = L"";
    if (!::IsWindow(window) || !::GetClassNameW(window, name, 128))
        return L"(destroyed)";
    return name;
}

bool IsStandInClass(const std::wstring& windowClass) { return windowClass.rfind(L"TOrvex", 0) == 0; }

void Record(const TDispatchRecord& record)
{
    if (record.Milliseconds > gTiming.Longest.Milliseconds)
        gTiming.Longest = record;
    TDispatchRecord& longest = IsStandInClass(record.WindowClass) ? gTiming.Split.LongestStandIn : gTiming.Split.LongestModule;
    if (record.Milliseconds > longest.Milliseconds)
        longest = record;
    if (IsStandInClass(record.WindowClass))
        gTiming.Split.StandInMilliseconds += record.Milliseconds;
    if (gTiming.Split.All.size() < 10000)
        gTiming.Split.All.push_back(record);
}

} // namespace

void SetUnmeasuredTimer(UINT_PTR timer) { gTiming.UnmeasuredTimer = timer; }

LRESULT DispatchMeasured(const MSG& message)
{
    if (!gTiming.ModalHook)
        gTiming.ModalHook = ::SetWindowsHookExW(WH_CBT, ModalWindowHook, nullptr, ::GetCurrentThreadId());
    if (IsUnmeasured(message))
        return ::DispatchMessageW(&message);
    // Taken before the handler, which may destroy the window.
    std::wstring windowClass = ClassOf(message.hwnd);
    ++gTiming.Depth;
    gTiming.ModalFirst = gTiming.ModalLast = 0;
    const LONGLONG start = Ticks();
    const LRESULT result = ::DispatchMessageW(&message);
    const LONGLONG own = Ticks() - start - (gTiming.ModalLast - gTiming.ModalFirst);
    --gTiming.Depth;
    Record({Milliseconds(own), message.message, std::move(windowClass)});
    return result;
}

TDispatchRecord LongestDispatch() { return gTiming.Longest; }

TDispatchSplit DispatchSplit() { return gTiming.Split; }

void ResetLongestDispatch()
{
    gTiming.Longest = {};
    gTiming.Split = {};
}

void StartTimer() { gTiming.TimerStart = Ticks(); }

double TimerMilliseconds() { return gTiming.TimerStart ? Milliseconds(Ticks() - gTiming.TimerStart) : -1; }

} // namespace hostsim
