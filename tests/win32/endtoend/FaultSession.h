// One small editing session of the module against the Host stand-in, in process, for the fault
// sweep: open the window on a parcel, edit, update, create, add, copy, paste, switch the layout,
// close, Done, release. Every step goes on whatever the one before did; what the user would have
// seen (message boxes, failed module calls) is collected, as are the checks that must hold after
// every step (no paint hint left locked).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace endtoend {

// Objects the session touches: the updated parcel, the one it adds a shape to, and the one it
// creates (not in the project before).
inline constexpr long kUpdatedObject = 101;
inline constexpr long kExtendedObject = 103;
inline constexpr long kCreatedObject = 104;

// The touched objects' geometry texts (ObjectGeometryText; "<none>" for a missing object).
struct TMapState {
    std::wstring Updated, Extended, Created;
    bool operator==(const TMapState&) const = default;
};

struct TSessionResult {
    long HostCalls = 0;                    // Host calls from Init to the release of the module
    std::vector<std::wstring> Messages;    // box texts, error information, exception texts
    std::vector<std::wstring> LockedHints; // "step: hint" for each hint found locked
    TMapState Map;                         // after the Host rolled back what was left open
    long LiveObjectsLeft = 0;              // Host objects the module still held after release
    long CallsBeforeRelease = 0;           // Host calls up to the end of Done
    std::string StepCalls;                 // "step:calls-so-far ..." (which call belongs to which step)
};

// The module's server is built into the test executable: give it the instance a loader would
// (its window classes and type library belong to the executable).
void StartModuleServer();

// Runs the session on a fresh application over project (its settings file removed first). With
// failAt > 0 the failAt-th Host call from Init on fails with E_FAIL and message.
TSessionResult RunSession(const std::wstring& project, long failAt, const std::wstring& message);

// The touched objects as the project has them, before any session.
TMapState InitialMapState(const std::wstring& project);

// Closes every message box of this thread before it shows (a hook on its WM_INITDIALOG) and
// keeps "CAPTION: TEXT" of each; a box asking Yes/No gets No. Installed for its lifetime.
class TMessageBoxCatcher {
public:
    TMessageBoxCatcher();
    ~TMessageBoxCatcher();
    TMessageBoxCatcher(const TMessageBoxCatcher&) = delete;
    TMessageBoxCatcher& operator=(const TMessageBoxCatcher&) = delete;

    std::vector<std::wstring> Texts;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK FHook = nullptr;
};

// Ends the process with a message when a run does not finish within the limit (a hang).
class TWatchdog {
public:
    TWatchdog(DWORD milliseconds, std::string what);
    ~TWatchdog();
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

private:
    static DWORD WINAPI Run(void* self);
    HANDLE FDone = nullptr;
    HANDLE FThread = nullptr;
    DWORD FLimit;
    std::string FWhat;
};

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& part);
// The description of the thread's error information (consumed), or a placeholder text.
std::wstring TakeErrorText();

} // namespace endtoend
