#include "hostsim/MessageBoxes.h"
#include "hostsim/ProjectStore.h"

#include "controls/WinHandles.h"

#include <map>

namespace hostsim {

namespace {

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = L"";
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

BOOL CALLBACK FindBox(HWND window, LPARAM out)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) && ClassName(window) == L"#32770") {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM out)
{
    try {
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        const LONG kind = style & SS_TYPEMASK;
        if (_wcsicmp(ClassName(child).c_str(), L"Static") == 0 && kind != SS_ICON && kind != SS_BITMAP) {
            const std::wstring text = WindowText(child);
            auto& all = *reinterpret_cast<std::wstring*>(out);
            if (!text.empty())
                all += (all.empty() ? L"" : L" ") + text;
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

int ButtonId(const std::string& name)
{
    static const std::map<std::string, int> buttons = {{"OK", IDOK}, {"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
    const auto it = buttons.find(name);
    if (it == buttons.end())
        throw EHostError(kHostInvalidArg, "unknown button \"" + name + "\" (OK, Yes, No, Cancel)");
    return it->second;
}

} // namespace

HWND FindMessageBox()
{
    HWND box = nullptr;
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
    return box;
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    ::EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    return WindowText(box) + L": " + text;
}

void PressButton(HWND box, const std::string& name)
{
    const int buttonId = ButtonId(name);
    const HWND button = ::GetDlgItem(box, buttonId);
    if (!button || !::IsWindowVisible(button))
        throw EHostError(kHostInvalidArg, "the box \"" + Narrow(MessageBoxText(box)) + "\" has no " + name + " button");
    ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

} // namespace hostsim
