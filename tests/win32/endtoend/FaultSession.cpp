#include "FaultSession.h"

#include "Polypad/ComModule.h"
#include "Polypad/PolypadForms.h"
#include "controls/WinHandles.h"

#include "hostsim/HostSimApi.h"
#include "hostsim/MessageBoxes.h"

#include <cstdio>
#include <functional>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace endtoend {
namespace {

// The box catcher of the thread (one at a time; sessions run on the test thread).
TMessageBoxCatcher* GCatcher = nullptr;

bool IsDialogBox(HWND window)
{
    wchar_t name[16] = {};
    return ::GetClassNameW(window, name, 16) && std::wstring(name) == L"#32770";
}


std::wstring GeometryOf(IHostApplication* host, long id)
{
    std::wstring text;
    return hostsim::ObjectGeometryText(host, id, text) == S_OK ? text : L"<none>";
}

TMapState ReadMap(IHostApplication* host)
{
    return {GeometryOf(host, kUpdatedObject), GeometryOf(host, kExtendedObject), GeometryOf(host, kCreatedObject)};
}

// A transaction of its own makes the stand-in roll back whatever the module left open, so that
// the map read afterwards is a committed state.
void RollBackOpenTransaction(IHostApplication* host)
{
    TComPtr<IHostProject> project;
    TComPtr<IHostObjectStore> store;
    if (FAILED(host->get_Project(project.put())) || !project || FAILED(project->get_Objects(store.put())) || !store)
        return;
    TBStr name(std::string("Проверка"));
    if (SUCCEEDED(store->BeginTransaction(name.get())))
        store->CommitTransaction();
}

TComPtr<IHostApplication> OpenApplication(const std::wstring& project)
{
    ::DeleteFileW((project + L".settings").c_str());
    TComPtr<IHostApplication> host;
    hostsim::CreateApplication(project.c_str(), true, host.put());
    return host;
}

// Every painted cell asks the Host for the rights, so the sweep's window shows X and Y only.
void ShowCoordinateColumnsOnly(IHostApplication* host)
{
    TComPtr<IHostSettings> settings;
    if (FAILED(host->get_Settings(settings.put())) || !settings)
        return;
    for (int column = 0; column < 11; ++column)
        if (column != ckX && column != ckY)
            settings->WriteString(1, 0, TBStr("Kestrom.PolypadShowing" + std::to_string(column)).get(),
                                  TBStr(std::string("0")).get());
}

// The steps of one session and what they leave behind.
class TSession {
public:
    TSession(IHostApplication* host, TSessionResult& result) : FHost(host), FResult(result) {}

    void Run()
    {
        auto* raw = new TPolypadComModule;
        FModule = TComPtr<TPolypadComModule>(raw);
        const bool initialised = Call("Init", [&] {
            TBStr name(std::string("Полипад"));
            return FModule->Init(FHost, name.get());
        });
        // After a failed Init only Done and the release follow (a command is an error then).
        if (initialised)
            Work();
        Call("Done", [&] { return FModule->Done(); });
        FResult.CallsBeforeRelease = hostsim::CallCount() - FStart;
        FModule.reset();
        hostsim::PumpMessages();
    }

private:
    void Work()
    {
        Call("AttachModule", [&] { return hostsim::AttachModule(FHost, FModule.get(), L"Полипад"); });
        Call("select", [&] { return hostsim::SelectMapObject(FHost, kUpdatedObject, -1); });
        Pump("Synchronize");
        Call("ShowHideForm", [&] { return FModule->ShowHideForm(); });
        ShrinkForm();
        Pump("show");
        OnForm("editing on", [](TPolypadForm& f) { f.EditingModeAction->Execute(); });
        OnForm("edit X", [](TPolypadForm& f) {
            const int column = f.FindGridColumn(TableColumnCaption(ckX));
            if (column >= 0)
                f.SimpleGridSetDataValue(column, 0, TGridValue::Float(452301.5));
        });
        Pump("edited");
        OnForm("update", [](TPolypadForm& f) { f.UpdateMapObjectAction->Execute(); });
        OnForm("create", [](TPolypadForm& f) { ChooseFirstItem(f.CreateMapObjectPopupMenu); });
        Pump("created");
        Call("select", [&] { return hostsim::SelectMapObject(FHost, kExtendedObject, -1); });
        Pump("Synchronize");
        OnForm("add", [](TPolypadForm& f) { ChooseFirstItem(f.AddToMapObjectPopupMenu); });
        OnForm("copy", [](TPolypadForm& f) { f.CopyToClipboardAction->Execute(); });
        OnForm("paste", [](TPolypadForm& f) { f.PasteFromClipboardAction->Execute(); });
        Pump("pasted");
        OnForm("layout switch", [](TPolypadForm& f) { f.SwitchFormTypeAction->Execute(); });
        Pump("switched");
        ShrinkForm();
        Pump("switched");
        OnForm("close", [](TPolypadForm& f) { ::PostMessageW(f.Handle(), WM_CLOSE, 0, 0); });
        Pump("closed");
        hostsim::DetachModule(FHost);
    }

    // Runs the menu's rebuild as its opening does and then its first item, as a pick does.
    static void ChooseFirstItem(TPopupMenu& menu)
    {
        if (menu.OnPopup)
            menu.OnPopup(menu);
        const TUniqueMenu built = menu.Build();
        if (::GetMenuItemCount(built.get()) <= 0)
            return;
        if (TAction* item = menu.Find(static_cast<int>(::GetMenuItemID(built.get(), 0))))
            item->Execute();
    }

    // A small window paints few cells, and every painted cell asks the Host for the rights.
    void ShrinkForm()
    {
        if (TPolypadForm* form = FModule->Form())
            ::SetWindowPos(form->Handle(), nullptr, 0, 0, 200, 110, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    template <class F>
    bool Call(const char* step, F&& call)
    {
        const HRESULT hr = call();
        if (FAILED(hr))
            FResult.Messages.push_back(Widen(step) + L": " + TakeErrorText());
        CheckHints(step);
        return SUCCEEDED(hr);
    }

    void OnForm(const char* step, const std::function<void(TPolypadForm&)>& action)
    {
        TPolypadForm* form = FModule->Form();
        if (!form)
            return;
        // As the window's own message handling does: an exception becomes an error box.
        try {
            action(*form);
        } catch (const std::exception& e) {
            FResult.Messages.push_back(Widen(step) + L": " + Widen(e.what()));
        }
        CheckHints(step);
    }

    void Pump(const char* step)
    {
        hostsim::PumpMessages();
        const std::wstring status = hostsim::StatusText(FHost);
        if (!status.empty())
            FResult.Messages.push_back(L"status: " + status);
        CheckHints(step);
    }

    void CheckHints(const char* step)
    {
        FResult.StepCalls += std::string(step) + ":" + std::to_string(hostsim::CallCount() - FStart) + " ";
        TPolypadForm* form = FModule ? FModule->Form() : nullptr;
        if (!form)
            return;
        if (form->FHintManager && form->FHintManager->AnyLocked())
            FResult.LockedHints.push_back(Widen(step));
    }

    IHostApplication* FHost;
    TSessionResult& FResult;
    const long FStart = hostsim::CallCount();
    TComPtr<TPolypadComModule> FModule;
};

} // namespace

std::wstring TakeErrorText()
{
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) != S_OK || !raw)
        return L"<no error information>";
    TComPtr<IErrorInfo> info = TComPtr<IErrorInfo>::attach(raw);
    TBStr description;
    info->GetDescription(description.put());
    return description.Wide();
}

void StartModuleServer() { DllMain(::GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr); }

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& part)
{
    for (const std::wstring& t : texts)
        if (t.find(part) != std::wstring::npos)
            return true;
    return false;
}

TMapState InitialMapState(const std::wstring& project)
{
    const TComPtr<IHostApplication> host = OpenApplication(project);
    return host ? ReadMap(host.get()) : TMapState{};
}

TSessionResult RunSession(const std::wstring& project, long failAt, const std::wstring& message)
{
    TSessionResult result;
    hostsim::ClearFaults();
    TComPtr<IHostApplication> host = OpenApplication(project);
    if (!host) {
        result.Messages.push_back(L"CreateApplication failed");
        return result;
    }
    ShowCoordinateColumnsOnly(host.get());
    const long liveWithHost = hostsim::LiveObjects();
    {
        TMessageBoxCatcher boxes;
        const long callsBefore = hostsim::CallCount();
        if (failAt > 0)
            hostsim::FailNthCall(failAt, E_FAIL, message.c_str());
        TSession(host.get(), result).Run();
        result.HostCalls = hostsim::CallCount() - callsBefore;
        hostsim::ClearFaults();
        result.Messages.insert(result.Messages.end(), boxes.Texts.begin(), boxes.Texts.end());
    }
    result.LiveObjectsLeft = hostsim::LiveObjects() - liveWithHost;
    RollBackOpenTransaction(host.get());
    result.Map = ReadMap(host.get());
    host.reset();
    hostsim::PumpMessages();
    return result;
}

// ---- message boxes ------------------------------------------------------------------------------

TMessageBoxCatcher::TMessageBoxCatcher()
{
    GCatcher = this;
    FHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, HookProc, nullptr, ::GetCurrentThreadId());
}

TMessageBoxCatcher::~TMessageBoxCatcher()
{
    if (FHook)
        ::UnhookWindowsHookEx(FHook);
    GCatcher = nullptr;
}

LRESULT CALLBACK TMessageBoxCatcher::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    // Ended from its WM_INITDIALOG the box never shows, which under Xvfb without a window
    // manager saves Wine's two-second wait for the hidden window.
    if (code == HC_ACTION && GCatcher && message->message == WM_INITDIALOG && IsDialogBox(message->hwnd)) {
        GCatcher->Texts.push_back(hostsim::MessageBoxText(message->hwnd));
        ::EndDialog(message->hwnd, ::GetDlgItem(message->hwnd, IDNO) ? IDNO : IDOK);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- watchdog -----------------------------------------------------------------------------------

TWatchdog::TWatchdog(DWORD milliseconds, std::string what) : FLimit(milliseconds), FWhat(std::move(what))
{
    FDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FThread = ::CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

TWatchdog::~TWatchdog()
{
    ::SetEvent(FDone);
    ::WaitForSingleObject(FThread, INFINITE);
    ::CloseHandle(FThread);
    ::CloseHandle(FDone);
}

DWORD WINAPI TWatchdog::Run(void* self)
{
    auto* watchdog = static_cast<TWatchdog*>(self);
    if (::WaitForSingleObject(watchdog->FDone, watchdog->FLimit) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "hang: %s did not end within %lu ms\n", watchdog->FWhat.c_str(),
                     static_cast<unsigned long>(watchdog->FLimit));
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    return 0;
}

} // namespace endtoend
