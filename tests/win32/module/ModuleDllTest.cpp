// The DLL as a COM server: exports, class factory, unload counting, the type library, machine
// and per-user registration, late binding by ProgID, and the automation object against a small
// fake Host (set-up, tear-down, error propagation, references).
#include "FakeHost.h"
#include "ModuleTestSupport.h"
#include "CoreLib/FloatPrecision.h"
#include "controls/WinHandles.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace moduletest;

namespace {

#ifdef _WIN64
constexpr SYSKIND kBuildSysKind = SYS_WIN64;
constexpr const wchar_t* kTypeLibPlatformKey = L"win64";
#else
constexpr SYSKIND kBuildSysKind = SYS_WIN32;
constexpr const wchar_t* kTypeLibPlatformKey = L"win32";
#endif

class TFakeHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakehost::Reset();
        FLiveBefore = fakehost::State().LiveObjects;
        FHost = TComPtr<IHostApplication>::attach(fakehost::CreateApplication());
    }
    void TearDown() override
    {
        FHost.reset();
        EXPECT_EQ(fakehost::State().LiveObjects, FLiveBefore) << "the module leaked Host references";
    }
    // The Host application's reference count as the Host sees it.
    ULONG HostRefs()
    {
        FHost->AddRef();
        return FHost->Release();
    }

    long FLiveBefore = 0;
    TComPtr<IHostApplication> FHost;
};

TEST(ModuleServer, ExportsFactoryAndUnloadCounting)
{
    const TModuleDll& dll = ModuleDll();
    ASSERT_NE(dll.Handle, nullptr) << "LoadLibrary failed: " << ::GetLastError();
    ASSERT_TRUE(dll.GetClassObject && dll.CanUnloadNow && dll.RegisterServer && dll.UnregisterServer && dll.Install);

    TComPtr<IClassFactory> factory;
    EXPECT_EQ(dll.GetClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(dll.GetClassObject(CLSID_PolypadComModule, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
              S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "a factory reference keeps the module";

    TComPtr<IUnknown> aggregated;
    TComPtr<IUnknown> outer = TComPtr<IUnknown>::attach(fakehost::CreateApplication());
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, reinterpret_cast<void**>(aggregated.put())),
              CLASS_E_NOAGGREGATION);
    outer.reset();

    // Multiple instances: every CreateInstance makes a new object.
    TComPtr<IPolypadComModule> first, second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPolypadComModule, reinterpret_cast<void**>(first.put())), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPolypadComModule, reinterpret_cast<void**>(second.put())), S_OK);
    EXPECT_NE(first.get(), second.get());
    factory.reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "live objects keep the module";

    TComPtr<ISupportErrorInfo> support = first.query<ISupportErrorInfo>();
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPolypadComModule), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_TRUE(first.try_query<IDispatch>());
    EXPECT_FALSE(first.try_query<IClassFactory>());
    support.reset();
    first.reset();
    second.reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);

    ASSERT_EQ(dll.GetClassObject(CLSID_PolypadComModule, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
              S_OK);
    factory->LockServer(TRUE);
    factory.reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "LockServer keeps the module";
    ASSERT_EQ(dll.GetClassObject(CLSID_PolypadComModule, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
              S_OK);
    factory->LockServer(FALSE);
    factory.reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// A private copy of the DLL, so that this test can unload it while the shared one stays loaded.
TEST(ModuleServer, WindowClassIsRegisteredAgainstTheModuleAndUnregisteredAtUnload)
{
    wchar_t folder[MAX_PATH], copy[MAX_PATH];
    ASSERT_TRUE(::GetTempPathW(MAX_PATH, folder));
    ASSERT_TRUE(::GetTempFileNameW(folder, L"ppd", 0, copy));
    ASSERT_TRUE(::CopyFileW(ModuleDllPath().c_str(), copy, FALSE));
    HMODULE dll = ::LoadLibraryW(copy);
    ASSERT_NE(dll, nullptr);
    auto getClassObject = ExportOf<DllGetClassObjectFn>(dll, "DllGetClassObject");
    auto canUnloadNow = ExportOf<DllCanUnloadNowFn>(dll, "DllCanUnloadNow");
    {
        TComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_PolypadComModule, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
                  S_OK);
        TComPtr<IPolypadComModule> module;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPolypadComModule, reinterpret_cast<void**>(module.put())), S_OK);
        factory.reset();
        TComPtr<IHostApplication> host = TComPtr<IHostApplication>::attach(fakehost::CreateApplication());
        TBStr action(std::wstring(L"ShowPolypad"));
        ASSERT_EQ(module->Init(host.get(), action.get()), S_OK);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        EXPECT_TRUE(::GetClassInfoExW(dll, L"TPolypadNotifyWindow", &wc)) << "registered against the module";
        EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"TPolypadNotifyWindow", &wc));
    }
    EXPECT_EQ(canUnloadNow(), S_OK);
    ASSERT_TRUE(::FreeLibrary(dll));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    EXPECT_FALSE(::GetClassInfoExW(dll, L"TPolypadNotifyWindow", &wc)) << "still registered after unload";
    ::DeleteFileW(copy);
}

TEST(ModuleTypeLibrary, IdsVersionsHelpStringsDispidsAndSlots)
{
    TComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLibEx(ModuleDllPath().c_str(), REGKIND_NONE, lib.put()), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(libAttr->guid == LIBID_Polypad);
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    EXPECT_EQ(libAttr->lcid, 0x0409u);
    EXPECT_EQ(libAttr->syskind, kBuildSysKind) << "the library is generated for this build's bitness";
    lib->ReleaseTLibAttr(libAttr);
    // The Host stand-in's library too: its interfaces' slots are the module's calls.
    TComPtr<ITypeLib> hostLib;
    ASSERT_EQ(::LoadTypeLibEx(POLYPAD_HOST_TLB_PATH, REGKIND_NONE, hostLib.put()), S_OK);
    ASSERT_EQ(hostLib->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->syskind, kBuildSysKind);
    hostLib->ReleaseTLibAttr(libAttr);
    TBStr name, help;
    ASSERT_EQ(lib->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.Wide(), L"Polypad");
    EXPECT_EQ(help.Wide(), L"Polypad Library");

    TComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_PolypadComModule, coclass.put()), S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.Wide(), L"PolypadComModule");
    EXPECT_EQ(help.Wide(), L"PolypadComModule Object");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    coclass->ReleaseTypeAttr(attr);
    INT implFlags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);

    // The vtable side of the dual interface: slots 7..11 and their DISPIDs.
    TComPtr<ITypeInfo> dispatch, vtable;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IPolypadComModule, dispatch.put()), S_OK);
    ASSERT_EQ(dispatch->GetDocumentation(MEMBERID_NIL, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(help.Wide(), L"Dispatch interface for PolypadComModule Object");
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    dispatch->ReleaseTypeAttr(attr);
    HREFTYPE href = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &href), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(href, vtable.put()), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(attr->cbSizeVft, 12 * sizeof(void*)) << "IDispatch's seven slots and five methods";
    vtable->ReleaseTypeAttr(attr);
    struct TSlot {
        const wchar_t* Name;
        MEMBERID Id;
        SHORT Params;
    };
    const TSlot slots[] = {{L"Init", 201, 2}, {L"Done", 203, 0}, {L"ShowHideForm", 205, 0},
                           {L"Synchronize", 202, 0}, {L"RepaintDragging", 204, 1}};
    for (UINT i = 0; i < 5; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &func), S_OK);
        ASSERT_EQ(vtable->GetDocumentation(func->memid, name.put(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.Wide(), slots[i].Name);
        EXPECT_EQ(func->memid, slots[i].Id) << slots[i].Name;
        EXPECT_EQ(func->oVft / static_cast<SHORT>(sizeof(void*)), static_cast<SHORT>(7 + i)) << slots[i].Name;
        EXPECT_EQ(func->cParams, slots[i].Params) << slots[i].Name;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        vtable->ReleaseFuncDesc(func);
    }

    // The Host's library is imported under the name of the Host executable's resource 110.
    HRSRC resource = ::FindResourceW(ModuleDll().Handle, MAKEINTRESOURCEW(1), L"TYPELIB");
    ASSERT_NE(resource, nullptr);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(ModuleDll().Handle, resource)));
    const std::string bytes(data, ::SizeofResource(ModuleDll().Handle, resource));
    EXPECT_NE(bytes.find("Orvex.exe\\110"), std::string::npos);
    EXPECT_NE(bytes.find("stdole2.tlb"), std::string::npos);
}

// ---- the Host's window handles ------------------------------------------------------------------

// The Host passes its windows as 32-bit integers, truncated from the handle as HandleToLong does.
TEST(HostWindowHandles, AWindowCrossingAsA32BitIntegerComesBackAsTheSameWindow)
{
    TUniqueWindow window(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    const long crossed = HandleToLong(window.get());
    EXPECT_EQ(HostWindowHandle(crossed), window.get());
    EXPECT_TRUE(::IsWindow(HostWindowHandle(crossed)));
    EXPECT_EQ(HostWindowHandle(0), nullptr);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(HostWindowHandle(0x7FFFFFFF)), 0x7FFFFFFFu);
}

#ifdef _WIN64
TEST(HostWindowHandles, A64BitProcessSignExtendsANegativeValue)
{
    EXPECT_EQ(reinterpret_cast<INT_PTR>(HostWindowHandle(-2)), INT_PTR{-2});
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(HostWindowHandle(-0x7FFF0000L)), 0xFFFFFFFF80010000ull);
}
#else
TEST(HostWindowHandles, A32BitProcessRefusesANegativeValue)
{
    EXPECT_THROW(HostWindowHandle(-1), ERangeError);
    EXPECT_THROW(HostWindowHandle(-0x7FFF0000L), ERangeError);
}
#endif

// ---- registration -----------------------------------------------------------------------------

// Every key and string value under root\path, as "path" and "path|name=value".
void CollectKeys(HKEY root, const std::wstring& path, std::set<std::wstring>& out)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (!path.empty())
        out.insert(path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t value[1024];
        DWORD valueBytes = sizeof(value);
        DWORD type = 0;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(value), &valueBytes) !=
            ERROR_SUCCESS)
            break;
        if (type == REG_SZ)
            out.insert(path + L"|" + name + L"=" + std::wstring(value));
        else
            out.insert(path + L"|" + name);
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    ::RegCloseKey(key);
    for (const std::wstring& child : children)
        CollectKeys(root, path.empty() ? child : path + L"\\" + child, out);
}

std::wstring Guid(const GUID& guid)
{
    wchar_t text[40];
    ::StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER of this process pointed at two scratch keys, so that
// the registration writes where the test can see everything it wrote.
class TScratchRegistry {
public:
    TScratchRegistry()
    {
        FBase = L"Software\\PolypadModuleTest\\" + std::to_wstring(::GetCurrentProcessId());
        ::RegCreateKeyExW(HKEY_CURRENT_USER, (FBase + L"\\Machine").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &FMachine, nullptr);
        ::RegCreateKeyExW(HKEY_CURRENT_USER, (FBase + L"\\User").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &FUser, nullptr);
        Apply();
    }
    ~TScratchRegistry()
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(FMachine);
        ::RegCloseKey(FUser);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, FBase.c_str());
    }
    // The per-user registration resets the classes root when it ends: point it back.
    void Apply()
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, FMachine);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, FUser);
    }
    std::set<std::wstring> Machine() const { return Keys(FMachine, L""); }
    std::set<std::wstring> User() const { return Keys(FUser, L"Software\\Classes"); }

private:
    static std::set<std::wstring> Keys(HKEY root, const std::wstring& below)
    {
        std::set<std::wstring> all, result;
        CollectKeys(root, below, all);
        // Strip the prefix; drop bare parents that exist in every registry. Registry names
        // ignore case, so the comparison does too.
        for (const std::wstring& k : all) {
            std::wstring rel = Lower(below.empty() ? k : k.substr(std::min(k.size(), below.size() + 1)));
            if (rel.empty() || rel == L"clsid" || rel == L"typelib" || rel == L"interface" || k == below)
                continue;
            result.insert(rel);
        }
        return result;
    }
    std::wstring FBase;
    HKEY FMachine = nullptr;
    HKEY FUser = nullptr;
};

bool HasPrefix(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// The keys a registration must write: the class and the ProgID exactly, and the type library
// with its interface under their own ids and nowhere else.
void ExpectRegistration(const std::set<std::wstring>& keys, const std::wstring& path)
{
    const std::wstring clsid = L"CLSID\\" + Guid(CLSID_PolypadComModule);
    const std::wstring libid = Guid(LIBID_Polypad);
    const std::set<std::wstring> expectedClassKeys = {
        clsid,
        clsid + L"|=PolypadComModule Object",
        clsid + L"\\InprocServer32",
        clsid + L"\\InprocServer32|=" + path,
        clsid + L"\\InprocServer32|ThreadingModel=Apartment",
        clsid + L"\\ProgID",
        clsid + L"\\ProgID|=Polypad.PolypadComModule",
        clsid + L"\\TypeLib",
        clsid + L"\\TypeLib|=" + libid,
        clsid + L"\\Version",
        clsid + L"\\Version|=1.0",
        L"Polypad.PolypadComModule",
        L"Polypad.PolypadComModule|=PolypadComModule Object",
        L"Polypad.PolypadComModule\\CLSID",
        L"Polypad.PolypadComModule\\CLSID|=" + Guid(CLSID_PolypadComModule),
    };
    std::set<std::wstring> classKeys;
    for (const std::wstring& k : expectedClassKeys)
        classKeys.insert(Lower(k));
    std::set<std::wstring> rest;
    for (const std::wstring& k : keys)
        if (!classKeys.count(k))
            rest.insert(k);
    for (const std::wstring& k : classKeys)
        EXPECT_TRUE(keys.count(k)) << "missing " << Narrow(k);
    EXPECT_FALSE(keys.empty());
    const std::wstring lib = Lower(L"TypeLib\\" + libid);
    const std::wstring iface = Lower(L"Interface\\" + Guid(IID_IPolypadComModule));
    EXPECT_TRUE(rest.count(Lower(lib + L"\\1.0\\409\\" + kTypeLibPlatformKey + L"|=" + path)));
    EXPECT_TRUE(rest.count(Lower(lib + L"\\1.0|=Polypad Library")));
    EXPECT_TRUE(rest.count(Lower(iface + L"\\TypeLib|=" + libid)));
    for (const std::wstring& k : rest)
        EXPECT_TRUE(HasPrefix(k, lib) || HasPrefix(k, iface)) << "unexpected key " << Narrow(k);
}

std::wstring RegisteredPath()
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(ModuleDll().Handle, path, MAX_PATH);
    return path;
}

TEST(ModuleRegistration, MachineAndPerUserWriteExactlyTheirKeysAndRemoveThem)
{
    const TModuleDll& dll = ModuleDll();
    ASSERT_NE(dll.Handle, nullptr);
    TScratchRegistry registry;
    ASSERT_TRUE(registry.Machine().empty());

    ASSERT_EQ(dll.RegisterServer(), S_OK) << Narrow(TakeErrorDescription());
    ExpectRegistration(registry.Machine(), RegisteredPath());
    EXPECT_TRUE(registry.User().empty()) << "machine registration wrote per-user keys";
    ASSERT_EQ(dll.UnregisterServer(), S_OK);
    EXPECT_TRUE(registry.Machine().empty()) << Narrow(*registry.Machine().begin());
    EXPECT_EQ(dll.UnregisterServer(), S_OK) << "unregistering twice is not an error";

    ASSERT_EQ(dll.Install(TRUE, L"user"), S_OK) << Narrow(TakeErrorDescription());
    registry.Apply();
    ExpectRegistration(registry.User(), RegisteredPath());
    EXPECT_TRUE(registry.Machine().empty()) << "per-user registration wrote machine keys";
    ASSERT_EQ(dll.Install(FALSE, L"USER"), S_OK);
    registry.Apply();
    EXPECT_TRUE(registry.User().empty());

    // Without "user" DllInstall is the machine registration.
    ASSERT_EQ(dll.Install(TRUE, nullptr), S_OK);
    ExpectRegistration(registry.Machine(), RegisteredPath());
    ASSERT_EQ(dll.Install(FALSE, L""), S_OK);
    EXPECT_TRUE(registry.Machine().empty());
}

// ---- late binding ----------------------------------------------------------------------------

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, EXCEPINFO* exception,
                     DISPID* id = nullptr)
{
    DISPID dispid = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr))
        return hr;
    if (id)
        *id = dispid;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UINT argError = 0;
    return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, exception,
                          &argError);
}

class LateBound : public TFakeHostTest {
protected:
    void SetUp() override
    {
        TFakeHostTest::SetUp();
        ASSERT_NE(ModuleDll().Handle, nullptr);
        // A machine registration in the test's own Wine prefix; left in place for other runs.
        ASSERT_EQ(ModuleDll().RegisterServer(), S_OK);
        // The Host registers its type library; the module's IDispatch resolves Host types by it.
        TComPtr<ITypeLib> hostLib;
        ASSERT_EQ(::LoadTypeLibEx(POLYPAD_HOST_TLB_PATH, REGKIND_REGISTER, hostLib.put()), S_OK);
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromProgID(L"Polypad.PolypadComModule", &clsid), S_OK);
        ASSERT_TRUE(clsid == CLSID_PolypadComModule);
        ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(FModule.put())),
                  S_OK);
    }
    void TearDown() override
    {
        FModule.reset();
        TFakeHostTest::TearDown();
    }
    VARIANT HostArg()
    {
        VARIANT v;
        ::VariantInit(&v);
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = FHost.get();
        return v;
    }
    VARIANT TextArg(const wchar_t* text)
    {
        VARIANT v;
        ::VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        FName.reset(::SysAllocString(text));
        V_BSTR(&v) = FName.get();
        return v;
    }

    TComPtr<IDispatch> FModule;
    TBStr FName;
};

TEST_F(LateBound, ProgIdCreatesTheClassAndEveryMethodIsCalledByName)
{
    EXCEPINFO exception{};
    DISPID id = 0;
    ASSERT_EQ(InvokeByName(FModule.get(), L"Init", {HostArg(), TextArg(L"PolypadAction")}, &exception, &id), S_OK)
        << Narrow(exception.bstrDescription ? exception.bstrDescription : L"");
    EXPECT_EQ(id, 201);
    EXPECT_EQ(fakehost::State().LastActionName, L"PolypadAction");
    EXPECT_EQ(fakehost::State().CountCalls("IHostActionList.Item"), 1);
    EXPECT_EQ(CountNotifyWindows(), 1);

    EXPECT_EQ(InvokeByName(FModule.get(), L"synchronize", {}, &exception, &id), S_OK);
    EXPECT_EQ(id, 202);
    VARIANT noSurface;
    ::VariantInit(&noSurface);
    V_VT(&noSurface) = VT_DISPATCH;
    V_DISPATCH(&noSurface) = nullptr;
    EXPECT_EQ(InvokeByName(FModule.get(), L"RepaintDragging", {noSurface}, &exception, &id), S_OK);
    EXPECT_EQ(id, 204);
    // The fake Host has no settings store, so the window cannot be built: the failure arrives
    // as an exception with the module's message, and nothing is left behind.
    EXPECT_EQ(InvokeByName(FModule.get(), L"ShowHideForm", {}, &exception, &id), DISP_E_EXCEPTION);
    EXPECT_EQ(id, 205);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    exception = {};
    EXPECT_EQ(InvokeByName(FModule.get(), L"Done", {}, &exception, &id), S_OK);
    EXPECT_EQ(id, 203);
    EXPECT_EQ(CountNotifyWindows(), 0);
    EXPECT_EQ(InvokeByName(FModule.get(), L"NoSuchMethod", {}, &exception), DISP_E_UNKNOWNNAME);
}

TEST_F(LateBound, FailingHostCallGivesDispExceptionWithTheHostsMessage)
{
    fakehost::State().FailOperation = "IHostActionList.Item";
    fakehost::State().FailCode = E_INVALIDARG;
    fakehost::State().FailMessage = L"Команда «PolypadAction» не найдена";
    EXCEPINFO exception{};
    EXPECT_EQ(InvokeByName(FModule.get(), L"Init", {HostArg(), TextArg(L"PolypadAction")}, &exception),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    ASSERT_NE(exception.bstrDescription, nullptr);
    EXPECT_EQ(std::wstring(exception.bstrDescription), L"Команда «PolypadAction» не найдена");
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    EXCEPINFO again{};
    EXPECT_EQ(InvokeByName(FModule.get(), L"Done", {}, &again), S_OK);
}

// ---- set-up and tear-down against the fake Host --------------------------------------------

using ModuleLifecycle = TFakeHostTest;

TEST_F(ModuleLifecycle, InitKeepsTheHostLooksUpTheCommandAndDoneReleasesEverythingOnce)
{
    TComPtr<IPolypadComModule> module = CreateModule();
    ASSERT_TRUE(module);
    const ULONG refsBefore = HostRefs();
    TBStr action(std::wstring(L"ShowPolypad"));
    ASSERT_EQ(module->Init(FHost.get(), action.get()), S_OK) << Narrow(TakeErrorDescription());
    EXPECT_GT(HostRefs(), refsBefore) << "Init keeps the Host application";
    EXPECT_EQ(fakehost::State().LastActionName, L"ShowPolypad");
    EXPECT_EQ(fakehost::State().CountCalls("IHostMainWindow.Actions"), 1);
    EXPECT_EQ(CountNotifyWindows(), 1);
    EXPECT_EQ(ModuleDll().CanUnloadNow(), S_FALSE);

    EXPECT_EQ(module->Synchronize(), S_OK);
    EXPECT_EQ(module->RepaintDragging(nullptr), S_OK);
    ASSERT_EQ(module->Done(), S_OK);
    EXPECT_EQ(HostRefs(), refsBefore) << "Done releases the Host and the table's reference";
    EXPECT_EQ(CountNotifyWindows(), 0);
    ASSERT_EQ(module->Done(), S_OK);
    EXPECT_EQ(HostRefs(), refsBefore) << "a second Done releases nothing";
    module.reset();  // the destructor runs Done a third time
    EXPECT_EQ(HostRefs(), refsBefore);
    EXPECT_EQ(ModuleDll().CanUnloadNow(), S_OK);
}

// A Host built with the usual Windows runtime leaves the x87 unit at 53 bits; the geometry needs
// the 64-bit mantissa of its long double intermediates.
TEST_F(ModuleLifecycle, MethodsComputeWithThe64BitMantissaAndGiveTheCallersPrecisionBack)
{
    TComPtr<IPolypadComModule> module = CreateModule();
    ASSERT_TRUE(module);
    const std::uint16_t callers = FloatPrecision::Precision();
    FloatPrecision::SetPrecision(FloatPrecision::kDouble);
    fakehost::State().CallPrecisions.clear();
    TBStr action(std::wstring(L"ShowPolypad"));
    const HRESULT init = module->Init(FHost.get(), action.get());
    const std::uint16_t after = FloatPrecision::Precision();
    FloatPrecision::SetPrecision(callers);
    ASSERT_EQ(init, S_OK) << Narrow(TakeErrorDescription());
    EXPECT_EQ(after, FloatPrecision::kDouble) << "the caller's setting is given back";
    ASSERT_FALSE(fakehost::State().CallPrecisions.empty());
    for (const std::uint16_t precision : fakehost::State().CallPrecisions)
        EXPECT_EQ(precision, FloatPrecision::kExtended);
    EXPECT_EQ(module->Done(), S_OK);
}

// A Host that answers the command lookup with success but no object: Init fails with the reason,
// instead of every later ShowHideForm failing with "Модуль не инициализирован".
TEST_F(ModuleLifecycle, InitFailsWhenTheHostGivesNoCommandObject)
{
    TComPtr<IPolypadComModule> module = CreateModule();
    const ULONG refsBefore = HostRefs();
    fakehost::State().NoAction = true;
    TBStr action(std::wstring(L"ShowPolypad"));
    EXPECT_EQ(module->Init(FHost.get(), action.get()), E_POINTER);
    EXPECT_EQ(TakeErrorDescription(), L"Хост не вернул объект (IHostActionList.Item)");
    EXPECT_EQ(CountNotifyWindows(), 0);
    EXPECT_EQ(HostRefs(), refsBefore) << "a failed Init keeps nothing of the Host";
    EXPECT_EQ(module->ShowHideForm(), E_UNEXPECTED);
    EXPECT_EQ(module->Done(), S_OK);
}

TEST_F(ModuleLifecycle, MethodsBeforeInitAndBeforeAnyWindowSucceed)
{
    TComPtr<IPolypadComModule> module = CreateModule();
    EXPECT_EQ(module->Synchronize(), S_OK);
    EXPECT_EQ(module->RepaintDragging(nullptr), S_OK);
    EXPECT_EQ(module->Done(), S_OK);
    EXPECT_TRUE(fakehost::State().Calls.empty()) << "nothing was asked of the Host";
}

// ---- the application window ------------------------------------------------------------------

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Registered against another module's instance, so as not to meet the stand-in's own
// "TApplication" class of this executable.
HINSTANCE TestClassInstance() { return ::GetModuleHandleW(L"ole32.dll"); }

HWND CreateWindowOfClass(const wchar_t* className)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = TestClassInstance();
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST_F(ModuleLifecycle, ApplicationWindowIsTheTApplicationWindowOfThisProcessAndOwnsTheModuleWindows)
{
    TBStr action(std::wstring(L"ShowPolypad"));
    {
        TComPtr<IPolypadComModule> module = CreateModule();
        ASSERT_EQ(module->Init(FHost.get(), action.get()), S_OK);
        ASSERT_NE(FindNotifyWindow(), nullptr);
        EXPECT_EQ(::GetWindow(FindNotifyWindow(), GW_OWNER), nullptr) << "no TApplication window: no owner";
        EXPECT_FALSE(::IsWindowVisible(FindNotifyWindow()));
    }
    // Created first, so enumerated after the longer name: a prefix match would pick the wrong one.
    TUniqueWindow application(CreateWindowOfClass(L"tapplication"));
    TUniqueWindow longer(CreateWindowOfClass(L"TApplicationHost"));
    ASSERT_TRUE(application && longer);
    {
        TComPtr<IPolypadComModule> module = CreateModule();
        ASSERT_EQ(module->Init(FHost.get(), action.get()), S_OK);
        EXPECT_EQ(::GetWindow(FindNotifyWindow(), GW_OWNER), application.get());
    }
    application.reset();
    {
        TComPtr<IPolypadComModule> module = CreateModule();
        ASSERT_EQ(module->Init(FHost.get(), action.get()), S_OK);
        EXPECT_EQ(::GetWindow(FindNotifyWindow(), GW_OWNER), nullptr) << "TApplicationHost is not TApplication";
    }
    longer.reset();
    ::UnregisterClassW(L"tapplication", TestClassInstance());
    ::UnregisterClassW(L"TApplicationHost", TestClassInstance());
}

} // namespace
