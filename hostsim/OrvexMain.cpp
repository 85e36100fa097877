// Orvex.exe, the Host stand-in as an application:
//
//   Orvex.exe [PROJECT.orvex]          open the project (none: start empty, File > Open)
//   Orvex.exe --script FILE            run a script (ScriptParser.h); exit code 0 or 1
//   Orvex.exe --register               register the Host type library and exit
//   Orvex.exe --no-module ...          do not create the Polypad module
//
// At start the type library (resource 110) is registered, the project opened, the module
// created through COM ({99C76889-...}, IPolypadComModule) and given Init(application,
// "Полипад"); its command calls ShowHideForm, selection changes Synchronize, view changes
// RepaintDragging. At exit Done, then every reference is released. A failing module call shows
// its HRESULT and message in the status bar and the Host keeps running.
#include "hostsim/HostSimApi.h"
#include "hostsim/HostCalls.h"
#include "hostsim/HostPtr.h"
#include "hostsim/ScriptRunner.h"

#include "controls/WinHandles.h"

#include <shellapi.h>

#include <cstdio>
#include <memory>

using namespace hostsim;

namespace {

// {99C76889-2A5A-4382-AD23-1565282E15F2}
const CLSID kPolypadClass = {0x99c76889, 0x2a5a, 0x4382, {0xad, 0x23, 0x15, 0x65, 0x28, 0x2e, 0x15, 0xf2}};
// {4DC4D279-C6D9-4DA1-BC33-68DFE62C74B5}
const IID kPolypadInterface = {0x4dc4d279, 0xc6d9, 0x4da1, {0xbc, 0x33, 0x68, 0xdf, 0xe6, 0x2c, 0x74, 0xb5}};
const wchar_t kModuleCommand[] = L"Полипад";

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

HRESULT RegisterTypeLibrary()
{
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring resource = std::wstring(exe) + L"\\110";
    THostPtr<ITypeLib> library;
    const HRESULT hr = ::LoadTypeLibEx(resource.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr))
        return hr;
    // Registered with the resource index: REGKIND_REGISTER under Wine records the bare file.
    const std::wstring folder = ExeFolder();
    return ::RegisterTypeLib(library.get(), const_cast<LPOLESTR>(resource.c_str()), const_cast<LPOLESTR>(folder.c_str()));
}

// The module through COM; when its class is not registered, Polypad.dll beside Orvex.exe.
HRESULT CreateModule(IDispatch** module)
{
    *module = nullptr;
    HRESULT hr = ::CoCreateInstance(kPolypadClass, nullptr, CLSCTX_INPROC_SERVER, kPolypadInterface,
                                    reinterpret_cast<void**>(module));
    if (SUCCEEDED(hr))
        return hr;
    const HMODULE dll = ::LoadLibraryW((ExeFolder() + L"\\Polypad.dll").c_str());
    if (!dll)
        return hr;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto entry = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    THostPtr<IClassFactory> factory;
    if (!entry || FAILED(entry(kPolypadClass, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
        return hr;
    return factory->CreateInstance(nullptr, kPolypadInterface, reinterpret_cast<void**>(module));
}

std::string ReadFileText(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        throw EHostError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
                         "cannot read " + Narrow(path));
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

int Run(int argc, wchar_t** argv)
{
    std::wstring project, script;
    bool withModule = true;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--register")
            return SUCCEEDED(RegisterTypeLibrary()) ? 0 : 1;
        if (arg == L"--no-module")
            withModule = false;
        else if (arg == L"--script" && i + 1 < argc)
            script = argv[++i];
        else if (arg.rfind(L"--", 0) == 0) {
            WriteOutput("Orvex: unknown option " + Narrow(arg) + "\n");
            return 2;
        } else
            project = arg;
    }

    std::vector<TScriptStep> steps;
    std::wstring scriptFolder = L".";
    if (!script.empty()) {
        try {
            steps = ParseScript(ReadFileText(script));
        } catch (const std::exception& e) {
            WriteOutput(std::string("Orvex: ") + e.what() + "\n");
            return 1;
        }
        const std::size_t slash = script.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            scriptFolder = script.substr(0, slash);
    }

    const HRESULT registered = RegisterTypeLibrary();
    THostPtr<IHostApplication> application;
    HRESULT hr = CreateApplication(project.c_str(), true, application.put());
    if (FAILED(hr)) {
        // A project that does not load: start empty and say why.
        const std::wstring why = HResultText(hr) + L" " + TakeErrorDescription();
        WriteOutput("Orvex: " + Narrow(why) + "\n");
        if (!script.empty() || FAILED(CreateApplication(nullptr, true, application.put())))
            return 1;
        ShowStatus(application.get(), (L"Проект не открыт: " + why).c_str());
    }
    if (FAILED(registered))
        ShowStatus(application.get(), (L"Библиотека типов не зарегистрирована: " + HResultText(registered)).c_str());

    THostPtr<IDispatch> module;
    if (withModule) {
        hr = CreateModule(module.put());
        if (FAILED(hr)) {
            ShowStatus(application.get(), (L"Polypad: CoCreateInstance " + HResultText(hr)).c_str());
            module.reset();
        } else {
            AttachModule(application.get(), module.get(), kModuleCommand);
            VARIANT host, name;
            ::VariantInit(&host);
            ::VariantInit(&name);
            host.vt = VT_DISPATCH;
            host.pdispVal = application.get();
            name.vt = VT_BSTR;
            name.bstrVal = ::SysAllocString(kModuleCommand);
            InvokeModule(application.get(), L"Init", {host, name});
            ::VariantClear(&name);
        }
    }

    std::unique_ptr<TScriptRunner> runner;
    if (!steps.empty()) {
        runner = std::make_unique<TScriptRunner>(application.get(), std::move(steps), scriptFolder);
        runner->Start();
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        DispatchMeasured(message);
    }
    const int code = runner ? runner->ExitCode() : 0;
    runner.reset();

    if (module) {
        InvokeModule(application.get(), L"Done", {});
        DetachModule(application.get());
        module.reset();
    }
    application.reset();
    PumpMessages();
    return code;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int code = 1;
    try {
        if (FAILED(::OleInitialize(nullptr)))
            return 1;
        int argc = 0;
        wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
        code = Run(argc, argv);
        ::LocalFree(argv);
        ::OleUninitialize();
    } catch (const std::exception& e) {
        WriteOutput(std::string("Orvex: ") + e.what() + "\n");
    } catch (...) {
    }
    return code;
}
