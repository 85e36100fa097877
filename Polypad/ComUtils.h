// The COM error layer and the small RAII types that command code uses instead of naked
// Release/SysFreeString/VariantClear.
//
// TComPtr<T> owns one interface reference. TBStr owns one BSTR, TVariant one VARIANT.
// ThrowIfFailed checks a Host (or any COM) call on the spot and raises EComError carrying the
// HRESULT and the callee's message from its error information. ComBoundary runs the body of an
// automation method: stale error information is cleared first, and any exception becomes an
// error HRESULT with SetErrorInfo, so nothing unwinds into the caller's frame.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include "CoreLib/Errors.h"
#include "CoreLib/FloatPrecision.h"

#include <new>
#include <string>
#include <utility>

// A failed COM call: the HRESULT and the message (UTF-8) the callee reported.
class EComError : public Exception {
public:
    EComError(HRESULT code, const std::string& message);
    HRESULT Code() const { return FCode; }

private:
    HRESULT FCode;
};

// The message of a failed call: the thread's error information when present (it is consumed),
// else the system's text for the HRESULT.
std::string TakeErrorMessage(HRESULT code);

// Raises EComError when hr is a failure. Only an HRESULT is accepted: a BOOL does not compile.
inline void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr))
        throw EComError(hr, TakeErrorMessage(hr));
}
template <class T>
void ThrowIfFailed(T) = delete;

// A window handle the Host passes as a 32-bit integer (IHostMainWindow.Handle, IHostPane.Handle).
// In a 64-bit process user handles have 32 significant bits and are sign-extended, as
// LongToHandle does; a 32-bit process takes the value as it is and refuses a negative one.
HWND HostWindowHandle(long value);

template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit TComPtr(T* p) : FPtr(p)
    {
        if (FPtr)
            FPtr->AddRef();
    }
    TComPtr(const TComPtr& other) : TComPtr(other.FPtr) {}
    TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    TComPtr& operator=(const TComPtr& other)
    {
        TComPtr(other).swap(*this);
        return *this;
    }
    TComPtr& operator=(TComPtr&& other) noexcept
    {
        TComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ~TComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static TComPtr attach(T* p)
    {
        TComPtr result;
        result.FPtr = p;
        return result;
    }
    T* detach() { return std::exchange(FPtr, nullptr); }
    void reset()
    {
        if (T* old = std::exchange(FPtr, nullptr))
            old->Release();
    }
    void swap(TComPtr& other) noexcept { std::swap(FPtr, other.FPtr); }

    T* get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    // For [out] parameters: drops the current reference first.
    T** put()
    {
        reset();
        return &FPtr;
    }

    // QueryInterface that raises EComError (E_NOINTERFACE) when the object lacks U.
    template <class U>
    TComPtr<U> query() const
    {
        TComPtr<U> result;
        if (!FPtr)
            throw EComError(E_POINTER, "Интерфейс не задан");
        ThrowIfFailed(FPtr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.put())));
        return result;
    }
    // QueryInterface that gives an empty pointer when the object lacks U.
    template <class U>
    TComPtr<U> try_query() const
    {
        TComPtr<U> result;
        if (FPtr && FAILED(FPtr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.put()))))
            result.reset();
        return result;
    }

private:
    T* FPtr = nullptr;
};

// A Host call that succeeded but gave no object where one is needed.
template <class T>
void RequireHostObject(const TComPtr<T>& object, const char* operation)
{
    if (!object)
        throw EComError(E_POINTER, Format("Хост не вернул объект (%s)", operation));
}

// A Host call that gives an object through its [out] parameter: the HRESULT checked and an
// object required.
template <class T, class Call>
TComPtr<T> HostObject(const char* operation, Call&& call)
{
    TComPtr<T> result;
    ThrowIfFailed(call(result.put()));
    RequireHostObject(result, operation);
    return result;
}

class TBStr {
public:
    TBStr() = default;
    explicit TBStr(const std::wstring& text);
    // From UTF-8.
    explicit TBStr(const std::string& text);
    explicit TBStr(const char* text) : TBStr(std::string(text)) {}
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;
    TBStr(TBStr&& other) noexcept : FValue(other.release()) {}
    TBStr& operator=(TBStr&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~TBStr() { reset(); }

    BSTR get() const { return FValue; }
    BSTR release() { return std::exchange(FValue, nullptr); }
    void reset(BSTR value = nullptr)
    {
        if (BSTR old = std::exchange(FValue, value))
            ::SysFreeString(old);
    }
    BSTR* put()
    {
        reset();
        return &FValue;
    }
    UINT Length() const { return ::SysStringLen(FValue); }
    std::wstring Wide() const { return std::wstring(FValue ? FValue : L"", Length()); }
    std::string Utf8() const;

private:
    BSTR FValue = nullptr;
};

class TVariant {
public:
    TVariant() { ::VariantInit(&FValue); }
    // A VT_BSTR variant (UTF-16 text).
    explicit TVariant(const std::wstring& text);
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    ~TVariant() { ::VariantClear(&FValue); }

    VARIANT& get() { return FValue; }
    const VARIANT& get() const { return FValue; }
    VARIANT* put()
    {
        ::VariantClear(&FValue);
        return &FValue;
    }

private:
    VARIANT FValue;
};

// Makes error information (description, source, interface id) current and returns code, which
// is forced to a failure.
HRESULT SetComError(HRESULT code, const std::string& message, const IID& iid, const wchar_t* source) noexcept;

// A failure of the dispatch itself (ITypeInfo::Invoke before the method ran) described for a
// late-bound client: error information, and, when the caller gave an EXCEPINFO, the exception
// there with code as its scode (then DISP_E_EXCEPTION is returned, else code).
HRESULT DispatchException(HRESULT code, const std::string& message, const IID& iid, const wchar_t* source,
                          EXCEPINFO* exception) noexcept;

// Runs body as the body of one automation method of interface iid (see the header comment).
template <class Body>
HRESULT ComBoundary(const IID& iid, const wchar_t* source, Body&& body) noexcept
{
    ::SetErrorInfo(0, nullptr);
    const TExtendedPrecision precision;
    try {
        body();
        return S_OK;
    } catch (const EAbort&) {
        return S_OK; // abandoned on purpose: the caller's request is moot
    } catch (const EComError& e) {
        return SetComError(e.Code(), e.what(), iid, source);
    } catch (const std::bad_alloc&) {
        return SetComError(E_OUTOFMEMORY, "Недостаточно памяти", iid, source);
    } catch (const std::exception& e) {
        return SetComError(E_FAIL, e.what(), iid, source);
    } catch (...) {
        return SetComError(E_UNEXPECTED, "Непредвиденная ошибка", iid, source);
    }
}
