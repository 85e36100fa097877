// Context help: the what's-this mode entered from a TExForm's SC_CONTEXTHELP, the lookup of a
// control's help topic in the INI file beside the executable, the topic display through HTML
// Help ("HHCtrl.ocx", entry ordinal 14) and the two small dialogs (context id, options).
// One module-wide TWhatsThis (WhatsThis()); its message filter is a thread message hook that is
// installed only while the mode is active.
#pragma once

#include "controls/HelpKeys.h"
#include "controls/FormUtils.h"

#include <oleauto.h>

#include <functional>
#include <string>

class TExForm;

// The HTML Help entry point, replaceable for tests.
using THtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
constexpr UINT HH_DISPLAY_TOPIC_ = 0, HH_DISPLAY_TEXT_POPUP_ = 14, HH_GET_LAST_ERROR_ = 20, HH_CLOSE_ALL_ = 18,
               HH_INITIALIZE_ = 28, HH_UNINITIALIZE_ = 29;

// HH_POPUP as the ANSI entry point takes it (52 bytes in a 32-bit process, 72 in a 64-bit one).
struct THHPopup {
    int cbStruct;
    HINSTANCE hinst;
    UINT idString;
    LPCSTR pszText;
    POINT pt;
    COLORREF clrForeground;
    COLORREF clrBackground;
    RECT rcMargins;
    LPCSTR pszFont;
};
// HH_LAST_ERROR (12 bytes in a 32-bit process, 16 in a 64-bit one).
struct THHLastError {
    int cbStruct;
    HRESULT hr;
    BSTR description;
};
#ifdef _WIN64
static_assert(sizeof(THHPopup) == 72 && sizeof(THHLastError) == 16);
#else
static_assert(sizeof(THHPopup) == 52 && sizeof(THHLastError) == 12);
#endif

class THtmlHelp {
public:
    ~THtmlHelp() { Close(); }
    // Loads HHCtrl.ocx on first use (raises the system error when missing), then calls it; a 0
    // result with a reported failure shows "Ошибка справочной системы: " + the description.
    HWND Call(HWND window, const std::string& file, UINT command, DWORD_PTR data);
    // HH_CLOSE_ALL then HH_UNINITIALIZE with the cookie, when the library was used.
    void Close();
    void SetFunction(THtmlHelpFunction function) { FFunction = function; }
    std::function<void(const std::string&)> OnError; // default: a message box

private:
    TUniqueModule FLibrary;
    THtmlHelpFunction FFunction = nullptr;
    DWORD_PTR FCookie = 0;
    bool FUsed = false;
};

THtmlHelp& HtmlHelp();
HWND HtmlHelpCall(HWND window, const std::string& file, UINT command, DWORD_PTR data);
// "#n [file]" shows a text popup from the help file, anything else a topic (or the default one).
void ShowHelpTopic(const std::string& topic);
// The help file and the INI file: the executable's path with .CHM / .INI.
std::string HelpFilePath();
std::string IniFilePath();

// Names for context help: windows get a control name and a class name of our own.
void SetHelpName(HWND window, const std::string& name, const std::string& className);
THelpKeys HelpKeysForWindow(HWND window, int kind);

class TWhatsThis {
public:
    bool Active() const { return FActive; }
    TExForm* StartForm() const { return FStartForm; }
    bool DesignMode() const { return FDesignMode; }
    void SetDesignMode(bool on) { FDesignMode = on; }
    const std::string& IniPath() const { return FIniPath; }
    void SetIniPath(const std::string& path) { FIniPath = path; }
    void Activate(TExForm* startForm);
    void Deactivate();
    // The filter of every message the thread takes while active; true: consumed.
    bool MessageFilter(MSG& msg);
    void PickAt(POINT point, int kind);
    void ShowHelpFor(POINT point, int kind, HWND control);
    void ShowOptions();
    ~TWhatsThis();

private:
    void SetActive(bool on);
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    bool FActive = false;
    std::string FIniPath = IniFilePath();
    bool FDesignMode = false;
    TExForm* FStartForm = nullptr;
    HHOOK FHook = nullptr;
};

TWhatsThis& WhatsThis();

// The two dialogs, built in code; true on OK.
bool ExecuteHelpCtxForm(HWND owner, const std::string& formName, const std::string& itemName, std::string& helpCtx);
bool ExecuteWhatsThisOptionsForm(HWND owner, std::string& profile, bool& designMode);
