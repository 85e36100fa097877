#include "controls/WhatsThisOptions.h"
#include "CoreLib/FloatPrecision.h"

#include <windowsx.h>

#include <cstdlib>
#include <memory>

namespace {

std::string ExecutableWithExtension(const char* extension)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string p = Narrow(path);
    const std::size_t slash = p.find_last_of("\\/");
    const std::size_t dot = p.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        p.erase(dot);
    return p + extension;
}

const wchar_t* const NameProp = L"PolypadHelpName";
const wchar_t* const ClassProp = L"PolypadHelpClass";

struct THelpNames {
    std::string Name, ClassName;
};

} // namespace

std::string HelpFilePath()
{
    return ExecutableWithExtension(".CHM");
}

std::string IniFilePath()
{
    return ExecutableWithExtension(".INI");
}

// ---- HTML Help --------------------------------------------------------------------------------

THtmlHelp& HtmlHelp()
{
    static THtmlHelp help;
    return help;
}

HWND THtmlHelp::Call(HWND window, const std::string& file, UINT command, DWORD_PTR data)
{
    if (!FFunction) {
        FLibrary.reset(::LoadLibraryW(L"HHCtrl.ocx"));
        if (!FLibrary)
            RaiseLastWin32Error("LoadLibrary(HHCtrl.ocx)");
        FFunction = reinterpret_cast<THtmlHelpFunction>(
            reinterpret_cast<void*>(::GetProcAddress(FLibrary.get(), MAKEINTRESOURCEA(14))));
        if (!FFunction)
            RaiseLastWin32Error("GetProcAddress(HHCtrl.ocx, 14)");
    }
    if (!FUsed) {
        FUsed = true;
        FFunction(nullptr, nullptr, HH_INITIALIZE_, reinterpret_cast<DWORD_PTR>(&FCookie));
    }
    const HWND result = FFunction(window, file.empty() ? nullptr : file.c_str(), command, data);
    if (!result) {
        THHLastError error{sizeof(THHLastError), S_OK, nullptr};
        if (FFunction(nullptr, nullptr, HH_GET_LAST_ERROR_, reinterpret_cast<DWORD_PTR>(&error)) && FAILED(error.hr) &&
            error.description && *error.description) {
            const std::string text = "Ошибка справочной системы: " + Narrow(error.description);
            ::SysFreeString(error.description);
            if (OnError)
                OnError(text);
            else
                MessageBoxOwned(nullptr, text, Narrow(ApplicationTitle()), MB_OK | MB_ICONERROR);
        } else if (error.description) {
            ::SysFreeString(error.description);
        }
    }
    return result;
}

void THtmlHelp::Close()
{
    if (!FUsed || !FFunction)
        return;
    FFunction(nullptr, nullptr, HH_CLOSE_ALL_, 0);
    FFunction(nullptr, nullptr, HH_UNINITIALIZE_, FCookie);
    FUsed = false;
}

HWND HtmlHelpCall(HWND window, const std::string& file, UINT command, DWORD_PTR data)
{
    return HtmlHelp().Call(window, file, command, data);
}

void ShowHelpTopic(const std::string& topic)
{
    const std::string helpFile = HelpFilePath();
    if (!topic.empty() && topic[0] == '#') {
        const std::string rest = topic.substr(1);
        std::size_t i = 0;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9')
            ++i;
        const unsigned id = i ? static_cast<unsigned>(std::strtoul(rest.substr(0, i).c_str(), nullptr, 10)) : 0;
        std::size_t j = i;
        while (j < rest.size() && rest[j] == ' ')
            ++j;
        const std::string name = rest.substr(j);
        const std::string file = name.empty() ? helpFile : helpFile + "::/" + name;
        THHPopup popup{};
        popup.cbStruct = sizeof popup;
        popup.idString = id;
        ::GetCursorPos(&popup.pt);
        popup.clrForeground = static_cast<COLORREF>(-1);
        popup.clrBackground = static_cast<COLORREF>(-1);
        popup.rcMargins = {-1, -1, -1, -1};
        HtmlHelpCall(nullptr, file, HH_DISPLAY_TEXT_POPUP_, reinterpret_cast<DWORD_PTR>(&popup));
        return;
    }
    HtmlHelpCall(nullptr, topic.empty() ? helpFile : helpFile + "::/" + topic, HH_DISPLAY_TOPIC_, 0);
}

// ---- help keys of windows -----------------------------------------------------------------

void SetHelpName(HWND window, const std::string& name, const std::string& className)
{
    auto* names = new THelpNames{name, className};
    if (auto* old = static_cast<THelpNames*>(::GetPropW(window, NameProp)))
        delete old;
    ::SetPropW(window, NameProp, names);
}

THelpKeys HelpKeysForWindow(HWND window, int kind)
{
    // The window and its parents up to the top level, described as components.
    std::vector<HWND> chain;
    for (HWND w = window; w; w = (::GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? ::GetParent(w) : nullptr)
        chain.push_back(w);
    std::vector<std::unique_ptr<THelpComponent>> nodes(chain.size());
    for (std::size_t k = chain.size(); k-- > 0;) {
        auto node = std::make_unique<THelpComponent>();
        const HWND w = chain[k];
        if (auto* names = static_cast<THelpNames*>(::GetPropW(w, NameProp))) {
            node->Name = names->Name;
            node->ClassName = names->ClassName;
        } else {
            wchar_t cls[64] = {};
            ::GetClassNameW(w, cls, 64);
            node->ClassName = "T" + Narrow(cls);
        }
        node->IsForm = k == chain.size() - 1;
        node->Parent = k + 1 < chain.size() ? nodes[k + 1].get() : nullptr;
        int index = 0;
        if (node->Parent)
            for (HWND c = ::GetWindow(chain[k + 1], GW_CHILD); c && c != w; c = ::GetWindow(c, GW_HWNDNEXT))
                ++index;
        node->ControlIndex = node->Parent ? index : -1;
        nodes[k] = std::move(node);
    }
    return HelpKeys(*nodes[0], kind);
}

// ---- the what's-this mode -------------------------------------------------------------------

TWhatsThis& WhatsThis()
{
    static TWhatsThis instance;
    return instance;
}

TWhatsThis::~TWhatsThis()
{
    if (FHook)
        ::UnhookWindowsHookEx(FHook);
}

void TWhatsThis::SetActive(bool on)
{
    if (FActive == on)
        return;
    FActive = on;
    if (on && !FHook)
        FHook = ::SetWindowsHookExW(WH_GETMESSAGE, HookProc, nullptr, ::GetCurrentThreadId());
    else if (!on && FHook) {
        ::UnhookWindowsHookEx(FHook);
        FHook = nullptr;
    }
}

void TWhatsThis::Activate(TExForm* startForm)
{
    if (FActive)
        return;
    FStartForm = startForm;
    SetActive(true);
}

void TWhatsThis::Deactivate()
{
    if (!FActive)
        return;
    SetActive(false);
    FStartForm = nullptr;
    POINT p;
    ::GetCursorPos(&p);
    if (const HWND w = ::WindowFromPoint(p)) {
        const LRESULT hit = ::SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        ::SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(hit, WM_MOUSEMOVE));
        ::ScreenToClient(w, &p);
        ::SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    } else {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
}

LRESULT CALLBACK TWhatsThis::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    TWhatsThis& self = WhatsThis();
    const TExtendedPrecision precision;
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        try {
            auto* msg = reinterpret_cast<MSG*>(lParam);
            if (self.FActive && self.MessageFilter(*msg))
                msg->message = WM_NULL;
        } catch (const std::exception& e) {
            ShowException(nullptr, e);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool TWhatsThis::MessageFilter(MSG& msg)
{
    switch (msg.message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK:
        PickAt(msg.pt, 1);
        return true;
    case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK: case WM_NCRBUTTONDOWN: case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN: case WM_NCMBUTTONDBLCLK:
        if (msg.wParam == HTMENU || msg.wParam == HTSYSMENU)
            return false;
        PickAt(msg.pt, static_cast<int>(msg.wParam));
        return true;
    case WM_SYSCOMMAND:
    case WM_COMMAND:
        return true; // no main menus here, so no menu item to explain
    case WM_KEYDOWN:
        if (msg.wParam == VK_ESCAPE)
            Deactivate();
        else if (msg.wParam == VK_F1)
            ShowOptions();
        return true;
    default: return false;
    }
}

void TWhatsThis::PickAt(POINT point, int kind)
{
    TExForm* start = FStartForm;
    Deactivate();
    HWND w = ::WindowFromPoint(point);
    if (w) {
        // The deepest visible child under the point.
        HWND root = ::GetAncestor(w, GA_ROOT);
        HWND found = root;
        for (;;) {
            POINT p = point;
            ::ScreenToClient(found, &p);
            HWND child = ::ChildWindowFromPointEx(found, p, CWP_SKIPINVISIBLE);
            if (!child || child == found)
                break;
            found = child;
        }
        w = found;
    }
    if (!w)
        ::MessageBeep(0);
    else
        ShowHelpFor(point, kind, w);
    if (FDesignMode)
        Activate(start);
}

void TWhatsThis::ShowHelpFor(POINT, int kind, HWND control)
{
    const THelpKeys keys = HelpKeysForWindow(control, kind);
    wchar_t buffer[257] = {};
    ::GetPrivateProfileStringW(Widen(keys.Section).c_str(), Widen(keys.Key).c_str(), L"", buffer, 257,
                               Widen(FIniPath).c_str());
    std::string topic = Narrow(buffer);
    if (FDesignMode) {
        if (ExecuteHelpCtxForm(::GetAncestor(control, GA_ROOT), keys.Section, keys.Key, topic))
            ::WritePrivateProfileStringW(Widen(keys.Section).c_str(), Widen(keys.Key).c_str(), Widen(topic).c_str(),
                                         Widen(FIniPath).c_str());
        return;
    }
    ShowHelpTopic(topic);
}

void TWhatsThis::ShowOptions()
{
    TExForm* start = FStartForm;
    Deactivate();
    std::string profile = FIniPath;
    bool design = FDesignMode;
    if (ExecuteWhatsThisOptionsForm(nullptr, profile, design)) {
        FIniPath = profile;
        FDesignMode = design;
    }
    Activate(start);
}

// ---- the dialogs ------------------------------------------------------------------------------

namespace {

// A small modal form in code: labels, edits, a check box and OK / Cancel.
class TSmallDialog : public TForm {
public:
    int Result = 0;
    std::vector<HWND> Edits;
    HWND Check = nullptr;

    HWND Add(const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id = 0)
    {
        const HWND c = ::CreateWindowExW(0, cls, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                         Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                                         nullptr);
        ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.get()), FALSE);
        return c;
    }
    void Setup(int fontHeight)
    {
        FFont.reset(::CreateFontW(-fontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif"));
    }
    bool RunModal(HWND owner)
    {
        RECT r{};
        ::GetWindowRect(Handle(), &r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        ::SetWindowPos(Handle(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                       (::GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (owner)
            ::EnableWindow(owner, FALSE);
        Show();
        MSG msg;
        while (Result == 0 && Handle() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (::IsDialogMessageW(Handle(), &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (owner) {
            ::EnableWindow(owner, TRUE);
            ::SetActiveWindow(owner);
        }
        return Result == IDOK;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            Result = LOWORD(wParam);
            return 0;
        }
        if (message == WM_CLOSE) {
            Result = IDCANCEL;
            return 0;
        }
        return TForm::WindowProc(message, wParam, lParam);
    }
};

std::string EditText(HWND edit)
{
    std::wstring s(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    s.resize(static_cast<std::size_t>(::GetWindowTextW(edit, s.data(), static_cast<int>(s.size()))));
    return Narrow(s);
}

} // namespace

bool ExecuteHelpCtxForm(HWND owner, const std::string& formName, const std::string& itemName, std::string& helpCtx)
{
    TSmallDialog d;
    d.CreateForm("Изменение ContextID", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP,
                 292, 130, owner);
    d.Setup(11);
    d.Add(L"STATIC", "Форма:", 0, 8, 12, 60, 16);
    d.Add(L"STATIC", "Элемент:", 0, 8, 40, 60, 16);
    d.Add(L"STATIC", "Код:", 0, 8, 68, 60, 16);
    const HWND form = d.Add(L"EDIT", formName, WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 72, 8, 212, 21);
    const HWND item = d.Add(L"EDIT", itemName, WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 72, 36, 212, 21);
    const HWND ctx = d.Add(L"EDIT", helpCtx.empty() ? "0" : helpCtx, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 72, 64, 212, 21);
    (void)form;
    (void)item;
    d.Add(L"BUTTON", "ОК", WS_TABSTOP | BS_DEFPUSHBUTTON, 128, 98, 75, 25, IDOK);
    d.Add(L"BUTTON", "Отмена", WS_TABSTOP | BS_PUSHBUTTON, 209, 98, 75, 25, IDCANCEL);
    ::SetFocus(ctx);
    if (!d.RunModal(owner))
        return false;
    helpCtx = EditText(ctx);
    return true;
}

bool ExecuteWhatsThisOptionsForm(HWND owner, std::string& profile, bool& designMode)
{
    TSmallDialog d;
    d.CreateForm("WhatsThisOptionsForm", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                 WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP, 228, 118, owner);
    d.Setup(11);
    d.Add(L"STATIC", "INI файл:", 0, 8, 8, 212, 16);
    const HWND edit = d.Add(L"EDIT", profile, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 26, 212, 21);
    const HWND check = d.Add(L"BUTTON", "Режим разработчика", WS_TABSTOP | BS_AUTOCHECKBOX, 8, 54, 212, 20);
    ::SendMessageW(check, BM_SETCHECK, designMode ? BST_CHECKED : BST_UNCHECKED, 0);
    d.Add(L"BUTTON", "ОК", WS_TABSTOP | BS_DEFPUSHBUTTON, 64, 86, 75, 25, IDOK);
    d.Add(L"BUTTON", "Отмена", WS_TABSTOP | BS_PUSHBUTTON, 145, 86, 75, 25, IDCANCEL);
    if (!d.RunModal(owner))
        return false;
    profile = EditText(edit);
    designMode = ::SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return true;
}
