// The base of every Host COM object: reference counting, QueryInterface for its one dual
// interface, IDispatch through the Host type library's ITypeInfo::Invoke, ISupportErrorInfo,
// and the live-object counter. Concrete objects implement the interface's methods, each through
// Call(), which counts the call, consults the fault plan and catches.
#pragma once

#include "hostsim/HostCalls.h"

#include "HostTypes.h"

#include <atomic>
#include <utility>

namespace hostsim {

// Answers QueryInterface with the object itself (not AddRef'ed) so that the stand-in can reach
// the data behind its own interfaces, e.g. the contour handed to DrawContour.
// {5E0D6A30-3C1B-4C55-9A1E-2B7D0F4A9C11}
inline constexpr GUID IID_HostSimImplementation = {0x5e0d6a30, 0x3c1b, 0x4c55, {0x9a, 0x1e, 0x2b, 0x7d, 0x0f, 0x4a, 0x9c, 0x11}};

// Declares the reserved slot n of interface I, which answers E_NOTIMPL.
#define HOSTSIM_RESERVED(I, n) \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return NotImplemented(L## #I L".Reserved" L## #n); }

template <class I>
class THostObject : public I, public ISupportErrorInfo {
public:
    THostObject() { CountObjectCreated(); }
    THostObject(const THostObject&) = delete;
    THostObject& operator=(const THostObject&) = delete;
    virtual ~THostObject() { CountObjectDestroyed(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override
    {
        if (!result)
            return E_POINTER;
        if (iid == IID_HostSimImplementation) {
            *result = static_cast<IUnknown*>(static_cast<I*>(this));
            return S_OK;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(I))
            *result = static_cast<I*>(this);
        else if (iid == IID_ISupportErrorInfo)
            *result = static_cast<ISupportErrorInfo*>(this);
        else {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --FRefs;
        if (refs == 0)
            delete this;
        return refs;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return Guard([&] {
            *info = HostTypeInfo(__uuidof(I));
            (*info)->AddRef();
        });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        HRESULT hr = S_OK;
        const HRESULT loaded = Guard([&] { hr = HostTypeInfo(__uuidof(I))->GetIDsOfNames(names, count, ids); });
        return FAILED(loaded) ? loaded : hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, UINT* argError) override
    {
        HRESULT hr = S_OK;
        const HRESULT loaded = Guard([&] {
            hr = HostTypeInfo(__uuidof(I))->Invoke(static_cast<I*>(this), id, flags, params, result, excepInfo,
                                                   argError);
        });
        return FAILED(loaded) ? loaded : hr;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return iid == __uuidof(I) ? S_OK : S_FALSE;
    }

protected:
    template <class Body>
    HRESULT Call(const wchar_t* operation, Body&& body) noexcept
    {
        return HostMethod(operation, __uuidof(I), std::forward<Body>(body));
    }

    // For the stand-in's own plumbing: no counting, no fault plan.
    template <class Body>
    HRESULT Guard(Body&& body) noexcept
    {
        try {
            body();
            return S_OK;
        } catch (const EHostError& e) {
            return ReportHostError(static_cast<HRESULT>(e.Code()), HostErrorText(e.what()), __uuidof(I));
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    // A reserved slot: the stand-in does not implement it.
    HRESULT NotImplemented(const wchar_t* operation) noexcept
    {
        return Call(operation, [] { throw EHostError(static_cast<std::int32_t>(E_NOTIMPL), "Операция не реализована"); });
    }

private:
    std::atomic<ULONG> FRefs{1};
};

// The stand-in's object behind an interface pointer, or nullptr for a foreign object.
template <class T, class I>
T* Implementation(I* pointer)
{
    if (!pointer)
        return nullptr;
    void* raw = nullptr;
    if (FAILED(pointer->QueryInterface(IID_HostSimImplementation, &raw)))
        return nullptr;
    return dynamic_cast<T*>(static_cast<IUnknown*>(raw));
}

} // namespace hostsim
