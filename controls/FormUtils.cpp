#include "controls/FormUtils.h"

#include "controls/SystemDrawTime.h"
#include "controls/WhatsThisOptions.h"
#include "CoreLib/FloatPrecision.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {

std::wstring& TitleStorage()
{
    static std::wstring title;
    if (title.empty()) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring p = path;
        const std::size_t slash = p.find_last_of(L"\\/");
        p = p.substr(slash == std::wstring::npos ? 0 : slash + 1);
        const std::size_t dot = p.rfind(L'.');
        title = dot == std::wstring::npos ? p : p.substr(0, dot);
    }
    return title;
}

// The objects of subclassed system controls, found by handle for each of their messages. A window
// property would do, but reading one is a trip to the window server under Wine (~50 µs), paid
// for every message a control gets.
class TSubclassedWindows {
public:
    void Add(HWND window, TWindow* object)
    {
        const std::lock_guard lock(FMutex);
        FObjects[window] = object;
    }
    void Remove(HWND window)
    {
        const std::lock_guard lock(FMutex);
        FObjects.erase(window);
    }
    TWindow* Find(HWND window) const
    {
        const std::lock_guard lock(FMutex);
        const auto it = FObjects.find(window);
        return it == FObjects.end() ? nullptr : it->second;
    }

private:
    mutable std::mutex FMutex;
    std::unordered_map<HWND, TWindow*> FObjects;
};

TSubclassedWindows& SubclassedWindows()
{
    static TSubclassedWindows windows;
    return windows;
}

std::vector<std::wstring>& RegisteredClasses()
{
    static std::vector<std::wstring> names;
    return names;
}

} // namespace

const std::wstring& ApplicationTitle()
{
    return TitleStorage();
}

void SetApplicationTitle(const std::wstring& title)
{
    TitleStorage() = title;
}

HINSTANCE ModuleInstance()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

namespace {

// The open boxes, innermost last; an entry is null until its window is activated. The module's
// windows all live on the Host's user-interface thread.
std::vector<HWND> GOpenBoxes;

// Catches the box's window as it is activated, so that it can be ended from outside.
LRESULT CALLBACK BoxActivationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && !GOpenBoxes.empty() && !GOpenBoxes.back()) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t className[8] = {};
        if (::GetClassNameW(window, className, 8) == 6 && std::wstring_view(className) == L"#32770")
            GOpenBoxes.back() = window;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

int ShowTrackedBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)
{
    GOpenBoxes.push_back(nullptr);
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, BoxActivationHook, nullptr, ::GetCurrentThreadId());
    const int result = ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    if (hook)
        ::UnhookWindowsHookEx(hook);
    GOpenBoxes.pop_back();
    return result;
}

} // namespace

void ShowException(HWND owner, const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error))
        return;
    ShowTrackedBox(owner && ::IsWindow(owner) ? owner : nullptr, Widen(error.what()), ApplicationTitle(),
                   MB_OK | MB_ICONERROR);
}

int MessageBoxOwned(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    return ShowTrackedBox(owner, Widen(text), Widen(caption), flags);
}

int OpenMessageBoxCount() { return static_cast<int>(GOpenBoxes.size()); }

void EndOpenMessageBoxes()
{
    for (HWND box : GOpenBoxes)
        if (box && ::IsWindow(box))
            ::EndDialog(box, IDCANCEL);
}

HFONT DefaultGuiFont()
{
    static HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            return ::CreateFontIndirectW(&metrics.lfMessageFont);
        return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

int ScreenDpi()
{
    TWindowDC dc(nullptr);
    const int dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

// ---- TWindow ----------------------------------------------------------------------------------

TWindow::~TWindow()
{
    DestroyHandle();
}

void TWindow::DestroyHandle()
{
    if (!FHandle)
        return;
    const HWND window = FHandle;
    if (FOldProc) {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldProc));
        SubclassedWindows().Remove(window);
    } else {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    FHandle = nullptr;
    FOldProc = nullptr;
    ::DestroyWindow(window);
}

TWindow* TWindow::FromHandle(HWND window)
{
    if (!window)
        return nullptr;
    if (TWindow* subclassed = SubclassedWindows().Find(window))
        return subclassed;
    // Only windows of our own classes carry an object in their user data.
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)) != &TWindow::StaticProc)
        return nullptr;
    return reinterpret_cast<TWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TWindow::RegisterWindowClass(const wchar_t* name, UINT style, HBRUSH background, HCURSOR cursor)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(ModuleInstance(), name, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (!::RegisterClassExW(&wc))
        RaiseLastWin32Error("RegisterClassEx");
    RegisteredClasses().push_back(name);
}

void UnregisterWindowClasses()
{
    for (const auto& name : RegisteredClasses())
        ::UnregisterClassW(name.c_str(), ModuleInstance());
    RegisteredClasses().clear();
}

void TWindow::CreateHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& caption, int x,
                           int y, int width, int height, HWND parent, UINT_PTR id)
{
    const HWND window = ::CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent,
                                          reinterpret_cast<HMENU>(id), ModuleInstance(), this);
    CheckWin32Handle(window, "CreateWindowEx");
}

void TWindow::CreateSubclassed(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& caption,
                               int x, int y, int width, int height, HWND parent, UINT_PTR id)
{
    const HWND window = CheckWin32Handle(::CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width,
                                                           height, parent, reinterpret_cast<HMENU>(id),
                                                           ModuleInstance(), nullptr),
                                         "CreateWindowEx");
    FHandle = window;
    SubclassedWindows().Add(window, this);
    FOldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWindow::SubclassProc)));
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultGuiFont()), FALSE);
}

LRESULT TWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND window = FHandle;
    const TExtendedPrecision precision;
    try {
        LRESULT result = WindowProc(message, wParam, lParam);
        return result;
    } catch (const std::exception& e) {
        ShowException(window, e);
    } catch (...) {
        ShowException(window, Exception("Unknown error"));
    }
    return 0;
}

LRESULT CALLBACK TWindow::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TWindow* self = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->FHandle = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->Dispatch(message, wParam, lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->FHandle = nullptr;
        self->Destroyed();
        return result;
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK TWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TWindow* self = SubclassedWindows().Find(window);
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC old = self->FOldProc;
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        SubclassedWindows().Remove(window);
        self->FHandle = nullptr;
        self->FOldProc = nullptr;
        const LRESULT result = ::CallWindowProcW(old, window, message, wParam, lParam);
        self->Destroyed();
        return result;
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT TWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam) {
            if (TWindow* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
                LRESULT result = 0;
                if (child->Notified(message, wParam, lParam, result))
                    return result;
            }
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (TWindow* child = FromHandle(header->hwndFrom)) {
            LRESULT result = 0;
            if (child->Notified(message, wParam, lParam, result))
                return result;
        }
        break;
    }
    default: break;
    }
    return DefaultProc(message, wParam, lParam);
}

LRESULT TWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A system control's drawing is timed apart from the module's own work.
    std::optional<TSystemDrawing> drawing;
    if (IsSystemDrawMessage(message))
        drawing.emplace();
    return FOldProc ? ::CallWindowProcW(FOldProc, FHandle, message, wParam, lParam)
                    : ::DefWindowProcW(FHandle, message, wParam, lParam);
}

bool TWindow::Notified(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void TWindow::Show(bool visible) const
{
    if (FHandle)
        ::ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
}

void TWindow::SetBounds(int x, int y, int width, int height) const
{
    if (FHandle)
        ::MoveWindow(FHandle, x, y, width, height, TRUE);
}

RECT TWindow::ClientRect() const
{
    RECT r{};
    if (FHandle)
        ::GetClientRect(FHandle, &r);
    return r;
}

void TWindow::Invalidate() const
{
    if (FHandle)
        ::InvalidateRect(FHandle, nullptr, FALSE);
}

void TWindow::SetFocus() const
{
    if (FHandle)
        ::SetFocus(FHandle);
}

bool TWindow::Focused() const
{
    return FHandle && ::GetFocus() == FHandle;
}

void TWindow::SetText(const std::string& text) const
{
    if (FHandle)
        ::SetWindowTextW(FHandle, Widen(text).c_str());
}

std::string TWindow::Text() const
{
    if (!FHandle)
        return {};
    std::wstring s(static_cast<std::size_t>(::GetWindowTextLengthW(FHandle)) + 1, L'\0');
    s.resize(static_cast<std::size_t>(::GetWindowTextW(FHandle, s.data(), static_cast<int>(s.size()))));
    return Narrow(s);
}

// ---- actions ----------------------------------------------------------------------------------

void TAction::SetCaption(const std::string& v)
{
    if (FCaption != v) {
        FCaption = v;
        Changed();
    }
}
void TAction::SetHint(const std::string& v)
{
    if (FHint != v) {
        FHint = v;
        Changed();
    }
}
void TAction::SetImageIndex(int v)
{
    if (FImageIndex != v) {
        FImageIndex = v;
        Changed();
    }
}
void TAction::SetChecked(bool v)
{
    if (FChecked != v) {
        FChecked = v;
        Changed();
    }
}
void TAction::SetEnabled(bool v)
{
    if (FEnabled != v) {
        FEnabled = v;
        Changed();
    }
}

bool TAction::Execute()
{
    if (!FEnabled || !OnExecute)
        return false;
    OnExecute(*this);
    return true;
}

void TAction::Changed()
{
    for (auto& handler : FList.OnChange)
        handler(*this);
}

TAction& TActionList::Add(const std::string& caption, const std::string& hint, int imageIndex)
{
    FItems.push_back(std::make_unique<TAction>(*this, FNextId++));
    TAction& a = *FItems.back();
    a.SetCaption(caption);
    a.SetHint(hint);
    a.SetImageIndex(imageIndex);
    return a;
}

TAction* TActionList::Find(int id) const
{
    for (const auto& a : FItems)
        if (a->Id() == id)
            return a.get();
    return nullptr;
}

TAction* TActionList::FindShortCut(const TShortCut& key) const
{
    for (const auto& a : FItems)
        if (a->HasShortCut(key))
            return a.get();
    return nullptr;
}

// ---- popup menu -------------------------------------------------------------------------------

void TPopupMenu::AddAction(TAction& action, const std::string& caption)
{
    TItem item;
    item.Action = &action;
    item.Caption = caption;
    FItems.push_back(std::move(item));
}

void TPopupMenu::CopyItemsFrom(const TPopupMenu& source)
{
    for (const auto& item : source.FItems) {
        if (item.Submenu)
            continue;
        TItem copy;
        copy.Action = item.Action;
        copy.Caption = item.Caption;
        FItems.push_back(std::move(copy));
    }
}

void TPopupMenu::AddSeparator()
{
    FItems.emplace_back();
}

TPopupMenu& TPopupMenu::AddSubmenu(const std::string& caption)
{
    TItem item;
    item.Submenu = std::make_unique<TPopupMenu>();
    item.Caption = caption;
    FItems.push_back(std::move(item));
    return *FItems.back().Submenu;
}

void TPopupMenu::BuildInto(HMENU menu) const
{
    for (const auto& item : FItems) {
        if (item.Submenu) {
            if (item.Submenu->OnPopup)
                item.Submenu->OnPopup(*item.Submenu);
            HMENU sub = ::CreatePopupMenu();
            item.Submenu->BuildInto(sub);
            ::AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), Widen(item.Caption).c_str());
        } else if (item.Action) {
            UINT flags = MF_STRING;
            if (item.Action->Checked())
                flags |= MF_CHECKED;
            if (!item.Action->Enabled())
                flags |= MF_GRAYED;
            ::AppendMenuW(menu, flags, static_cast<UINT_PTR>(item.Action->Id()),
                          Widen(item.Caption.empty() ? item.Action->Caption() : item.Caption).c_str());
        } else {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        }
    }
}

TUniqueMenu TPopupMenu::Build() const
{
    TUniqueMenu menu(CheckWin32Handle(::CreatePopupMenu(), "CreatePopupMenu"));
    BuildInto(menu.get());
    return menu;
}

namespace {
TAction* FindInMenu(const TPopupMenu::TItem* begin, const TPopupMenu::TItem* end, int id);
}

TAction* TPopupMenu::Find(int id) const
{
    return FindInMenu(FItems.data(), FItems.data() + FItems.size(), id);
}

TAction* TPopupMenu::Popup(HWND owner, int x, int y)
{
    if (OnPopup)
        OnPopup(*this);
    TUniqueMenu menu = Build();
    const int id = static_cast<int>(
        ::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr));
    if (id == 0)
        return nullptr;
    TAction* action = FindInMenu(FItems.data(), FItems.data() + FItems.size(), id);
    if (action)
        action->Execute();
    return action;
}

namespace {
TAction* FindInMenu(const TPopupMenu::TItem* begin, const TPopupMenu::TItem* end, int id)
{
    for (auto* item = begin; item != end; ++item) {
        if (item->Action && item->Action->Id() == id)
            return item->Action;
        if (item->Submenu)
            if (TAction* found = item->Submenu->Find(id))
                return found;
    }
    return nullptr;
}
} // namespace

// ---- status bar -------------------------------------------------------------------------------

TStatusBar::TStatusBar(HWND parent, bool simple)
{
    CreateSubclassed(STATUSCLASSNAMEW, 0, WS_CHILD | WS_VISIBLE, L"", 0, 0, 0, 0, parent);
    if (simple)
        ::SendMessageW(Handle(), SB_SIMPLE, TRUE, 0);
}

void TStatusBar::SetSimpleText(const std::string& text)
{
    FText = text;
    ::SendMessageW(Handle(), SB_SETTEXTW, FSimple ? SB_SIMPLEID : 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TStatusBar::SetPanels(const std::vector<int>& widths)
{
    if (FSimple) {
        FSimple = false;
        ::SendMessageW(Handle(), SB_SIMPLE, FALSE, 0);
    }
    std::vector<int> edges;
    int x = 0;
    for (int w : widths)
        edges.push_back(w < 0 ? -1 : (x += w));
    // Setting the same parts again repaints the whole bar.
    std::vector<int> current(edges.size() + 1);
    const auto count = static_cast<std::size_t>(
        ::SendMessageW(Handle(), SB_GETPARTS, current.size(), reinterpret_cast<LPARAM>(current.data())));
    current.resize(std::min(count, current.size()));
    if (current != edges)
        ::SendMessageW(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void TStatusBar::SetPanelText(int index, const std::string& text)
{
    // Setting a panel's text repaints it, the same text too.
    const std::wstring wide = Widen(text);
    if (PanelTextW(index) != wide)
        ::SendMessageW(Handle(), SB_SETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.c_str()));
}

std::wstring TStatusBar::PanelTextW(int index) const
{
    const auto length = LOWORD(::SendMessageW(Handle(), SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0));
    std::wstring text(length + 1u, L'\0');
    ::SendMessageW(Handle(), SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

std::string TStatusBar::PanelText(int index) const { return Narrow(PanelTextW(index)); }

int TStatusBar::TextWidth(const std::string& text) const
{
    // Measured in a memory DC of its own: a window's DC costs more than the measuring.
    if (!FMeasureDC)
        FMeasureDC.reset(::CreateCompatibleDC(nullptr));
    const HDC dc = FMeasureDC.get();
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
    ::SelectObject(dc, font ? font : static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)));
    const std::wstring wide = Widen(text);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx + 12;
}

int TStatusBar::Height() const
{
    RECT r{};
    ::GetWindowRect(Handle(), &r);
    return r.bottom - r.top;
}

bool TStatusBar::Notified(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == NM_CLICK && OnClick) {
        OnClick();
        result = 0;
        return true;
    }
    return false;
}

// ---- tool bar ---------------------------------------------------------------------------------

TToolBar::TToolBar(HWND parent, HIMAGELIST images, bool wrapable)
{
    CreateSubclassed(TOOLBARCLASSNAMEW, 0,
                     WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | CCS_NODIVIDER | CCS_TOP |
                         (wrapable ? TBSTYLE_WRAPABLE : 0),
                     L"", 0,
                     0, 0, 0, parent);
    ::SendMessageW(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(Handle(), TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    if (images)
        ::SendMessageW(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
}

void TToolBar::AddButton(TAction& action, TPopupMenu* dropDownMenu)
{
    TBBUTTON b{};
    b.iBitmap = action.ImageIndex() >= 0 ? action.ImageIndex() : I_IMAGENONE;
    b.idCommand = action.Id();
    b.fsState = static_cast<BYTE>((action.Enabled() ? TBSTATE_ENABLED : 0) | (action.Checked() ? TBSTATE_CHECKED : 0));
    b.fsStyle = static_cast<BYTE>(BTNS_BUTTON | (dropDownMenu ? BTNS_DROPDOWN : 0));
    ::SendMessageW(Handle(), TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    FButtons.push_back({&action, dropDownMenu});
    ::SendMessageW(Handle(), TB_AUTOSIZE, 0, 0);
}

void TToolBar::AddSeparator(int width)
{
    TBBUTTON b{};
    b.iBitmap = width;
    b.fsStyle = BTNS_SEP;
    ::SendMessageW(Handle(), TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    FButtons.push_back({nullptr, nullptr});
}

void TToolBar::Refresh(const TAction& action)
{
    // Only what differs is set: each setting repaints the button, a hint's change needs none.
    const auto id = static_cast<WPARAM>(action.Id());
    const auto state = static_cast<int>(::SendMessageW(Handle(), TB_GETSTATE, id, 0));
    if (state != -1) {
        if (((state & TBSTATE_ENABLED) != 0) != action.Enabled())
            ::SendMessageW(Handle(), TB_ENABLEBUTTON, id, action.Enabled());
        if (((state & TBSTATE_CHECKED) != 0) != action.Checked())
            ::SendMessageW(Handle(), TB_CHECKBUTTON, id, action.Checked());
    }
    const int image = action.ImageIndex() >= 0 ? action.ImageIndex() : I_IMAGENONE;
    if (::SendMessageW(Handle(), TB_GETBITMAP, id, 0) != image)
        ::SendMessageW(Handle(), TB_CHANGEBITMAP, id, image);
    // The hint shown for the button under the pointer follows its command's state (a toggle's
    // hint changes when it is clicked).
    const auto hot = static_cast<int>(::SendMessageW(Handle(), TB_GETHOTITEM, 0, 0));
    if (OnHint && hot >= 0 && hot < static_cast<int>(FButtons.size()) && FButtons[hot].Action == &action)
        OnHint(" " + action.Hint());
}

int TToolBar::ButtonCount() const
{
    return static_cast<int>(FButtons.size());
}

RECT TToolBar::ButtonRect(int index) const
{
    RECT r{};
    ::SendMessageW(Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return r;
}

int TToolBar::RowWidth() const
{
    int width = 0;
    for (int i = 0; i < ButtonCount(); ++i) {
        const RECT r = ButtonRect(i);
        width += r.right - r.left;
    }
    return width;
}

int TToolBar::Height() const
{
    RECT r{};
    ::GetWindowRect(Handle(), &r);
    return r.bottom - r.top;
}

bool TToolBar::Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_COMMAND) {
        for (const auto& b : FButtons)
            if (b.Action && b.Action->Id() == LOWORD(wParam)) {
                b.Action->Execute();
                return true;
            }
        return false;
    }
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == TBN_DROPDOWN) {
        const auto* nm = reinterpret_cast<const NMTOOLBARW*>(lParam);
        for (std::size_t i = 0; i < FButtons.size(); ++i)
            if (FButtons[i].Action && FButtons[i].Action->Id() == nm->iItem && FButtons[i].Menu) {
                RECT r = ButtonRect(static_cast<int>(i));
                POINT p{r.left, r.bottom};
                ::ClientToScreen(Handle(), &p);
                FButtons[i].Menu->Popup(::GetParent(Handle()), p.x, p.y);
            }
        result = TBDDRET_DEFAULT;
        return true;
    }
    if (header->code == TBN_HOTITEMCHANGE && OnHint) {
        const auto* nm = reinterpret_cast<const NMTBHOTITEM*>(lParam);
        std::string hint;
        if (!(nm->dwFlags & HICF_LEAVING))
            if (TAction* a = nullptr; true)
                for (const auto& b : FButtons)
                    if (b.Action && b.Action->Id() == nm->idNew) {
                        a = b.Action;
                        hint = " " + a->Hint();
                    }
        OnHint(hint);
        result = 0;
        return true;
    }
    return false;
}

// ---- combo box and panel ----------------------------------------------------------------------

TComboBox::TComboBox(HWND parent, int x, int y, int width, int dropDownHeight)
{
    CreateSubclassed(L"COMBOBOX", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, L"", x, y,
                     width, dropDownHeight, parent);
}

void TComboBox::AddItem(const std::string& text)
{
    ::SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

int TComboBox::ItemCount() const
{
    return static_cast<int>(::SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
}

std::string TComboBox::ItemText(int index) const
{
    const auto length = ::SendMessageW(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

int TComboBox::ItemIndex() const
{
    return static_cast<int>(::SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index)
{
    ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TComboBox::SetHint(const std::string& hint)
{
    if (!FToolTip)
        FToolTip.reset(CheckWin32Handle(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                                          ::GetAncestor(Handle(), GA_ROOT), nullptr,
                                                          ModuleInstance(), nullptr),
                                        "CreateWindowEx tooltip"));
    std::wstring text = Widen(hint);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(Handle());
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    tool.lpszText = text.data();
    ::SendMessageW(FToolTip.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    CheckWin32(::SendMessageW(FToolTip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0,
               "TTM_ADDTOOL");
}

std::string TComboBox::Hint() const
{
    if (!FToolTip)
        return {};
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = ::GetParent(Handle());
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    tool.lpszText = text;
    ::SendMessageW(FToolTip.get(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return Narrow(text);
}

RECT TComboBox::ItemRect() const
{
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    CheckWin32(::GetComboBoxInfo(Handle(), &info) != FALSE, "GetComboBoxInfo");
    return info.rcItem;
}

int TComboBox::WidthToFit() const
{
    TWindowDC dc(Handle());
    TSelectObject font(dc.get(), reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0)));
    int longest = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        const std::wstring text = Widen(ItemText(i));
        SIZE size{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        longest = std::max(longest, static_cast<int>(size.cx));
    }
    // Around the item: the frame and the arrow button, as the list is now; and a margin of two
    // average characters, which the list keeps between its text and the arrow.
    RECT window{};
    ::GetWindowRect(Handle(), &window);
    const RECT item = ItemRect();
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    return longest + 2 * metrics.tmAveCharWidth + (window.right - window.left) - (item.right - item.left);
}

bool TComboBox::Notified(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_COMMAND || HIWORD(wParam) != CBN_SELCHANGE)
        return false;
    if (OnChange)
        OnChange();
    result = 0;
    return true;
}

TPanel::TPanel(HWND parent, const std::string& caption)
{
    RegisterWindowClass(L"PolypadPanel", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), ::LoadCursorW(nullptr, IDC_ARROW));
    CreateHandle(L"PolypadPanel", 0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, Widen(caption), 0, 0, 0, 0, parent);
}

LRESULT TPanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_SIZE:
        if (FillChild)
            ::MoveWindow(FillChild, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_MOUSEMOVE:
        if (OnMouseMove)
            OnMouseMove();
        return 0;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}

void TPanel::Paint()
{
    TPaintDC dc(Handle());
    RECT r = ClientRect();
    TSelectObject font(dc.get(), DefaultGuiFont());
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::SetTextColor(dc.get(), ::GetSysColor(COLOR_BTNTEXT));
    const std::wstring caption = Widen(Text());
    ::DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// ---- message window and timer ---------------------------------------------------------------

TMessageWindow::TMessageWindow(THandler handler) : FHandler(std::move(handler))
{
    RegisterWindowClass(L"PolypadMessageWindow");
    CreateHandle(L"PolypadMessageWindow", 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE);
}

LRESULT TMessageWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (FHandler && FHandler(message, wParam, lParam, result))
        return result;
    return DefaultProc(message, wParam, lParam);
}

TTimer::TTimer(UINT interval)
    : FInterval(interval), FWindow([this](UINT message, WPARAM, LPARAM, LRESULT& result) {
          if (message != WM_TIMER)
              return false;
          if (FEnabled && OnTimer)
              OnTimer();
          result = 0;
          return true;
      })
{
}

TTimer::~TTimer()
{
    if (FWindow.Handle())
        ::KillTimer(FWindow.Handle(), 1);
}

void TTimer::SetInterval(UINT interval)
{
    if (FInterval != interval) {
        FInterval = interval;
        Update();
    }
}

void TTimer::SetEnabled(bool enabled)
{
    if (FEnabled != enabled) {
        FEnabled = enabled;
        Update();
    }
}

void TTimer::Update()
{
    ::KillTimer(FWindow.Handle(), 1);
    if (FEnabled && FInterval > 0)
        CheckWin32(::SetTimer(FWindow.Handle(), 1, FInterval, nullptr) != 0, "SetTimer");
}

// ---- forms ----------------------------------------------------------------------------------

void TForm::CreateForm(const std::string& caption, DWORD style, DWORD exStyle, int clientWidth, int clientHeight,
                       HWND owner)
{
    RegisterWindowClass(L"PolypadForm", CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    RECT r{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    CreateHandle(L"PolypadForm", exStyle, style, Widen(caption), CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                 r.bottom - r.top, owner);
}

void TForm::SetClientSize(int clientWidth, int clientHeight)
{
    RECT r{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    ::SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TForm::IsShortCut(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return false;
    TShortCut key{static_cast<UINT>(msg.wParam), ::GetKeyState(VK_CONTROL) < 0, ::GetKeyState(VK_SHIFT) < 0,
                  ::GetKeyState(VK_MENU) < 0};
    // A disabled command leaves the key to the focused control.
    TAction* action = Actions.FindShortCut(key);
    if (!action || !action->Enabled())
        return false;
    try {
        action->Execute();
    } catch (const std::exception& e) {
        ShowException(Handle(), e);
    }
    return true;
}

void TForm::ProcessMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

namespace {
struct TForwardedMessage {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

BOOL CALLBACK ForwardToChild(HWND child, LPARAM data)
{
    const auto* m = reinterpret_cast<const TForwardedMessage*>(data);
    ::SendMessageW(child, m->Message, m->WParam, m->LParam);
    return TRUE;
}
} // namespace

void SystemSettingsChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TForwardedMessage forwarded{message, wParam, lParam};
    // WM_THEMECHANGED reaches every window by itself.
    if (message != WM_THEMECHANGED)
        ::EnumChildWindows(window, ForwardToChild, reinterpret_cast<LPARAM>(&forwarded));
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

LRESULT TForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        SystemSettingsChanged(Handle(), message, wParam, lParam);
        break;
    case WM_SIZE:
        OnResize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        if (!OnCloseQuery())
            return 0;
        break;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}

LRESULT TExForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_HELP:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CONTEXTHELP) {
            WhatsThis().Activate(this);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (WhatsThis().Active() && (!WhatsThis().StartForm() || WhatsThis().StartForm() == this)) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HELP));
            return TRUE;
        }
        break;
    default: break;
    }
    return TForm::WindowProc(message, wParam, lParam);
}

void TNonModalForm::CreateForm(const std::string& caption, DWORD style, DWORD exStyle, int clientWidth,
                               int clientHeight)
{
    TForm::CreateForm(caption, style, exStyle, clientWidth, clientHeight, FParentWindow);
}
