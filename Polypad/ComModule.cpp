#include "Polypad/ComModule.h"

#include "Polypad/ComServer.h"
#include "Polypad/HostTable.h"
#include "Polypad/PolypadForms.h"

namespace {

constexpr wchar_t kSource[] = L"Polypad.PolypadComModule";
constexpr UINT kSwitchFormTypeMessage = WM_SWITCHFORMTYPE; // 1025, posted by the editor window
constexpr const char* kFormTypeKey = "Polypad/FormType";
constexpr UINT_PTR kDyingFormsTimer = 1;
constexpr const char* kInitWhileWindowText = "Модуль уже инициализирован: окно редактора открыто";
// The methods take the Host's interfaces, which a late-bound call finds in the Host's type
// library through its registration; the Host registers it, and a prefix or a computer where the
// Host never ran has none.
constexpr const char* kHostTypesNotLoadedText =
    "Не загружается библиотека типов Orvex «Orvex Host Library» версии 1.0 "
    "{DD5C1112-592F-11D3-9619-000021C6D845}, в которой описаны параметры методов Полипада: она не "
    "зарегистрирована для этой разрядности. Её регистрирует Orvex при запуске или установке.";

BOOL CALLBACK FindApplicationWindowProc(HWND window, LPARAM lParam)
{
    // The buffer is longer than the name so that a longer class name is seen as longer.
    wchar_t className[64] = {};
    const int length = ::GetClassNameW(window, className, 64);
    if (length != 12 || ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, className, 12, L"TApplication", 12) !=
                            CSTR_EQUAL)
        return TRUE;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != ::GetCurrentProcessId())
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = window;
    return FALSE;
}

} // namespace

HWND FindHostApplicationWindow()
{
    HWND found = nullptr;
    ::EnumWindows(FindApplicationWindowProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

TPolypadComModule::TPolypadComModule() { PolypadServer::ObjectCreated(); }

TPolypadComModule::~TPolypadComModule()
{
    // Done again, as the Host may not have called it; it releases nothing a second time. Run
    // without the boundary so that a release does not overwrite the caller's error information.
    try {
        DoDone();
    } catch (...) {
        // A failing Host call while the object dies has no one to report to.
    }
    PolypadServer::ObjectDestroyed();
}

STDMETHODIMP TPolypadComModule::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IPolypadComModule)
        *object = static_cast<IPolypadComModule*>(this);
    else if (riid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TPolypadComModule::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&FRefCount)); }

STDMETHODIMP_(ULONG) TPolypadComModule::Release()
{
    const LONG count = ::InterlockedDecrement(&FRefCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP TPolypadComModule::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP TPolypadComModule::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    try {
        ITypeInfo* info = PolypadServer::TypeInfo(IID_IPolypadComModule);
        info->AddRef();
        *typeInfo = info;
        return S_OK;
    } catch (const EComError& e) {
        return e.Code();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP TPolypadComModule::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    try {
        return ::DispGetIDsOfNames(PolypadServer::TypeInfo(IID_IPolypadComModule), names, count, ids);
    } catch (const EComError& e) {
        return e.Code();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP TPolypadComModule::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    try {
        // The type information calls the vtable and turns a failure with error information
        // into DISP_E_EXCEPTION with EXCEPINFO.
        const HRESULT hr = PolypadServer::TypeInfo(IID_IPolypadComModule)
                               ->Invoke(static_cast<IPolypadComModule*>(this), id, flags, params, result, exception,
                                        argError);
        // A type of the parameters that does not load fails the call before the method runs.
        if (hr == TYPE_E_CANTLOADLIBRARY || hr == TYPE_E_LIBNOTREGISTERED)
            return DispatchException(hr, kHostTypesNotLoadedText, IID_IPolypadComModule, kSource, exception);
        return hr;
    } catch (const EComError& e) {
        return e.Code();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP TPolypadComModule::Init(IHostApplication* Orvex, BSTR ActionName)
{
    return ComBoundary(IID_IPolypadComModule, kSource, [&] {
        // The window and its history work on the table: a second Init would free it under them.
        // Refused before anything is touched, so the failure below does not undo the first Init.
        if (FForm || !FDyingForms.empty())
            throw EComError(E_UNEXPECTED, kInitWhileWindowText);
        try {
            DoInit(Orvex, ActionName);
        } catch (...) {
            // A failed Init leaves nothing half made: later calls find no Host, as before Init.
            try {
                DoDone();
            } catch (...) {
            }
            throw;
        }
    });
}

STDMETHODIMP TPolypadComModule::Done()
{
    return ComBoundary(IID_IPolypadComModule, kSource, [&] { DoDone(); });
}

STDMETHODIMP TPolypadComModule::ShowHideForm()
{
    return ComBoundary(IID_IPolypadComModule, kSource, [&] {
        if (FForm)
            DestroyForm();
        else
            CreateForm(false);
    });
}

STDMETHODIMP TPolypadComModule::Synchronize()
{
    return ComBoundary(IID_IPolypadComModule, kSource, [&] {
        if (FForm)
            FForm->SynchronizeWithMap();
    });
}

STDMETHODIMP TPolypadComModule::RepaintDragging(IHostSurface* aSurface)
{
    return ComBoundary(IID_IPolypadComModule, kSource, [&] {
        if (FForm)
            FForm->RepaintOverlay(aSurface);
    });
}

STDMETHODIMP TPolypadComModule::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID_IPolypadComModule ? S_OK : S_FALSE;
}

void TPolypadComModule::DoInit(IHostApplication* host, BSTR actionName)
{
    PolypadServer::SetApplicationWindow(FindHostApplicationWindow());
    SetApplicationTitle(L"Полипад");

    if (!host)
        throw EComError(E_INVALIDARG, "Init: не задан объект приложения");
    FHost = TComPtr<IHostApplication>(host);

    FTable = CreateHostTable(FHost.get());

    TVariant name(std::wstring(actionName ? actionName : L"", ::SysStringLen(actionName)));
    TComPtr<IHostMainWindow> mainWindow;
    ThrowIfFailed(FHost->get_MainWindow(mainWindow.put()));
    RequireHostObject(mainWindow, "MainWindow");
    TComPtr<IHostActionList> actions;
    ThrowIfFailed(mainWindow->get_Actions(actions.put()));
    RequireHostObject(actions, "Actions");
    ThrowIfFailed(actions->Item(name.get(), FAction.put()));
    // Without the command every later ShowHideForm would fail: Init fails now, with the reason.
    RequireHostObject(FAction, "IHostActionList.Item");

    CreateNotifyWindow();
}

void TPolypadComModule::DoDone()
{
    // Each resource is cleared as it goes, so a second run finds nothing to free.
    std::exception_ptr formError;
    if (FForm)
        try {
            DestroyForm();
        } catch (...) {
            formError = std::current_exception();
        }
    FHost.reset();
    FAction.reset();
    if (FDyingForms.empty()) {
        FTable.reset();
        FNotifyWindow.reset();
    } else {
        // A window still to be deleted borrows the table and is deleted from the timer of the
        // notification window.
        FDyingTable = std::move(FTable);
    }
    PolypadServer::SetApplicationWindow(nullptr);
    if (FPane)
        ThrowIfFailed(FPane->SetVisible(VARIANT_FALSE));
    if (formError)
        std::rethrow_exception(formError);
}

void TPolypadComModule::CreateNotifyWindow()
{
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = NotifyWindowProc;
    wc.lpszClassName = NotifyWindowClass;
    PolypadServer::EnsureWindowClass(wc);
    FNotifyWindow.reset();
    // A hidden popup owned by the application window, like every top-level window of the module.
    HWND window = ::CreateWindowExW(0, NotifyWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                    PolypadServer::ApplicationWindow(), nullptr, PolypadServer::Instance(), this);
    FNotifyWindow.reset(CheckWin32Handle(window, "CreateWindowEx"));
    ScheduleDyingFormsCleanup();
}

LRESULT TPolypadComModule::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == kDyingFormsTimer) {
        DeleteDyingForms();
        return 0;
    }
    // This hidden top-level window hears what the system tells top-level windows only; a docked
    // window, a child of the Host's pane, would not follow a colour change without it.
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE) {
        if (FForm && FFormType == 1)
            SystemSettingsChanged(FForm->Handle(), message, wParam, lParam);
        return 0;
    }
    if (message != kSwitchFormTypeMessage || !FHost)
        return 0;
    const bool keepEditing = wParam == 1;
    if (FFormType == 0)
        FFormType = 1;
    else if (FFormType == 1)
        FFormType = 0;
    THostSettingsStore(FHost.get()).Write(kFormTypeKey, std::to_string(FFormType));
    CreateForm(keepEditing);
    return 0;
}

void TPolypadComModule::CreateForm(bool keepEditing)
{
    if (!FHost || !FAction || !FTable)
        throw EComError(E_UNEXPECTED, "Модуль не инициализирован");
    // One window at a time, whatever order the requests arrive in.
    if (FForm)
        DestroyForm();
    FFormType = THostSettingsStore(FHost.get()).Read(kFormTypeKey, "0") == "1" ? 1 : 0;
    const bool docked = FFormType == 1;
    const auto mainWindow = HostObject<IHostMainWindow>(
        "IHostApplication.MainWindow", [&](IHostMainWindow** w) { return FHost->get_MainWindow(w); });
    long handle = 0;
    std::unique_ptr<TPolypadForm> form;
    if (!docked) {
        ThrowIfFailed(mainWindow->get_Handle(&handle));
        form = std::make_unique<TPolypadForm>(HostWindowHandle(handle), docked);
    } else {
        if (!FPane) {
            TBStr name("Polypad"), caption("Полипад");
            FPane = HostObject<IHostPane>("IHostMainWindow.CreatePane", [&](IHostPane** pane) {
                return mainWindow->CreatePane(name.get(), caption.get(), pane);
            });
        } else {
            ThrowIfFailed(FPane->SetVisible(VARIANT_TRUE));
        }
        try {
            ThrowIfFailed(FPane->get_Handle(&handle));
            form = std::make_unique<TPolypadForm>(HostWindowHandle(handle), docked);
        } catch (...) {
            // No window for the pane: it goes out of sight again; the first failure is the one
            // reported.
            try {
                ThrowIfFailed(FPane->SetVisible(VARIANT_FALSE));
            } catch (...) {
            }
            throw;
        }
    }
    if (docked)
        try {
            ThrowIfFailed(FPane->Update());
        } catch (...) {
            // The pane's own layout is the Host's business; a failure there loses nothing.
        }
    // Set before Initialize: a window that fails to initialise is destroyed and reported like
    // any other, so the check mark and the pane stay right.
    form->OnDestroy = [this] { FormDestroyed(); };
    FForm = form.get();
    try {
        form->Initialize(FHost.get(), FTable.get(), keepEditing, docked, FNotifyWindow.get());
    } catch (...) {
        FDestroyingForm = true;
        form.reset();
        FDestroyingForm = false;
        // The initialisation's failure is the one reported; a failure of the clean-up must not
        // surface later, at the next successful close.
        FDestroyError = nullptr;
        throw;
    }
    form.release();
    ThrowIfFailed(FAction->SetChecked(VARIANT_TRUE));
}

void TPolypadComModule::DestroyForm()
{
    // The overlay is taken off the map first, where a failure can still be reported.
    try {
        FForm->EraseOverlay();
    } catch (...) {
        FDestroyError = std::current_exception();
    }
    if (OpenMessageBoxCount() > 0) {
        DestroyFormAfterBoxes();
    } else {
        FDestroyingForm = true;
        delete FForm;
        FDestroyingForm = false;
    }
    if (FDestroyError)
        std::rethrow_exception(std::exchange(FDestroyError, nullptr));
}

void TPolypadComModule::DestroyFormAfterBoxes()
{
    // A message box is open, and below it on the stack the code that showed it, perhaps the
    // window's own: the window is hidden and let go of now, as the Host asked, and deleted once
    // the boxes have returned. The boxes are ended so that this happens at once.
    std::unique_ptr<TPolypadForm> form(std::exchange(FForm, nullptr));
    form->OnDestroy = nullptr;
    form->RequestDestroyAfterBoxes();
    if (FDyingForms.empty())
        AddRef(); // the object outlives the windows it still has to delete
    FDyingForms.push_back(std::move(form));
    ScheduleDyingFormsCleanup();
    EndOpenMessageBoxes();
    FDestroyingForm = true;
    FormDestroyed();
    FDestroyingForm = false;
}

void TPolypadComModule::ScheduleDyingFormsCleanup()
{
    if (FNotifyWindow && !FDyingForms.empty())
        CheckWin32(::SetTimer(FNotifyWindow.get(), kDyingFormsTimer, 20, nullptr) != 0, "SetTimer");
}

void TPolypadComModule::DeleteDyingForms()
{
    if (OpenMessageBoxCount() > 0 || FDyingForms.empty())
        return;
    ::KillTimer(FNotifyWindow.get(), kDyingFormsTimer);
    FDyingForms.clear();
    FDyingTable.reset();
    if (!FHost)
        FNotifyWindow.reset(); // Done kept it for this
    Release();
}

void TPolypadComModule::FormDestroyed()
{
    // Runs inside the window's destructor: a failing Host call is kept for the caller who
    // destroyed the window, or shown when the window closed itself.
    FForm = nullptr;
    try {
        if (FAction)
            ThrowIfFailed(FAction->SetChecked(VARIANT_FALSE));
        if (FPane)
            ThrowIfFailed(FPane->SetVisible(VARIANT_FALSE));
    } catch (const std::exception& e) {
        if (FDestroyingForm)
            FDestroyError = std::current_exception();
        else
            ShowException(PolypadServer::ApplicationWindow(), e);
    }
}

LRESULT CALLBACK TPolypadComModule::NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const TExtendedPrecision precision;
    try {
        switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            PolypadServer::WindowCreated();
            break;
        }
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            PolypadServer::WindowDestroyed();
            break;
        case kSwitchFormTypeMessage:
        case WM_TIMER:
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
            if (auto* self = reinterpret_cast<TPolypadComModule*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
                return self->WndProc(message, wParam, lParam);
            return 0;
        }
    } catch (const std::exception& e) {
        ShowException(PolypadServer::ApplicationWindow(), e);
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
