#include "Polypad/ComUtils.h"

#include "controls/WinHandles.h"

EComError::EComError(HRESULT code, const std::string& message) : Exception(message), FCode(code) {}

HWND HostWindowHandle(long value)
{
    static_assert(sizeof(long) == 4, "the Host's integers are 32-bit");
#ifndef _WIN64
    if (value < 0)
        throw ERangeError();
#endif
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(value));
}

std::string TakeErrorMessage(HRESULT code)
{
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) == S_OK && raw) {
        TComPtr<IErrorInfo> info = TComPtr<IErrorInfo>::attach(raw);
        TBStr description;
        if (SUCCEEDED(info->GetDescription(description.put())) && description.Length() > 0)
            return description.Utf8();
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message;
    if (length && text) {
        message.assign(text, length);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
            message.pop_back();
    }
    if (text)
        ::LocalFree(text);
    if (message.empty())
        return Format("Ошибка 0x%08lX", static_cast<unsigned long>(code));
    return Narrow(message);
}

TBStr::TBStr(const std::wstring& text)
{
    FValue = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!FValue)
        throw std::bad_alloc();
}

TBStr::TBStr(const std::string& text) : TBStr(Widen(text)) {}

std::string TBStr::Utf8() const { return Narrow(Wide()); }

TVariant::TVariant(const std::wstring& text)
{
    ::VariantInit(&FValue);
    TBStr value(text);
    V_VT(&FValue) = VT_BSTR;
    V_BSTR(&FValue) = value.release();
}

HRESULT SetComError(HRESULT code, const std::string& message, const IID& iid, const wchar_t* source) noexcept
{
    if (SUCCEEDED(code))
        code = E_FAIL;
    try {
        ICreateErrorInfo* rawCreate = nullptr;
        if (FAILED(::CreateErrorInfo(&rawCreate)) || !rawCreate)
            return code;
        TComPtr<ICreateErrorInfo> create = TComPtr<ICreateErrorInfo>::attach(rawCreate);
        const std::wstring description = Widen(message);
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        if (TComPtr<IErrorInfo> info = create.try_query<IErrorInfo>())
            ::SetErrorInfo(0, info.get());
    } catch (...) {
        // Out of memory while describing the error: the HRESULT alone still reports it.
    }
    return code;
}

HRESULT DispatchException(HRESULT code, const std::string& message, const IID& iid, const wchar_t* source,
                          EXCEPINFO* exception) noexcept
{
    code = SetComError(code, message, iid, source);
    if (!exception)
        return code;
    try {
        *exception = EXCEPINFO{};
        exception->scode = code;
        exception->bstrSource = ::SysAllocString(source);
        exception->bstrDescription = ::SysAllocString(Widen(message).c_str());
    } catch (...) {
        return code;
    }
    return DISP_E_EXCEPTION;
}
