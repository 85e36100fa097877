// The Host's main window ("TOrvexMainWindow"): menu with the command list (a command's check
// mark is its menu item's), the map window, dockable panes on the right and a status bar. It is
// the THostUi of its state; the state owns it.
#pragma once

#include "hostsim/HostState.h"
#include "hostsim/MapWindow.h"

#include "controls/WinHandles.h"

#include <memory>
#include <vector>

namespace hostsim {

class TMainWindow : public THostUi {
public:
    explicit TMainWindow(THostState& state);
    ~TMainWindow() override;

    HWND Handle() const { return FWindow.get(); }
    HWND MapWindowHandle() const { return FMap ? FMap->Handle() : nullptr; }
    HWND StatusBar() const { return FStatus; }
    std::wstring StatusText() const;
    // Posts WM_COMMAND for the named command; false when there is none.
    bool PostCommand(const std::wstring& name);
    // Rebuilds the menu (layers of a newly opened project) and the caption.
    void ProjectOpened();

    // THostUi
    HWND MainWindowHandle() override { return FWindow.get(); }
    HWND CreatePane(const std::wstring& name, const std::wstring& caption) override;
    void SetPaneVisible(HWND pane, bool visible) override;
    void UpdatePane(HWND pane) override;
    void SetCommandChecked(const std::wstring& name, bool checked) override;
    void MapChanged() override;
    void ShowStatus(const std::wstring& text) override;
    void ShowPointer(const std::wstring& text) override;

private:
    struct TPane {
        std::wstring Name;
        std::wstring Caption;
        HWND Frame = nullptr; // with the caption strip; a child of the main window
        HWND Client = nullptr; // what IHostPane.Handle answers
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void Layout();
    void BuildMenu();
    void UpdateSelectionStatus();

    THostState& FState;
    TUniqueWindow FWindow;
    std::unique_ptr<TMapWindow> FMap;
    HWND FStatus = nullptr;
    std::vector<TPane> FPanes;
    std::wstring FLastStatus;
    std::wstring FSelectionStatus; // the selection part of the status bar as last set
};

} // namespace hostsim
