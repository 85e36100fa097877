#include "Polypad/ComServer.h"

#include "Polypad/ComModule.h"
#include "Polypad/ComUtils.h"
#include "controls/FormUtils.h"
#include "controls/WinHandles.h"

#include "Polypad_TLB.h"

#include <atomic>
#include <vector>

namespace PolypadServer {
namespace {

HINSTANCE GInstance = nullptr;
std::atomic<long> GObjects{0};
std::atomic<long> GLocks{0};
std::atomic<long> GWindows{0};
HWND GApplicationWindow = nullptr;
// Released by hand at unload: a static smart pointer would release it after oleaut32 is gone.
ITypeLib* GTypeLib = nullptr;
ITypeInfo* GTypeInfo = nullptr;
std::vector<std::wstring> GWindowClasses;

constexpr wchar_t kClassDescription[] = L"PolypadComModule Object";

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

void CheckRegistry(LSTATUS status, const char* what)
{
    if (status != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(status));
        RaiseLastWin32Error(what);
    }
}

void SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    CheckRegistry(::RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  "RegSetKeyValue");
}

void DeleteTree(const std::wstring& key)
{
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_FILE_NOT_FOUND)
        CheckRegistry(status, "RegDeleteTree");
}

struct RegKeyTraits {
    using Handle = HKEY;
    static void Close(HKEY key) { ::RegCloseKey(key); }
};
using TUniqueRegKey = TUniqueHandle<RegKeyTraits>;

// Points HKEY_CLASSES_ROOT at HKEY_CURRENT_USER\Software\Classes for this process while alive,
// so that one registration routine serves both the machine and the user.
class TPerUserClassesRoot {
public:
    explicit TPerUserClassesRoot(bool active)
    {
        if (!active)
            return;
        HKEY key = nullptr;
        CheckRegistry(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                                        nullptr, &key, nullptr),
                      "RegCreateKeyEx");
        FKey.reset(key);
        CheckRegistry(::RegOverridePredefKey(HKEY_CLASSES_ROOT, FKey.get()), "RegOverridePredefKey");
    }
    TPerUserClassesRoot(const TPerUserClassesRoot&) = delete;
    TPerUserClassesRoot& operator=(const TPerUserClassesRoot&) = delete;
    ~TPerUserClassesRoot()
    {
        if (FKey)
            ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }

private:
    TUniqueRegKey FKey;
};

TComPtr<ITypeLib> LoadModuleTypeLib()
{
    TComPtr<ITypeLib> typeLib;
    ThrowIfFailed(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, typeLib.put()));
    return typeLib;
}

void RemoveEntries()
{
    DeleteTree(L"CLSID\\" + GuidText(CLSID_PolypadComModule));
    DeleteTree(ProgId);
    const std::wstring libKey = L"TypeLib\\" + GuidText(LIBID_Polypad);
    HKEY key = nullptr;
    // Not registered (any more): unregistering is done, not an error.
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (libKey + L"\\1.0").c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ::RegCloseKey(key);
        ThrowIfFailed(::UnRegisterTypeLib(LIBID_Polypad, 1, 0, 0x0409, TypeLibSysKind));
    }
    // Nothing else of the library left: drop the library key too.
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        TUniqueRegKey owned(key);
        DWORD subKeys = 0, values = 0;
        if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subKeys == 0 && values == 0) {
            owned.reset();
            ::RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());
        }
    }
}

} // namespace

HINSTANCE Instance() { return GInstance; }

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(GInstance, path.data(), static_cast<DWORD>(path.size()));
        CheckWin32(length != 0, "GetModuleFileName");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ObjectCreated() { ++GObjects; }
void ObjectDestroyed() { --GObjects; }
void LockModule(bool lock) { lock ? ++GLocks : --GLocks; }
void WindowCreated() { ++GWindows; }
void WindowDestroyed() { --GWindows; }
bool CanUnload() { return GObjects == 0 && GLocks == 0 && GWindows == 0; }

HWND ApplicationWindow() { return GApplicationWindow; }
void SetApplicationWindow(HWND window) { GApplicationWindow = window; }

ITypeInfo* TypeInfo(const IID& iid)
{
    Assert(iid == IID_IPolypadComModule, "TypeInfo: unknown interface");
    if (!GTypeInfo) {
        TComPtr<ITypeLib> typeLib = LoadModuleTypeLib();
        TComPtr<ITypeInfo> typeInfo;
        ThrowIfFailed(typeLib->GetTypeInfoOfGuid(iid, typeInfo.put()));
        GTypeLib = typeLib.detach();
        GTypeInfo = typeInfo.detach();
    }
    return GTypeInfo;
}

void EnsureWindowClass(WNDCLASSEXW wc)
{
    wc.cbSize = sizeof(wc);
    wc.hInstance = GInstance;
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(GInstance, wc.lpszClassName, &existing))
        return;
    GWindowClasses.emplace_back(wc.lpszClassName);
    if (!::RegisterClassExW(&wc)) {
        GWindowClasses.pop_back();
        RaiseLastWin32Error("RegisterClassEx");
    }
}

void RegisterServer(bool perUser)
{
    TPerUserClassesRoot root(perUser);
    try {
        const std::wstring path = ModulePath();
        const std::wstring clsidKey = L"CLSID\\" + GuidText(CLSID_PolypadComModule);
        SetString(clsidKey, nullptr, kClassDescription);
        SetString(clsidKey + L"\\InprocServer32", nullptr, path);
        SetString(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        SetString(clsidKey + L"\\ProgID", nullptr, ProgId);
        SetString(clsidKey + L"\\TypeLib", nullptr, GuidText(LIBID_Polypad));
        SetString(clsidKey + L"\\Version", nullptr, L"1.0");
        SetString(ProgId, nullptr, kClassDescription);
        SetString(std::wstring(ProgId) + L"\\CLSID", nullptr, GuidText(CLSID_PolypadComModule));

        std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
        TComPtr<ITypeLib> typeLib = LoadModuleTypeLib();
        ThrowIfFailed(::RegisterTypeLib(typeLib.get(), const_cast<LPOLESTR>(path.c_str()),
                                        const_cast<LPOLESTR>(folder.c_str())));
    } catch (...) {
        // A half-written registration would name a class that cannot load: take it back.
        try {
            RemoveEntries();
        } catch (...) {
        }
        throw;
    }
}

void UnregisterServer(bool perUser)
{
    TPerUserClassesRoot root(perUser);
    RemoveEntries();
}

} // namespace PolypadServer

using namespace PolypadServer;

namespace {

// One static factory; its references lock the module like LockServer does.
class TPolypadClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        LockModule(true);
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        LockModule(false);
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        TPolypadComModule* instance = new (std::nothrow) TPolypadComModule();
        if (!instance)
            return E_OUTOFMEMORY;
        instance->AddRef();
        const HRESULT hr = instance->QueryInterface(riid, object);
        instance->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        LockModule(lock != FALSE);
        return S_OK;
    }
};

TPolypadClassFactory GFactory;

HRESULT RunRegistration(bool install, bool perUser) noexcept
{
    return ComBoundary(IID_NULL, L"Polypad", [&] {
        if (install)
            RegisterServer(perUser);
        else
            UnregisterServer(perUser);
    });
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        GInstance = instance;
        ::DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != 0) other DLLs may be gone already: leave everything.
        if (!reserved) {
            for (const std::wstring& name : GWindowClasses)
                ::UnregisterClassW(name.c_str(), GInstance);
            GWindowClasses.clear();
            UnregisterWindowClasses();
            if (GTypeInfo)
                GTypeInfo->Release();
            if (GTypeLib)
                GTypeLib->Release();
            GTypeInfo = nullptr;
            GTypeLib = nullptr;
        }
        break;
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_PolypadComModule)
        return CLASS_E_CLASSNOTAVAILABLE;
    return GFactory.QueryInterface(riid, object);
}

HRESULT WINAPI DllCanUnloadNow() { return CanUnload() ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() { return RunRegistration(true, false); }

HRESULT WINAPI DllUnregisterServer() { return RunRegistration(false, false); }

// regsvr32 /n /i:user registers for the current user only; any other command line, the machine.
HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    const bool perUser = commandLine && ::lstrcmpiW(commandLine, L"user") == 0;
    return RunRegistration(install != FALSE, perUser);
}

} // extern "C"
