// Shared by the module tests: the built Polypad.dll loaded once per process, its entry points,
// a fresh TPolypadComModule straight from its class factory, and COM for the test thread.
#pragma once

#include "Polypad/ComUtils.h"

#include "HostTypes.h"
#include "Polypad_TLB.h"

#include <string>

namespace moduletest {

using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT(WINAPI*)();
using DllRegisterFn = HRESULT(WINAPI*)();
using DllInstallFn = HRESULT(WINAPI*)(BOOL, LPCWSTR);

// GetProcAddress typed as the export's own signature.
template <class F>
F ExportOf(HMODULE module, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

struct TModuleDll {
    HMODULE Handle = nullptr;
    DllGetClassObjectFn GetClassObject = nullptr;
    DllCanUnloadNowFn CanUnloadNow = nullptr;
    DllRegisterFn RegisterServer = nullptr;
    DllRegisterFn UnregisterServer = nullptr;
    DllInstallFn Install = nullptr;
};

// Loaded on first use and kept loaded (LoadLibrary of POLYPAD_DLL_PATH).
const TModuleDll& ModuleDll();
std::wstring ModuleDllPath();

TComPtr<IPolypadComModule> CreateModule();

// Top-level windows of class TPolypadNotifyWindow in this process.
int CountNotifyWindows();
HWND FindNotifyWindow();

// The description of the thread's error information (consumed), or "<none>".
std::wstring TakeErrorDescription();

} // namespace moduletest
