#include "hostsim/HostState.h"
#include "hostsim/HostCalls.h"

#include "controls/WinHandles.h"

#include <cstdio>

namespace hostsim {

namespace {

const wchar_t kApplicationClass[] = L"TApplication";
constexpr UINT kSynchronizeMessage = WM_APP + 1;
constexpr UINT kMessageBoxMessage = WM_APP + 2;

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return false;
    char buffer[65536];
    std::size_t n;
    bytes.clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

THostState* StateOfWindow(HWND window)
{
    return reinterpret_cast<THostState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// A Yes/No box owned by the main window; the answer goes to the status bar, so that a script
// sees which button was pressed.
void ShowPendingMessageBox(HWND window)
{
    THostState* state = StateOfWindow(window);
    if (!state || state->PendingMessageBoxes.empty())
        return;
    const std::wstring text = state->PendingMessageBoxes.front();
    state->PendingMessageBoxes.pop_front();
    const HWND owner = state->Ui ? state->Ui->MainWindowHandle() : window;
    const int answer = ::MessageBoxW(owner, text.c_str(), L"Orvex", MB_YESNO | MB_ICONQUESTION);
    state = ::IsWindow(window) ? StateOfWindow(window) : nullptr;
    if (state && state->Ui)
        state->Ui->ShowStatus(answer == IDYES ? L"message-box Yes" : answer == IDNO ? L"message-box No"
                                                                                      : L"message-box failed");
}

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == kSynchronizeMessage) {
            if (auto* state = reinterpret_cast<THostState*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
                state->RunPendingSynchronize();
            return 0;
        }
        if (message == kMessageBoxMessage) {
            ShowPendingMessageBox(window);
            return 0;
        }
    } catch (...) {
        // Nothing may unwind into user32; the status bar has shown what failed.
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateApplicationWindow(THostState* state)
{
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ApplicationWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kApplicationClass;
        return ::RegisterClassW(&wc);
    }();
    if (!atom)
        RaiseLastWin32Error("RegisterClass TApplication");
    HWND window = CheckWin32Handle(::CreateWindowExW(0, kApplicationClass, L"Orvex", WS_POPUP, 0, 0, 0, 0, nullptr,
                                                     nullptr, ::GetModuleHandleW(nullptr), nullptr),
                                   "CreateWindow TApplication");
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return window;
}

} // namespace

THostState::THostState()
{
    Commands.push_back({L"Полипад", false});
    Commands.push_back({L"Показать всё", false});
    ModuleCommand = L"Полипад";
    Overlay.Resize(View.Width(), View.Height());
    ApplicationWindow = CreateApplicationWindow(this);
}

THostState::~THostState()
{
    Store.Rollback();
    Module.reset();
    Ui = nullptr;
    OwnedUi.reset();
    if (ApplicationWindow) {
        ::SetWindowLongPtrW(ApplicationWindow, GWLP_USERDATA, 0);
        ::DestroyWindow(ApplicationWindow);
    }
}

void THostState::OpenProject(const std::wstring& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
                         "Не удалось прочитать проект " + Narrow(path));
    TProjectData project = ParseProject(bytes);
    TSettingsStore settings;
    const std::wstring settingsPath = path + L".settings";
    std::string settingsText;
    if (ReadWholeFile(settingsPath, settingsText))
        settings.FromText(settingsText);

    CloseProject();
    Store.Replace(std::move(project));
    ProjectPath = path;
    Settings = std::move(settings);
    SettingsPath = settingsPath;
    const TViewData& view = Store.Project().View;
    if (view.Given)
        View.Set(view.X, view.Y, view.Scale);
    else
        FitProject();
    if (Ui)
        Ui->MapChanged();
}

void THostState::CloseProject()
{
    Store.Rollback();
    Selection.clear();
    ProjectPath.clear();
}

void THostState::SaveSettings()
{
    if (SettingsPath.empty())
        return;
    const std::string text = Settings.ToText();
    const std::wstring temporary = SettingsPath + L".tmp";
    FILE* file = _wfopen(temporary.c_str(), L"wb");
    if (!file)
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)),
                         "Не удалось записать настройки " + Narrow(SettingsPath));
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !ok ||
        !::MoveFileExW(temporary.c_str(), SettingsPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(temporary.c_str());
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT)),
                         "Не удалось записать настройки " + Narrow(SettingsPath));
    }
}

void THostState::SelectionChanged()
{
    if (Ui)
        Ui->MapChanged();
    if (Module && !SynchronizePending && ApplicationWindow) {
        SynchronizePending = true;
        ::PostMessageW(ApplicationWindow, kSynchronizeMessage, 0, 0);
    }
}

void THostState::PostMessageBox(const std::wstring& text)
{
    PendingMessageBoxes.push_back(text);
    if (!::PostMessageW(ApplicationWindow, kMessageBoxMessage, 0, 0)) {
        PendingMessageBoxes.pop_back();
        RaiseLastWin32Error("PostMessage");
    }
}

void THostState::RunPendingSynchronize()
{
    if (!SynchronizePending)
        return;
    SynchronizePending = false;
    if (Module)
        CallModule(L"Synchronize", {});
}

TCommand* THostState::FindCommand(const std::wstring& name)
{
    for (TCommand& command : Commands)
        if (command.Name == name)
            return &command;
    return nullptr;
}

void THostState::RunCommand(const std::wstring& name)
{
    if (!FindCommand(name))
        throw EHostError(kHostInvalidArg, "Команда «" + Narrow(name) + "» не найдена");
    if (name == L"Показать всё") {
        ChangeView([this] { FitProject(); });
    } else if (name == ModuleCommand) {
        if (!Module)
            throw EHostError(kHostUnexpected, "Модуль Полипад не загружен");
        std::wstring failure;
        const HRESULT hr = CallModule(L"ShowHideForm", {}, &failure);
        if (FAILED(hr))
            throw EHostError(hr, Narrow(failure));
    }
}

void THostState::FitProject()
{
    TFloatRect extent;
    if (ProjectExtent(Store.Project(), extent))
        View.ShowRect(extent.X1, extent.Y1, extent.X2, extent.Y2);
}

void THostState::ChangeView(const std::function<void()>& change)
{
    RepaintDragging();
    change();
    RepaintDragging();
    if (Ui)
        Ui->MapChanged();
}

void THostState::RepaintDragging()
{
    if (!Module || !MakeSurface)
        return;
    VARIANT surface;
    ::VariantInit(&surface);
    surface.vt = VT_DISPATCH;
    surface.pdispVal = MakeSurface();
    CallModule(L"RepaintDragging", {surface});
    ::VariantClear(&surface);
}

HRESULT THostState::CallModule(const wchar_t* method, std::vector<VARIANT> arguments, std::wstring* failure)
{
    if (!Module)
        return E_POINTER;
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    HRESULT hr = Module->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    EXCEPINFO exception{};
    if (SUCCEEDED(hr)) {
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        VARIANT result;
        ::VariantInit(&result);
        UINT argError = 0;
        hr = Module->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception, &argError);
        ::VariantClear(&result);
    }
    if (SUCCEEDED(hr))
        return hr;
    std::wstring message;
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn)
            exception.pfnDeferredFillIn(&exception);
        if (exception.bstrDescription)
            message = exception.bstrDescription;
        if (exception.scode)
            hr = exception.scode;
        else if (exception.wCode)
            hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, exception.wCode);
    } else {
        message = TakeErrorDescription();
    }
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    std::wstring text = std::wstring(L"Polypad.") + method + L": " + HResultText(hr);
    if (!message.empty())
        text += L" " + message;
    if (Ui)
        Ui->ShowStatus(text);
    if (failure)
        *failure = text;
    return hr;
}

} // namespace hostsim
