#include "hostsim/MainWindow.h"
#include "hostsim/HostCalls.h"

#include <commdlg.h>

namespace hostsim {

namespace {

const wchar_t kMainWindowClass[] = L"TOrvexMainWindow";
const wchar_t kPaneFrameClass[] = L"TOrvexPane";
const wchar_t kPaneClientClass[] = L"TOrvexPaneClient";
constexpr int kPaneWidth = 420;
constexpr int kPaneCaption = 22;

enum : int {
    idCommandFirst = 100, // + index in THostState::Commands
    idLayerNone = 199,
    idLayerFirst = 200, // + index in the project's layers
    idOpen = 300,
    idExit,
    idZoomIn,
    idZoomOut,
};

void RegisterClasses(WNDPROC mainProc, WNDPROC paneProc)
{
    static const bool done = [&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = mainProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        wc.lpszClassName = kMainWindowClass;
        CheckWin32(::RegisterClassW(&wc) != 0, "RegisterClass TOrvexMainWindow");
        WNDCLASSW pane{};
        pane.lpfnWndProc = paneProc;
        pane.hInstance = ::GetModuleHandleW(nullptr);
        pane.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        pane.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        pane.lpszClassName = kPaneFrameClass;
        CheckWin32(::RegisterClassW(&pane) != 0, "RegisterClass TOrvexPane");
        pane.lpszClassName = kPaneClientClass;
        CheckWin32(::RegisterClassW(&pane) != 0, "RegisterClass TOrvexPaneClient");
        return true;
    }();
    (void)done;
}

} // namespace

TMainWindow::TMainWindow(THostState& state) : FState(state)
{
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&init);
    RegisterClasses(WindowProc, PaneProc);
    // WindowProc takes ownership at the first message; the handle returned is the same.
    CheckWin32Handle(::CreateWindowExW(0, kMainWindowClass, L"Orvex", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40,
                                       1200, 800, nullptr, nullptr, ::GetModuleHandleW(nullptr), this),
                     "CreateWindow TOrvexMainWindow");
    FStatus = CheckWin32Handle(::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                                                 0, 0, FWindow.get(), nullptr, ::GetModuleHandleW(nullptr), nullptr),
                               "CreateWindow status bar");
    int parts[] = {560, 820, -1};
    ::SendMessageW(FStatus, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    FMap = std::make_unique<TMapWindow>(FState, FWindow.get());
    BuildMenu();
    Layout();
    ::ShowWindow(FWindow.get(), SW_SHOW);
    ::UpdateWindow(FWindow.get());
}

TMainWindow::~TMainWindow()
{
    if (FWindow)
        ::SetWindowLongPtrW(FWindow.get(), GWLP_USERDATA, 0);
}

void TMainWindow::ProjectOpened()
{
    BuildMenu();
    ::SendMessageW(FStatus, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(L""));
    const std::string& title = FState.Store.Project().Title;
    ::SetWindowTextW(FWindow.get(), (L"Orvex — " + (title.empty() ? FState.ProjectPath : Widen(title))).c_str());
    UpdateSelectionStatus();
    MapChanged();
}

bool TMainWindow::PostCommand(const std::wstring& name)
{
    for (std::size_t i = 0; i < FState.Commands.size(); ++i)
        if (FState.Commands[i].Name == name)
            return ::PostMessageW(FWindow.get(), WM_COMMAND, MAKEWPARAM(idCommandFirst + i, 0), 0) != FALSE;
    return false;
}

void TMainWindow::BuildMenu()
{
    HMENU bar = ::CreateMenu();
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, idOpen, L"&Открыть проект…");
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(file, MF_STRING, idExit, L"В&ыход");
    HMENU view = ::CreatePopupMenu();
    ::AppendMenuW(view, MF_STRING, idZoomIn, L"&Увеличить");
    ::AppendMenuW(view, MF_STRING, idZoomOut, L"У&меньшить");
    HMENU layers = ::CreatePopupMenu();
    const auto& projectLayers = FState.Store.Project().Layers;
    for (std::size_t i = 0; i < projectLayers.size(); ++i) {
        const TLayerData& layer = projectLayers[i];
        std::wstring caption = Widen(layer.Name);
        if (!(layer.Permissions & kRightView))
            caption += L" (нет права просмотра)";
        ::AppendMenuW(layers, MF_STRING | (layer.Id == FState.Store.Project().ActiveLayerId ? MF_CHECKED : 0),
                      idLayerFirst + static_cast<int>(i), caption.c_str());
    }
    ::AppendMenuW(layers, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(layers, MF_STRING | (FState.Store.Project().ActiveLayerId == 0 ? MF_CHECKED : 0), idLayerNone,
                  L"Нет активного слоя");
    HMENU commands = ::CreatePopupMenu();
    for (std::size_t i = 0; i < FState.Commands.size(); ++i) {
        const TCommand& command = FState.Commands[i];
        HMENU target = command.Name == L"Показать всё" ? view : commands;
        ::AppendMenuW(target, MF_STRING | (command.Checked ? MF_CHECKED : 0), idCommandFirst + static_cast<int>(i),
                      command.Name.c_str());
    }
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Файл");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&Вид");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(layers), L"&Слой");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(commands), L"&Модули");
    HMENU old = ::GetMenu(FWindow.get());
    ::SetMenu(FWindow.get(), bar);
    if (old)
        ::DestroyMenu(old);
}

HWND TMainWindow::CreatePane(const std::wstring& name, const std::wstring& caption)
{
    TPane pane{name, caption};
    pane.Frame = CheckWin32Handle(::CreateWindowExW(0, kPaneFrameClass, caption.c_str(),
                                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                                                    kPaneWidth, 100, FWindow.get(), nullptr,
                                                    ::GetModuleHandleW(nullptr), nullptr),
                                  "CreateWindow TOrvexPane");
    pane.Client = CheckWin32Handle(::CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClientClass, name.c_str(),
                                                     WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, kPaneCaption,
                                                     kPaneWidth, 100, pane.Frame, nullptr,
                                                     ::GetModuleHandleW(nullptr), nullptr),
                                   "CreateWindow TOrvexPaneClient");
    FPanes.push_back(pane);
    Layout();
    return pane.Client;
}

void TMainWindow::SetPaneVisible(HWND client, bool visible)
{
    for (const TPane& pane : FPanes)
        if (pane.Client == client)
            ::ShowWindow(pane.Frame, visible ? SW_SHOW : SW_HIDE);
    Layout();
}

void TMainWindow::UpdatePane(HWND client)
{
    Layout();
    // A window docked after the pane was laid out fills it now.
    RECT area;
    ::GetClientRect(client, &area);
    for (HWND child = ::GetWindow(client, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::MoveWindow(child, 0, 0, area.right, area.bottom, TRUE);
    ::RedrawWindow(client, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TMainWindow::SetCommandChecked(const std::wstring& name, bool checked)
{
    for (std::size_t i = 0; i < FState.Commands.size(); ++i)
        if (FState.Commands[i].Name == name)
            ::CheckMenuItem(::GetMenu(FWindow.get()), idCommandFirst + static_cast<UINT>(i),
                            MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void TMainWindow::MapChanged()
{
    if (FMap)
        FMap->Invalidate();
    UpdateSelectionStatus();
}

void TMainWindow::ShowPointer(const std::wstring& text)
{
    ::SendMessageW(FStatus, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMainWindow::ShowStatus(const std::wstring& text)
{
    FLastStatus = text;
    ::SendMessageW(FStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring TMainWindow::StatusText() const { return FLastStatus; }

void TMainWindow::UpdateSelectionStatus()
{
    std::wstring text;
    if (FState.Selection.empty())
        text = L"Ничего не выделено";
    else {
        const TSelectionEntry& first = FState.Selection.front();
        text = L"Выделен объект " + std::to_wstring(first.ObjectId);
        if (first.ShapeIndex >= 0)
            text += L", форма " + std::to_wstring(first.ShapeIndex);
        if (FState.Selection.size() > 1)
            text += L" (+" + std::to_wstring(FState.Selection.size() - 1) + L")";
    }
    // Unchanged most of the time (every map change comes here): skip the status bar's repaint.
    if (text == FSelectionStatus)
        return;
    FSelectionStatus = text;
    ::SendMessageW(FStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMainWindow::Layout()
{
    RECT client;
    ::GetClientRect(FWindow.get(), &client);
    ::SendMessageW(FStatus, WM_SIZE, 0, 0);
    RECT status;
    ::GetWindowRect(FStatus, &status);
    const int bottom = static_cast<int>(client.bottom - (status.bottom - status.top));
    int right = static_cast<int>(client.right);
    std::vector<HWND> shown;
    for (const TPane& pane : FPanes)
        if (::IsWindowVisible(pane.Frame))
            shown.push_back(pane.Frame);
    if (!shown.empty()) {
        right = std::max<int>(0, client.right - kPaneWidth);
        const int each = std::max(1, bottom / static_cast<int>(shown.size()));
        for (std::size_t i = 0; i < shown.size(); ++i)
            ::MoveWindow(shown[i], right, static_cast<int>(i) * each, kPaneWidth, each, TRUE);
    }
    if (FMap)
        ::MoveWindow(FMap->Handle(), 0, 0, right, std::max(bottom, 1), TRUE);
}

void TMainWindow::OnCommand(int id)
{
    if (id >= idCommandFirst && id < idCommandFirst + static_cast<int>(FState.Commands.size())) {
        try {
            FState.RunCommand(FState.Commands[static_cast<std::size_t>(id - idCommandFirst)].Name);
        } catch (const std::exception& e) {
            ShowStatus(Widen(e.what()));
        }
        return;
    }
    const auto& layers = FState.Store.Project().Layers;
    if (id == idLayerNone || (id >= idLayerFirst && id < idLayerFirst + static_cast<int>(layers.size()))) {
        FState.Store.SetActiveLayer(id == idLayerNone ? 0 : layers[static_cast<std::size_t>(id - idLayerFirst)].Id);
        BuildMenu();
        return;
    }
    switch (id) {
    case idOpen: {
        wchar_t path[MAX_PATH] = L"";
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = FWindow.get();
        ofn.lpstrFilter = L"Проекты Orvex (*.orvex)\0*.orvex\0Все файлы\0*.*\0";
        ofn.lpstrFile = path;
        ofn.nMaxFile = MAX_PATH;
        ofn.Flags = OFN_FILEMUSTEXIST;
        if (::GetOpenFileNameW(&ofn)) {
            try {
                FState.OpenProject(path);
                ProjectOpened();
            } catch (const std::exception& e) {
                ShowStatus(Widen(e.what()));
            }
        }
        break;
    }
    case idExit:
        ::PostMessageW(FWindow.get(), WM_CLOSE, 0, 0);
        break;
    case idZoomIn:
    case idZoomOut:
        FState.ChangeView([&] {
            FState.View.ZoomAt(FState.View.Width() / 2.0, FState.View.Height() / 2.0, id == idZoomIn ? 1.5 : 1 / 1.5);
        });
        break;
    default:
        break;
    }
}

LRESULT CALLBACK TMainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        if (auto* self = reinterpret_cast<TMainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            if (self->FWindow.get() == nullptr)
                self->FWindow.reset(window);
            return self->Handle(message, wParam, lParam);
        }
    } catch (const std::exception& e) {
        if (auto* self = reinterpret_cast<TMainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
            self->ShowStatus(Widen(e.what()));
        return 0;
    } catch (...) {
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TMainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        ::ShowWindow(FWindow.get(), SW_HIDE);
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
    {
        HWND window = FWindow.release();
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    default:
        return ::DefWindowProcW(FWindow.get(), message, wParam, lParam);
    }
}

LRESULT CALLBACK TMainWindow::PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        wchar_t className[32] = L"";
        ::GetClassNameW(window, className, 32);
        const bool frame = std::wstring(className) == kPaneFrameClass;
        switch (message) {
        case WM_SIZE: {
            const int cx = LOWORD(lParam), cy = HIWORD(lParam);
            if (frame) {
                if (HWND client = ::FindWindowExW(window, nullptr, kPaneClientClass, nullptr))
                    ::MoveWindow(client, 0, kPaneCaption, cx, std::max(cy - kPaneCaption, 1), TRUE);
            } else {
                // A docked window fills its pane.
                for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
                    ::MoveWindow(child, 0, 0, cx, cy, TRUE);
            }
            return 0;
        }
        case WM_PAINT:
            if (frame) {
                const TPaintDC paint(window);
                RECT strip;
                ::GetClientRect(window, &strip);
                strip.bottom = kPaneCaption;
                ::FillRect(paint.get(), &strip, ::GetSysColorBrush(COLOR_ACTIVECAPTION));
                wchar_t caption[256] = L"";
                ::GetWindowTextW(window, caption, 256);
                ::SetBkMode(paint.get(), TRANSPARENT);
                ::SetTextColor(paint.get(), ::GetSysColor(COLOR_CAPTIONTEXT));
                const TSelectObject font(paint.get(), ::GetStockObject(DEFAULT_GUI_FONT));
                strip.left += 6;
                ::DrawTextW(paint.get(), caption, -1, &strip, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
                return 0;
            }
            break;
        default:
            break;
        }
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace hostsim
