// The state behind one Host application object, shared by every Host COM object made from it
// (each holds a counted std::shared_ptr, so the state lives while any of them does): the project
// store, settings, selection, the command list, the map view with its overlay, and the links to
// the windows (THostUi) and to the attached module.
#pragma once

#include "hostsim/HostPtr.h"
#include "hostsim/Overlay.h"
#include "hostsim/ProjectStore.h"
#include "hostsim/ViewTransform.h"

#include <windows.h>
#include <ole2.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hostsim {

// What the Host objects need from the application's windows. The windowless application has a
// hidden window and panes that are never shown.
class THostUi {
public:
    virtual ~THostUi() = default;
    virtual HWND MainWindowHandle() = 0;
    virtual HWND CreatePane(const std::wstring& name, const std::wstring& caption) = 0;
    virtual void SetPaneVisible(HWND pane, bool visible) = 0;
    virtual void UpdatePane(HWND pane) = 0;
    virtual void SetCommandChecked(const std::wstring& name, bool checked) = 0;
    // The map's contents, the selection or the overlay changed: repaint.
    virtual void MapChanged() = 0;
    virtual void ShowStatus(const std::wstring& text) = 0;
    // The map coordinates under the mouse.
    virtual void ShowPointer(const std::wstring&) {}
};

struct TSelectionEntry {
    std::int32_t ObjectId = 0;
    std::int32_t ShapeIndex = -1;
};

struct TCommand {
    std::wstring Name;
    bool Checked = false;
};

class THostState {
public:
    THostState();
    ~THostState();

    // Opens the project (rolls back an open transaction of the previous one); settings come
    // from "<project>.settings". Raises EProjectFormat or EHostError.
    void OpenProject(const std::wstring& path);
    // Rolls back an open transaction and forgets the project.
    void CloseProject();

    TProjectStore Store;
    std::wstring ProjectPath;

    TSettingsStore Settings;
    std::wstring SettingsPath;
    void SaveSettings();

    std::vector<TSelectionEntry> Selection;
    // After every change of the selection: repaint and, later from the message loop, the
    // module's Synchronize.
    void SelectionChanged();

    std::vector<TCommand> Commands;
    TCommand* FindCommand(const std::wstring& name);

    // ActiveMapView answers NULL while this is false (or no project is open).
    bool MapViewActive = true;
    TViewTransform View;
    TOverlay Overlay;
    // Pen state of the surface, as the last SetMode/SetColor/... left it.
    long PenStyle = 0;
    double PenWidth = 0;
    double PenSecondWidth = 0;
    COLORREF PenColor = RGB(0, 0, 0);
    long PenMode = 13;
    long BrushStyle = 0;

    // Runs change on the view between the module's RepaintDragging before and after.
    void ChangeView(const std::function<void()>& change);
    // Fits the whole project into the view (no module calls).
    void FitProject();

    THostUi* Ui = nullptr;
    // Keeps the windows (or the hidden UI) alive as long as the state; destroyed first.
    std::shared_ptr<void> OwnedUi;

    // The module, called by name through IDispatch; not counted among Host objects.
    THostPtr<IDispatch> Module;
    // Calls a method of the module with the arguments (in order); the failure text, with
    // HRESULT and the module's message, goes to the status bar and is returned.
    HRESULT CallModule(const wchar_t* method, std::vector<VARIANT> arguments, std::wstring* failure = nullptr);
    // The module's RepaintDragging with this application's surface.
    void RepaintDragging();
    bool SynchronizePending = false;
    // Deferred Synchronize, run from the message loop.
    void RunPendingSynchronize();

    // The command of the module: choosing it calls ShowHideForm.
    std::wstring ModuleCommand;
    // A command chosen from the menu (or a script): the module's command, or a built-in one
    // ("Показать всё"). Raises EHostError for an unknown name.
    void RunCommand(const std::wstring& name);

    // Texts of message boxes posted by PostMessageBox, shown one per posted message.
    std::deque<std::wstring> PendingMessageBoxes;
    void PostMessageBox(const std::wstring& text);

    // The hidden application window ("TApplication") that carries deferred notifications.
    HWND ApplicationWindow = nullptr;

    // A surface object of this state (new reference); set by the application object.
    std::function<IDispatch*()> MakeSurface;
};

} // namespace hostsim
