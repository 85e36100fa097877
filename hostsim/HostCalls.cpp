#include "hostsim/HostCalls.h"
#include "hostsim/FaultPlan.h"
#include "hostsim/HostSimApi.h"

#include "controls/WinHandles.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>

#include "HostTypes.h"

namespace hostsim {

namespace {

std::mutex gLock;
TFaultPlan gPlan;
std::atomic<long> gLiveObjects{0};

struct TTypeLibCache {
    ITypeLib* Library = nullptr;
    std::map<GUID, ITypeInfo*, bool (*)(const GUID&, const GUID&)> Infos{
        [](const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }};
};
TTypeLibCache gTypes;

} // namespace

std::wstring HostErrorText(const char* text) noexcept
{
    try {
        return Widen(text);
    } catch (...) {
        return L"?";
    }
}

std::wstring HResultText(HRESULT hr)
{
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

std::wstring TakeErrorDescription()
{
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info)
        return {};
    BSTR description = nullptr;
    std::wstring text;
    if (SUCCEEDED(info->GetDescription(&description)) && description)
        text = description;
    ::SysFreeString(description);
    info->Release();
    return text;
}

HRESULT ReportHostError(HRESULT hr, const std::wstring& message, REFIID iid)
{
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(::CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(message.c_str()));
        create->SetSource(const_cast<LPOLESTR>(L"Orvex"));
        create->SetGUID(iid);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            ::SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

HRESULT EnterHostCall(const wchar_t* operation, REFIID iid)
{
    ::SetErrorInfo(0, nullptr);
    TPlannedFault fault;
    bool fails = false;
    try {
        const std::lock_guard<std::mutex> guard(gLock);
        fails = gPlan.Call(operation, fault);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (!fails)
        return S_OK;
    return ReportHostError(static_cast<HRESULT>(fault.Code), fault.Message, iid);
}

namespace {

int gHostCallDepth = 0;
long long gHostCallTicks = 0;

long long Ticks()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

THostCallTimer::THostCallTimer() noexcept
{
    if (gHostCallDepth++ == 0)
        FStart = Ticks();
}

THostCallTimer::~THostCallTimer()
{
    if (--gHostCallDepth == 0)
        gHostCallTicks += Ticks() - FStart;
}

double HostCallMilliseconds()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(gHostCallTicks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void CountObjectCreated() { ++gLiveObjects; }
void CountObjectDestroyed() { --gLiveObjects; }

ITypeLib* HostTypeLibrary()
{
    const std::lock_guard<std::mutex> guard(gLock);
    if (gTypes.Library)
        return gTypes.Library;
    ITypeLib* library = nullptr;
    if (FAILED(::LoadRegTypeLib(LIBID_OrvexHost, 1, 0, 0, &library))) {
        wchar_t exe[MAX_PATH];
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring resource = std::wstring(exe) + L"\\110";
        if (FAILED(::LoadTypeLibEx(resource.c_str(), REGKIND_NONE, &library))) {
#ifdef HOSTSIM_TLB_PATH
            // The build tree's file, seen by Wine through drive Z:.
            std::wstring path = L"Z:" + Widen(HOSTSIM_TLB_PATH);
            for (wchar_t& c : path)
                if (c == L'/')
                    c = L'\\';
            if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library)))
#endif
                throw EHostError(static_cast<std::int32_t>(TYPE_E_CANTLOADLIBRARY),
                                 "Не удалось загрузить библиотеку типов Orvex");
        }
    }
    gTypes.Library = library;
    return library;
}

ITypeInfo* HostTypeInfo(REFIID iid)
{
    ITypeLib* library = HostTypeLibrary();
    const std::lock_guard<std::mutex> guard(gLock);
    const auto it = gTypes.Infos.find(iid);
    if (it != gTypes.Infos.end())
        return it->second;
    ITypeInfo* info = nullptr;
    const HRESULT hr = library->GetTypeInfoOfGuid(iid, &info);
    if (FAILED(hr))
        throw EHostError(hr, "Интерфейс не описан в библиотеке типов Orvex");
    gTypes.Infos[iid] = info;
    return info;
}

void FailNthCall(long n, HRESULT hr, const wchar_t* message)
{
    const std::lock_guard<std::mutex> guard(gLock);
    gPlan.FailNthCall(n, hr, message ? message : L"");
}

void FailOperation(const wchar_t* operation, HRESULT hr, const wchar_t* message)
{
    const std::lock_guard<std::mutex> guard(gLock);
    gPlan.FailOperation(operation ? operation : L"", hr, message ? message : L"");
}

void ClearFaults()
{
    const std::lock_guard<std::mutex> guard(gLock);
    gPlan.Clear();
}

std::wstring FailedOperation()
{
    const std::lock_guard<std::mutex> guard(gLock);
    return gPlan.FailedOperation();
}

long CallCount()
{
    const std::lock_guard<std::mutex> guard(gLock);
    return gPlan.CallCount();
}

long LiveObjects() { return gLiveObjects; }

} // namespace hostsim
