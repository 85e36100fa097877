// The small window framework the grid and the editor window stand on, directly on Win32.
//
// TWindow binds one C++ object to one window (at WM_NCCREATE, or by subclassing a system control)
// and routes messages to the virtual WindowProc; the static procedure catches every exception and
// shows it in the standard error box, so nothing unwinds through a Windows frame. A TWindow owns
// its window: destroying the object destroys the window. Child objects are owned by their parent
// object (unique_ptr members); their windows die with the parent's.
// Commands (TAction) are shared by tool buttons and menu items; TActionList owns them.
#pragma once

#include "controls/WinHandles.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Title of the standard error box and of owned message boxes.
const std::wstring& ApplicationTitle();
void SetApplicationTitle(const std::wstring& title);
HINSTANCE ModuleInstance();
// Unregisters every window class this library registered; for the module's unload.
void UnregisterWindowClasses();

// The standard error box: error icon, the exception's message, owned by the given window.
// Shows the error in the standard error box; an EAbort is not shown.
void ShowException(HWND owner, const std::exception& error);
int MessageBoxOwned(HWND owner, const std::string& text, const std::string& caption, UINT flags);
// The message boxes of the two functions above that are open now (nested ones count each): the
// code that showed them is still on the stack, so its windows must not be destroyed before they
// return.
int OpenMessageBoxCount();
// Ends every open message box as cancelled (each returns IDCANCEL).
void EndOpenMessageBoxes();

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Handle() const { return FHandle; }
    bool HandleAllocated() const { return FHandle != nullptr; }
    static TWindow* FromHandle(HWND window);

    void Show(bool visible = true) const;
    bool Visible() const { return FHandle && ::IsWindowVisible(FHandle); }
    void SetBounds(int x, int y, int width, int height) const;
    RECT ClientRect() const;
    void Invalidate() const;
    void SetFocus() const;
    bool Focused() const;
    void SetText(const std::string& text) const;
    std::string Text() const;

protected:
    // Registers a class of ours once per process; the procedure binds objects at WM_NCCREATE.
    static void RegisterWindowClass(const wchar_t* name, UINT style = CS_DBLCLKS, HBRUSH background = nullptr,
                                    HCURSOR cursor = nullptr);
    void CreateHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& caption, int x,
                      int y, int width, int height, HWND parent, UINT_PTR id = 0);
    // Attaches to a system control created here; its own procedure becomes DefaultProc.
    void CreateSubclassed(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& caption,
                          int x, int y, int width, int height, HWND parent, UINT_PTR id = 0);
    void DestroyHandle();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND / WM_NOTIFY of this child, delivered by the parent; true when handled.
    virtual bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After WM_NCDESTROY; the handle is already cleared.
    virtual void Destroyed() {}

private:
    static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HWND FHandle = nullptr;
    WNDPROC FOldProc = nullptr;
};

// ---- commands -------------------------------------------------------------------------------

struct TShortCut {
    UINT Key = 0;
    bool Ctrl = false, Shift = false, Alt = false;
    bool Empty() const { return Key == 0; }
    friend bool operator==(const TShortCut&, const TShortCut&) = default;
};

class TActionList;

class TAction {
public:
    TAction(TActionList& list, int id) : FList(list), FId(id) {}
    int Id() const { return FId; }
    const std::string& Caption() const { return FCaption; }
    const std::string& Hint() const { return FHint; }
    int ImageIndex() const { return FImageIndex; }
    bool Checked() const { return FChecked; }
    bool Enabled() const { return FEnabled; }
    const TShortCut& ShortCut() const { return FShortCut; }
    void SetCaption(const std::string& v);
    void SetHint(const std::string& v);
    void SetImageIndex(int v);
    void SetChecked(bool v);
    void SetEnabled(bool v);
    void SetShortCut(const TShortCut& v) { FShortCut = v; }
    // A second key that runs the command too (not shown in menus).
    void SetSecondShortCut(const TShortCut& v) { FSecondShortCut = v; }
    bool HasShortCut(const TShortCut& key) const
    {
        return (!FShortCut.Empty() && FShortCut == key) || (!FSecondShortCut.Empty() && FSecondShortCut == key);
    }
    std::function<void(TAction&)> OnExecute;
    // Runs OnExecute when enabled; returns whether it ran. Exceptions reach the caller.
    bool Execute();

private:
    void Changed();
    TActionList& FList;
    int FId;
    std::string FCaption, FHint;
    int FImageIndex = -1;
    bool FChecked = false, FEnabled = true;
    TShortCut FShortCut, FSecondShortCut;
};

class TActionList {
public:
    TAction& Add(const std::string& caption, const std::string& hint = {}, int imageIndex = -1);
    TAction* Find(int id) const;
    TAction* FindShortCut(const TShortCut& key) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    TAction& Items(int index) const { return *FItems[static_cast<std::size_t>(index)]; }
    // Tool bars and menus refresh themselves from their actions.
    std::vector<std::function<void(TAction&)>> OnChange;

private:
    friend class TAction;
    std::vector<std::unique_ptr<TAction>> FItems;
    int FNextId = 1000;
};

// Popup menu from commands; separators and submenus between them.
class TPopupMenu {
public:
    struct TItem {
        TAction* Action = nullptr; // null: separator, unless Submenu
        std::unique_ptr<TPopupMenu> Submenu;
        std::string Caption;        // of submenus, or a command's own caption here
    };
    // An item of action, shown with caption when one is given (else the action's own).
    void AddAction(TAction& action, const std::string& caption = {});
    void AddSeparator();
    // Appends copies of source's command items and separators (submenus are left out).
    void CopyItemsFrom(const TPopupMenu& source);
    TPopupMenu& AddSubmenu(const std::string& caption);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Fills the menu (e.g. from the current state) just before it shows.
    std::function<void(TPopupMenu&)> OnPopup;
    // Shows the menu at a screen point and runs the chosen command; returns it or null.
    TAction* Popup(HWND owner, int x, int y);
    TUniqueMenu Build() const;
    // The command with this id, submenus included.
    TAction* Find(int id) const;

private:
    void BuildInto(HMENU menu) const;
    std::vector<TItem> FItems;
};

// ---- controls -------------------------------------------------------------------------------

class TStatusBar : public TWindow {
public:
    TStatusBar(HWND parent, bool simple = true);
    void SetSimpleText(const std::string& text);
    std::string SimpleText() const { return FText; }
    // Panels instead of the one simple text: widths in pixels, -1 for the rest of the bar. The
    // simple text then goes to panel 0.
    void SetPanels(const std::vector<int>& widths);
    void SetPanelText(int index, const std::string& text);
    std::string PanelText(int index) const;
    // The width text needs in the bar's font, its borders included.
    int TextWidth(const std::string& text) const;
    int Height() const;
    std::function<void()> OnClick;

protected:
    bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::wstring PanelTextW(int index) const;

    std::string FText;
    bool FSimple = true;
    mutable TUniqueMemoryDC FMeasureDC;
};

class TToolBar : public TWindow {
public:
    // A wrapable bar moves the buttons that do not fit onto further rows.
    TToolBar(HWND parent, HIMAGELIST images, bool wrapable = false);
    // A button shows its action: image, hint, checked and enabled state; a drop-down button opens
    // its menu below itself.
    void AddButton(TAction& action, TPopupMenu* dropDownMenu = nullptr);
    void AddSeparator(int width = 8);
    void Refresh(const TAction& action);
    int ButtonCount() const;
    RECT ButtonRect(int index) const;
    // The width of all buttons and separators side by side: what the bar needs on one row.
    int RowWidth() const;
    int Height() const;
    // Hint of the button under the mouse (" " + hint), or empty over no button.
    std::function<void(const std::string&)> OnHint;

protected:
    bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct TButton {
        TAction* Action;
        TPopupMenu* Menu;
    };
    std::vector<TButton> FButtons;
};

// A drop-down list combo box (no typing); OnChange after the user picks an item.
class TComboBox : public TWindow {
public:
    TComboBox(HWND parent, int x, int y, int width, int dropDownHeight);
    void AddItem(const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The hint shown in a tooltip while the pointer rests on the list.
    void SetHint(const std::string& hint);
    std::string Hint() const;
    // The width at which the longest item shows whole in the closed list.
    int WidthToFit() const;
    // The part of the closed list that shows the chosen item (client coordinates).
    RECT ItemRect() const;
    std::function<void()> OnChange;

protected:
    bool Notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    TUniqueWindow FToolTip;
};

// A plain container with a caption drawn in its middle (seen only where no child covers it).
class TPanel : public TWindow {
public:
    TPanel(HWND parent, const std::string& caption);
    std::function<void()> OnMouseMove;
    // The child that fills the panel (resized with it), or null.
    HWND FillChild = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
};

// A hidden message-only window with a handler.
class TMessageWindow : public TWindow {
public:
    using THandler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    explicit TMessageWindow(THandler handler);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    THandler FHandler;
};

class TTimer {
public:
    explicit TTimer(UINT interval = 1000);
    ~TTimer();
    void SetInterval(UINT interval);
    UINT Interval() const { return FInterval; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return FEnabled; }
    std::function<void()> OnTimer;

private:
    void Update();
    UINT FInterval;
    bool FEnabled = false;
    TMessageWindow FWindow;
};

// ---- forms ----------------------------------------------------------------------------------

// A top-level window with the default GUI font and an optional key preview.
class TForm : public TWindow {
public:
    TForm() = default;
    void CreateForm(const std::string& caption, DWORD style, DWORD exStyle, int clientWidth, int clientHeight,
                    HWND owner);
    HFONT Font() const { return FFont.get(); }
    // Resizes the window so that its client area has this size.
    void SetClientSize(int clientWidth, int clientHeight);
    // Commands with shortcuts run from the message loop through IsShortCut.
    TActionList Actions;
    bool IsShortCut(const MSG& msg);
    // Runs the modal-less loop until the window is gone; for programs and tests.
    static void ProcessMessages();

protected:
    // WM_SYSCOLORCHANGE and WM_SETTINGCHANGE reach top-level windows only: the form hands them to
    // its controls, which need them to follow the system's colours. A form docked in a foreign
    // window gets them from whoever hears them for it (see SystemSettingsChanged).
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnResize(int /*width*/, int /*height*/) {}
    virtual bool OnCloseQuery() { return true; }
    TUniqueFont FFont;
};

// Form with the context-help hooks: F1 help off, SC_CONTEXTHELP enters the what's-this mode.
class TExForm : public TForm {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A modeless form owned by a foreign window (the Host's main window).
class TNonModalForm : public TExForm {
public:
    explicit TNonModalForm(HWND parentWindow) : FParentWindow(parentWindow) {}
    HWND ParentWindow() const { return FParentWindow; }
    void CreateForm(const std::string& caption, DWORD style, DWORD exStyle, int clientWidth, int clientHeight);

private:
    HWND FParentWindow;
};

// Colours, theme or settings of the system changed: the message (WM_SYSCOLORCHANGE,
// WM_SETTINGCHANGE or WM_THEMECHANGED) goes to every control of the window, and the window is
// redrawn whole.
void SystemSettingsChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HFONT DefaultGuiFont();
// The screen's DPI (LOGPIXELSY of the screen), which the windows of a system-DPI-aware process
// scale by.
int ScreenDpi();
