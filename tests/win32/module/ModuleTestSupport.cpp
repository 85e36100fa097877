#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

namespace moduletest {
namespace {

// COM for the whole test process, on the test thread.
class TComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override { ::OleUninitialize(); }
};
[[maybe_unused]] ::testing::Environment* const GComEnvironment =
    ::testing::AddGlobalTestEnvironment(new TComEnvironment);

BOOL CALLBACK CountProc(HWND window, LPARAM lParam)
{
    wchar_t name[64] = {};
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == ::GetCurrentProcessId() && ::GetClassNameW(window, name, 64) && std::wstring(name) == L"TPolypadNotifyWindow") {
        auto* found = reinterpret_cast<std::pair<int, HWND>*>(lParam);
        ++found->first;
        found->second = window;
    }
    return TRUE;
}

} // namespace

std::wstring ModuleDllPath() { return POLYPAD_DLL_PATH; }

const TModuleDll& ModuleDll()
{
    static TModuleDll dll = [] {
        TModuleDll result;
        result.Handle = ::LoadLibraryW(POLYPAD_DLL_PATH);
        if (!result.Handle)
            return result;
        result.GetClassObject = ExportOf<DllGetClassObjectFn>(result.Handle, "DllGetClassObject");
        result.CanUnloadNow = ExportOf<DllCanUnloadNowFn>(result.Handle, "DllCanUnloadNow");
        result.RegisterServer = ExportOf<DllRegisterFn>(result.Handle, "DllRegisterServer");
        result.UnregisterServer = ExportOf<DllRegisterFn>(result.Handle, "DllUnregisterServer");
        result.Install = ExportOf<DllInstallFn>(result.Handle, "DllInstall");
        return result;
    }();
    return dll;
}

TComPtr<IPolypadComModule> CreateModule()
{
    const TModuleDll& dll = ModuleDll();
    TComPtr<IClassFactory> factory;
    TComPtr<IPolypadComModule> module;
    if (!dll.GetClassObject)
        return module;
    if (FAILED(dll.GetClassObject(CLSID_PolypadComModule, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
        return module;
    factory->CreateInstance(nullptr, IID_IPolypadComModule, reinterpret_cast<void**>(module.put()));
    return module;
}

int CountNotifyWindows()
{
    std::pair<int, HWND> found{0, nullptr};
    ::EnumWindows(CountProc, reinterpret_cast<LPARAM>(&found));
    return found.first;
}

HWND FindNotifyWindow()
{
    std::pair<int, HWND> found{0, nullptr};
    ::EnumWindows(CountProc, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

std::wstring TakeErrorDescription()
{
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) != S_OK || !raw)
        return L"<none>";
    TComPtr<IErrorInfo> info = TComPtr<IErrorInfo>::attach(raw);
    TBStr description;
    info->GetDescription(description.put());
    return description.Wide();
}

} // namespace moduletest
