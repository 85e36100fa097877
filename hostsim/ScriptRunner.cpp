#include "hostsim/ScriptRunner.h"

#include "hostsim/Clipboard.h"
#include "hostsim/HostCalls.h"
#include "hostsim/MessageBoxes.h"
#include "hostsim/MessageTiming.h"
#include "hostsim/HostPtr.h"
#include "hostsim/ProjectStore.h"

#include "controls/WinHandles.h"

#include <cctype>
#include <cwchar>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace hostsim {

namespace {

TScriptRunner* gRunner = nullptr;

constexpr DWORD kDialogTimeoutMs = 5000;

// The map window's pixel of a map point, through the surface's transform.
TFloatPoint MapToPixel(IHostApplication* application, double x, double y)
{
    THostPtr<IHostMainWindow> main;
    THostPtr<IHostMapWindow> map;
    THostPtr<IHostSurface> surface;
    THostPtr<IHostSurfaceTransform> transform;
    TFloatPoint p;
    HRESULT hr = application->get_MainWindow(main.put());
    if (SUCCEEDED(hr))
        hr = main->get_MapWindow(map.put());
    if (SUCCEEDED(hr))
        hr = map->get_Surface(surface.put());
    if (SUCCEEDED(hr))
        hr = surface->get_Transform(transform.put());
    if (SUCCEEDED(hr))
        hr = transform->MapToSurface(x, y, &p.X, &p.Y);
    if (FAILED(hr))
        throw EHostError(hr, "cannot convert the map point");
    return p;
}

long ToLong(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end)
        throw EHostError(kHostInvalidArg, "\"" + text + "\" is not an integer");
    return value;
}

double ToDouble(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end)
        throw EHostError(kHostInvalidArg, "\"" + text + "\" is not a number");
    return value;
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        std::string message = what;
        const std::wstring description = TakeErrorDescription();
        if (!description.empty())
            message += ": " + Narrow(description);
        throw EHostError(hr, message);
    }
}

// Virtual key of a key name ("Enter", "F2", "A", "5").
WORD KeyCode(const std::string& name)
{
    static const std::map<std::string, WORD> keys = {
        {"Enter", VK_RETURN}, {"Tab", VK_TAB},     {"Esc", VK_ESCAPE},     {"Escape", VK_ESCAPE},
        {"Up", VK_UP},        {"Down", VK_DOWN},   {"Left", VK_LEFT},      {"Right", VK_RIGHT},
        {"Home", VK_HOME},    {"End", VK_END},     {"Delete", VK_DELETE},  {"Insert", VK_INSERT},
        {"Backspace", VK_BACK}, {"Space", VK_SPACE}, {"PageUp", VK_PRIOR}, {"PageDown", VK_NEXT},
        {"Ctrl", VK_CONTROL}, {"Shift", VK_SHIFT}, {"Alt", VK_MENU},
    };
    const auto it = keys.find(name);
    if (it != keys.end())
        return it->second;
    if (name.size() >= 2 && name[0] == 'F' && std::isdigit(static_cast<unsigned char>(name[1]))) {
        const long n = ToLong(name.substr(1));
        if (n >= 1 && n <= 12)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    throw EHostError(kHostInvalidArg, "unknown key \"" + name + "\"");
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// The pointer moved to a screen point, as absolute input.
INPUT PointerTo(POINT p)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>((p.x * 65536 + cx / 2) / cx);
    move.mi.dy = static_cast<LONG>((p.y * 65536 + cy / 2) / cy);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return move;
}

// A button or wheel event where move left the pointer.
INPUT PointerInput(const INPUT& move, DWORD flags)
{
    INPUT input = move;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// A menu item's caption as a user reads it: without the '&' marks and the shortcut after a TAB.
std::string MenuCaption(HMENU menu, int index)
{
    wchar_t text[256] = L"";
    ::GetMenuStringW(menu, static_cast<UINT>(index), text, 256, MF_BYPOSITION);
    std::wstring caption;
    for (const wchar_t* c = text; *c && *c != L'\t'; ++c)
        if (*c != L'&' || c[1] == L'&')
            caption += *c == L'&' ? *++c : *c;
    return Narrow(caption);
}

BOOL CALLBACK ListMenuWindow(HWND window, LPARAM out)
{
    wchar_t name[16] = L"";
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && std::wcscmp(name, L"#32768") == 0)
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
    return TRUE;
}

void Send(std::vector<INPUT> inputs)
{
    if (::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        RaiseLastWin32Error("SendInput");
}

BOOL CALLBACK ListWindow(HWND window, LPARAM out)
{
    try {
        if (::IsWindowVisible(window)) {
            wchar_t className[128] = L"", caption[256] = L"";
            ::GetClassNameW(window, className, 128);
            ::GetWindowTextW(window, caption, 256);
            *reinterpret_cast<std::string*>(out) += "window " + Narrow(className) + " " + Narrow(caption) + "\n";
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

std::string ReadFileBytes(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
                         "cannot read " + Narrow(path));
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_READ_FAULT)), "cannot read " + Narrow(path));
    return bytes;
}

std::string BoxLine(HWND box) { return "dialog " + EscapeText(Narrow(MessageBoxText(box))) + "\n"; }

std::string TimerLine(const std::string& label)
{
    const double ms = TimerMilliseconds();
    if (ms < 0)
        throw EHostError(kHostUnexpected, "timer-start has not run");
    return Format("timer %s %.1f\n", label.c_str(), ms);
}

} // namespace

void WriteOutput(const std::string& text)
{
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE)
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

TScriptRunner::TScriptRunner(IHostApplication* application, std::vector<TScriptStep> steps, std::wstring scriptFolder)
    : FApplication(application), FSteps(std::move(steps)), FFolder(std::move(scriptFolder))
{
}

TScriptRunner::~TScriptRunner()
{
    if (FTimer)
        ::KillTimer(nullptr, FTimer);
    if (gRunner == this)
        gRunner = nullptr;
}

void TScriptRunner::Start()
{
    gRunner = this;
    FTimer = ::SetTimer(nullptr, 0, 15, OnTimer);
    if (!FTimer)
        Finish(1);
    SetUnmeasuredTimer(FTimer);
}

void CALLBACK TScriptRunner::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (gRunner)
        gRunner->Tick();
}

void TScriptRunner::Tick()
{
    if (FBusy || FFinished)
        return;
    FBusy = true;
    try {
        if (FNext >= FSteps.size()) {
            Finish(FExitCode);
        } else if (RunStep(FSteps[FNext])) {
            ++FNext;
            FIdleTicks = 0;
            FSleepUntil = 0;
            FStepStarted = false;
        }
    } catch (const std::exception& e) {
        const TScriptStep& step = FSteps[FNext];
        const std::string message = Format("script line %d (%s): %s\n", step.Line, step.Verb.c_str(), e.what());
        WriteOutput(message);
        ShowStatus(FApplication, Widen(message).c_str());
        Finish(1);
    } catch (...) {
        Finish(1);
    }
    FBusy = false;
}

void TScriptRunner::Finish(int code, bool quit)
{
    FFinished = true;
    FExitCode = code;
    if (FTimer)
        ::KillTimer(nullptr, FTimer);
    FTimer = 0;
    SetUnmeasuredTimer(0);
    if (quit)
        ::PostQuitMessage(code);
}

HWND TScriptRunner::WindowByName(const std::string& name) const
{
    HWND window = nullptr;
    if (name == "main")
        window = MainWindowHandle(FApplication);
    else if (name == "map")
        window = MapWindowHandle(FApplication);
    else if (name == "focus") {
        window = ::GetFocus();
        if (!window)
            window = ::GetForegroundWindow();
    } else
        window = ::FindWindowW(nullptr, Widen(name).c_str());
    if (!window)
        throw EHostError(kHostInvalidArg, "no window \"" + name + "\"");
    return window;
}

std::wstring TScriptRunner::ScriptPath(const std::string& file) const
{
    std::wstring path = Widen(file);
    const bool relative = !(path.size() > 1 && (path[1] == L':' || path[0] == L'/' || path[0] == L'\\'));
    return relative ? FFolder + L"\\" + path : path;
}

DWORD TScriptRunner::StepElapsed()
{
    if (!FStepStarted) {
        FStepStarted = true;
        FStepStart = ::GetTickCount();
    }
    return ::GetTickCount() - FStepStart;
}

bool TScriptRunner::WaitIdle()
{
    // Idle: nothing but timers and paints pending for a few ticks in a row.
    if (::GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE) != 0)
        FIdleTicks = 0;
    else
        ++FIdleTicks;
    return FIdleTicks >= 3;
}

bool TScriptRunner::ChooseMenuItem(const std::string& caption)
{
    std::vector<HWND> menus;
    ::EnumThreadWindows(::GetCurrentThreadId(), ListMenuWindow, reinterpret_cast<LPARAM>(&menus));
    if (menus.empty()) {
        if (StepElapsed() >= kDialogTimeoutMs)
            throw EHostError(E_FAIL, Format("no open menu within %lu ms", static_cast<unsigned long>(kDialogTimeoutMs)));
        return false;
    }
    std::string items;
    for (const HWND window : menus) {
        const auto menu = reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
            const std::string text = MenuCaption(menu, i);
            if (text.empty())
                continue;
            if (text != caption) {
                items += (items.empty() ? "\"" : ", \"") + text + "\"";
                continue;
            }
            if (::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_DISABLED | MF_GRAYED))
                throw EHostError(E_FAIL, "the menu item \"" + caption + "\" is disabled");
            RECT r{};
            if (!::GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r))
                RaiseLastWin32Error("GetMenuItemRect");
            const INPUT move = PointerTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
            Send({move, PointerInput(move, MOUSEEVENTF_LEFTDOWN), PointerInput(move, MOUSEEVENTF_LEFTUP)});
            return true;
        }
    }
    throw EHostError(E_FAIL, "the open menu has no item \"" + caption + "\" (its items: " + items + ")");
}

bool TScriptRunner::AnswerDialog(const std::string& button)
{
    const HWND box = FindMessageBox();
    if (!box) {
        if (StepElapsed() >= kDialogTimeoutMs)
            throw EHostError(E_FAIL, Format("no message box within %lu ms", static_cast<unsigned long>(kDialogTimeoutMs)));
        return false;
    }
    WriteOutput(BoxLine(box));
    PressButton(box, button);
    return true;
}

bool TScriptRunner::RunStep(const TScriptStep& step)
{
    const std::string& verb = step.Verb;
    const auto& a = step.Args;
    if (verb == "open") {
        Check(OpenProject(FApplication, ScriptPath(a[0]).c_str()), "open");
    } else if (verb == "select") {
        Check(SelectMapObject(FApplication, ToLong(a[0]), a.size() > 1 ? ToLong(a[1]) : -1), "select");
    } else if (verb == "clear-selection") {
        THostPtr<IHostSelection> selection;
        Check(FApplication->get_Selection(selection.put()), "selection");
        Check(selection->Clear(), "clear-selection");
    } else if (verb == "command") {
        Check(PostCommand(FApplication, Widen(a[0]).c_str()), "command");
    } else if (verb == "active-layer") {
        Check(SetActiveLayer(FApplication, ToLong(a[0])), "active-layer");
    } else if (verb == "click" || verb == "double-click" || verb == "right-click" || verb == "click-map") {
        const HWND window = WindowByName(verb == "click-map" ? "map" : a.size() == 3 ? a[0] : "focus");
        POINT p{};
        if (verb == "click-map") {
            const TFloatPoint s = MapToPixel(FApplication, ToDouble(a[0]), ToDouble(a[1]));
            p = {static_cast<LONG>(s.X), static_cast<LONG>(s.Y)};
        } else {
            p = {static_cast<LONG>(ToLong(a[a.size() - 2])), static_cast<LONG>(ToLong(a[a.size() - 1]))};
        }
        ::ClientToScreen(window, &p);
        ::SetForegroundWindow(::GetAncestor(window, GA_ROOT));
        const INPUT move = PointerTo(p);
        const bool right = verb == "right-click";
        const INPUT down = PointerInput(move, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        const INPUT up = PointerInput(move, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
        if (verb != "double-click")
            Send({move, down, up});
        else
            Send({move, down, up, down, up});
    } else if (verb == "wheel") {
        const bool horizontal = a.back() == "h";
        const std::size_t n = a.size() - (horizontal ? 1 : 0);
        if (n < 3 || n > 4)
            throw EHostError(kHostInvalidArg, "wheel [WINDOW] X Y DELTA [h]");
        const HWND window = WindowByName(n == 4 ? a[0] : "focus");
        POINT p{static_cast<LONG>(ToLong(a[n - 3])), static_cast<LONG>(ToLong(a[n - 2]))};
        ::ClientToScreen(window, &p);
        const INPUT move = PointerTo(p);
        INPUT turn = PointerInput(move, horizontal ? MOUSEEVENTF_HWHEEL : MOUSEEVENTF_WHEEL);
        turn.mi.mouseData = static_cast<DWORD>(ToLong(a[n - 1]));
        Send({move, turn});
    } else if (verb == "menu-item") {
        return ChooseMenuItem(a[0]);
    } else if (verb == "key") {
        for (const std::string& chord : a) {
            std::vector<WORD> keys;
            std::size_t start = 0;
            while (true) {
                const std::size_t plus = chord.find('+', start + 1);
                keys.push_back(KeyCode(chord.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
                if (plus == std::string::npos)
                    break;
                start = plus + 1;
            }
            std::vector<INPUT> inputs;
            for (const WORD k : keys)
                inputs.push_back(KeyInput(k, false));
            for (auto k = keys.rbegin(); k != keys.rend(); ++k)
                inputs.push_back(KeyInput(*k, true));
            Send(inputs);
        }
    } else if (verb == "type") {
        std::vector<INPUT> inputs;
        for (const wchar_t c : Widen(a[0])) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE;
            inputs.push_back(input);
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
        if (!inputs.empty())
            Send(inputs);
    } else if (verb == "wait") {
        return WaitIdle();
    } else if (verb == "wait-idle-time") {
        if (!WaitIdle())
            return false;
        WriteOutput(TimerLine(a[0]));
    } else if (verb == "sleep") {
        if (FSleepUntil == 0)
            FSleepUntil = ::GetTickCount() + static_cast<DWORD>(ToLong(a[0]));
        return static_cast<long>(::GetTickCount() - FSleepUntil) >= 0;
    } else if (verb == "screenshot") {
        const std::wstring file = Widen(a[1]);
        if (a[0] == "map")
            Check(SaveMapImage(FApplication, file.c_str()), "screenshot");
        else
            Check(SaveWindowImage(WindowByName(a[0]), file.c_str()), "screenshot");
    } else if (verb == "geometry") {
        std::wstring text;
        Check(ObjectGeometryText(FApplication, ToLong(a[0]), text), "geometry");
        WriteOutput(Narrow(text));
    } else if (verb == "settings") {
        WriteOutput(Narrow(SettingsText(FApplication)));
    } else if (verb == "transactions") {
        for (const std::wstring& name : CommittedTransactions(FApplication))
            WriteOutput("committed " + Narrow(name) + "\n");
        for (const std::wstring& name : RolledBackTransactions(FApplication))
            WriteOutput("rolled-back " + Narrow(name) + "\n");
    } else if (verb == "live") {
        WriteOutput(Format("live %ld\n", LiveObjects()));
    } else if (verb == "selection") {
        THostPtr<IHostSelection> selection;
        Check(FApplication->get_Selection(selection.put()), "selection");
        LONG count = 0;
        Check(selection->get_Count(&count), "selection");
        std::string text = count == 0 ? "selected none\n" : "";
        for (LONG i = 0; i < count; ++i) {
            LONG id = 0, shape = 0;
            Check(selection->ObjectId(i, &id), "selection");
            Check(selection->ShapeIndex(i, &shape), "selection");
            text += Format("selected %ld %ld\n", static_cast<long>(id), static_cast<long>(shape));
        }
        WriteOutput(text);
    } else if (verb == "checked") {
        WriteOutput("checked " + a[0] + (CommandChecked(FApplication, Widen(a[0]).c_str()) ? " 1\n" : " 0\n"));
    } else if (verb == "windows") {
        std::string text;
        ::EnumThreadWindows(::GetCurrentThreadId(), ListWindow, reinterpret_cast<LPARAM>(&text));
        WriteOutput(text);
    } else if (verb == "status") {
        WriteOutput(Narrow(StatusText(FApplication)) + "\n");
    } else if (verb == "expect-status") {
        const std::wstring status = StatusText(FApplication);
        if (status.find(Widen(a[0])) == std::wstring::npos)
            throw EHostError(E_FAIL, "the status bar says \"" + Narrow(status) + "\"");
    } else if (verb == "fail-call") {
        FailNthCall(ToLong(a[0]), static_cast<HRESULT>(std::strtoul(a[1].c_str(), nullptr, 0)), Widen(a[2]).c_str());
    } else if (verb == "fail-op") {
        FailOperation(Widen(a[0]).c_str(), static_cast<HRESULT>(std::strtoul(a[1].c_str(), nullptr, 0)),
                      Widen(a[2]).c_str());
    } else if (verb == "clear-faults") {
        ClearFaults();
    } else if (verb == "view") {
        THostPtr<IHostMainWindow> main;
        THostPtr<IHostMapWindow> map;
        THostPtr<IHostNavigator> navigator;
        Check(FApplication->get_MainWindow(main.put()), "view");
        Check(main->get_MapWindow(map.put()), "view");
        Check(map->get_Navigator(navigator.put()), "view");
        Check(navigator->CenterAt(ToDouble(a[0]), ToDouble(a[1]), ToDouble(a[2])), "view");
    } else if (verb == "select-stale") {
        Check(SelectStaleObject(FApplication, ToLong(a[0]), a.size() > 1 ? ToLong(a[1]) : -1), "select-stale");
    } else if (verb == "message-box") {
        Check(PostMessageBox(FApplication, Widen(a[0]).c_str()), "message-box");
    } else if (verb == "dialog") {
        return AnswerDialog(a[0]);
    } else if (verb == "no-dialog") {
        if (const HWND box = FindMessageBox())
            throw EHostError(E_FAIL, "a message box is open: " + BoxLine(box).substr(0, BoxLine(box).size() - 1));
    } else if (verb == "clipboard-set") {
        SetClipboardText(MainWindowHandle(FApplication), Widen(UnescapeText(a[0])));
    } else if (verb == "clipboard-file") {
        SetClipboardBytes(MainWindowHandle(FApplication), ReadFileBytes(ScriptPath(a[0])));
    } else if (verb == "clipboard") {
        WriteOutput("clipboard: " + EscapeText(Narrow(ClipboardText(MainWindowHandle(FApplication)))) + "\n");
    } else if (verb == "generate") {
        long id = 0;
        Check(GenerateObject(FApplication, ToLong(a[0]), ToLong(a[1]), ToLong(a[2]), &id), "generate");
        WriteOutput(Format("generated %ld\n", id));
    } else if (verb == "timer-start") {
        StartTimer();
    } else if (verb == "timer") {
        WriteOutput(TimerLine(a[0]));
    } else if (verb == "max-dispatch-reset") {
        ResetLongestDispatch();
    } else if (verb == "max-dispatch") {
        const TDispatchRecord longest = LongestDispatch();
        WriteOutput(Format("max-dispatch %.1f 0x%04X ", longest.Milliseconds, longest.Message) +
                    Narrow(longest.WindowClass) + "\n");
    } else if (verb == "stay") {
        Finish(FExitCode, false);
    } else if (verb == "echo") {
        std::string line;
        for (const std::string& word : a)
            line += (line.empty() ? "" : " ") + word;
        WriteOutput(line + "\n");
    }
    return true;
}

} // namespace hostsim
