#include "GridTestSupport.h"

#include <windowsx.h>

TTestForm::TTestForm()
{
    CreateForm("Grid test", WS_OVERLAPPEDWINDOW, 0, 600, 400, nullptr);
    Grid.CreateGrid(Handle(), 0, 0, 600, 360);
    Other = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 364, 200, 24,
                              Handle(), nullptr, ModuleInstance(), nullptr);
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::UpdateWindow(Handle());
}

void TTestForm::OnResize(int width, int height)
{
    if (Grid.Handle())
        Grid.SetBounds(0, 0, width, height - 40);
}

void TCellTable::Bind(TSimpleGrid& grid)
{
    grid.OnGetDataValue = [this](TSimpleGrid&, int col, int row, TGridValue& value) {
        if (row >= 0 && row < static_cast<int>(Values.size()) && col >= 0 &&
            col < static_cast<int>(Values[static_cast<std::size_t>(row)].size()))
            value = Values[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    };
    grid.OnSetDataValue = [this](TSimpleGrid&, int col, int row, const TGridValue& value) {
        Sets.push_back({col, row, value});
        Events.push_back("set " + std::to_string(col) + "," + std::to_string(row));
        Values[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = value;
    };
    grid.OnDataCellSelect = [this](TSimpleGrid&, int col, int row) {
        Events.push_back("select " + std::to_string(col) + "," + std::to_string(row));
    };
    grid.OnInitRowEditing = [this](TSimpleGrid&) { Events.push_back("init row"); };
    grid.OnApplyRowEditing = [this](TSimpleGrid&) { Events.push_back("apply row"); };
}

namespace {
const UINT StepMessage = WM_APP + 7;
}

TInputScript::TInputScript()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = L"PolypadTestScript";
    ::RegisterClassW(&wc);
    FWindow = ::CreateWindowExW(0, L"PolypadTestScript", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), nullptr);
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TInputScript::~TInputScript()
{
    ::DestroyWindow(FWindow);
}

TInputScript& TInputScript::Then(std::function<bool()> fn)
{
    FSteps.push_back(std::move(fn));
    return *this;
}

void TInputScript::Start()
{
    ::PostMessageW(FWindow, StepMessage, 0, 0);
}

LRESULT CALLBACK TInputScript::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TInputScript*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == StepMessage && self && !self->Done()) {
        bool done = false;
        try {
            done = self->FSteps[self->FNext]();
        } catch (...) {
            done = true;
        }
        if (done)
            ++self->FNext;
        else
            ::Sleep(20);
        if (!self->Done())
            ::PostMessageW(window, StepMessage, 0, 0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Pump(int ms, const std::function<bool()>& done)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (static_cast<int>(::GetTickCount() - start) < ms && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done && done())
            return;
        if (static_cast<int>(::GetTickCount() - start) >= ms)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
constexpr UINT kMarker = WM_APP + 0x3A7;
long gMarkersHandled = 0;

LRESULT CALLBACK MarkerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMarker) {
        gMarkersHandled = static_cast<long>(wParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MarkerWindow()
{
    static HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = MarkerProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PolypadTestMarker";
        ::RegisterClassW(&wc);
        return ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}
} // namespace

bool PumpUntilPostedHandled(int limitMs)
{
    static long posted = 0;
    const long marker = ++posted;
    ::PostMessageW(MarkerWindow(), kMarker, static_cast<WPARAM>(marker), 0);
    Pump(limitMs, [marker] { return gMarkersHandled >= marker; });
    return gMarkersHandled >= marker;
}

void PostKey(HWND window, UINT key)
{
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

void PostChars(HWND window, const std::wstring& text)
{
    for (wchar_t c : text)
        ::PostMessageW(window, WM_CHAR, c, 1);
}

void PostClick(HWND window, int x, int y)
{
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void SetModifier(UINT vk, bool down)
{
    BYTE state[256];
    ::GetKeyboardState(state);
    state[vk] = down ? 0x80 : 0;
    if (vk == VK_CONTROL)
        state[VK_LCONTROL] = state[vk];
    if (vk == VK_MENU)
        state[VK_LMENU] = state[vk];
    if (vk == VK_SHIFT)
        state[VK_LSHIFT] = state[vk];
    ::SetKeyboardState(state);
}

namespace {
BOOL CALLBACK FindBox(HWND w, LPARAM p)
{
    wchar_t cls[16] = {};
    ::GetClassNameW(w, cls, 16);
    if (wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindMessageBox()
{
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string MessageBoxText(HWND box)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 512);
    return Narrow(text);
}
