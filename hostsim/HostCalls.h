// What every Host COM method does first and last: count the call, consult the fault plan, and
// turn the body's exception into an HRESULT with error information (SetErrorInfo). Also the
// counter of live Host objects and the Host type library that their IDispatch forwards to.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "hostsim/ProjectStore.h"

#include <string>

namespace hostsim {

// Counts the call of operation ("IHostSettings.ReadString") and, when the fault plan says so,
// returns the planned failure with its message set as error information; S_OK otherwise.
HRESULT EnterHostCall(const wchar_t* operation, REFIID iid);
// Sets error information (description, source "Orvex", interface) and returns hr.
HRESULT ReportHostError(HRESULT hr, const std::wstring& message, REFIID iid);

// UTF-8 exception text as UTF-16 (never throws).
std::wstring HostErrorText(const char* text) noexcept;

// Adds the time from its making to its end to the Host's own time, for the outermost of nested
// Host methods only.
class THostCallTimer {
public:
    THostCallTimer() noexcept;
    ~THostCallTimer();
    THostCallTimer(const THostCallTimer&) = delete;
    THostCallTimer& operator=(const THostCallTimer&) = delete;

private:
    long long FStart = 0;
};

// Runs body as the method operation of interface iid; exceptions become HRESULTs.
template <class Body>
HRESULT HostMethod(const wchar_t* operation, REFIID iid, Body&& body) noexcept
{
    const THostCallTimer timer;
    const HRESULT planned = EnterHostCall(operation, iid);
    if (FAILED(planned))
        return planned;
    try {
        body();
        return S_OK;
    } catch (const EHostError& e) {
        return ReportHostError(static_cast<HRESULT>(e.Code()), HostErrorText(e.what()), iid);
    } catch (const std::bad_alloc&) {
        return ReportHostError(E_OUTOFMEMORY, L"Недостаточно памяти", iid);
    } catch (const std::exception& e) {
        return ReportHostError(E_FAIL, HostErrorText(e.what()), iid);
    } catch (...) {
        return ReportHostError(E_UNEXPECTED, L"Внутренняя ошибка Orvex", iid);
    }
}

void CountObjectCreated();
void CountObjectDestroyed();

// The Host type library: the registered one, else resource 110 of the running executable, else
// the file the build made. Raises EHostError when none loads.
ITypeLib* HostTypeLibrary();
ITypeInfo* HostTypeInfo(REFIID iid);

// The description of the thread's error information (taken, so it is cleared); empty if none.
std::wstring TakeErrorDescription();

// The HRESULT as "0x80004005".
std::wstring HResultText(HRESULT hr);

} // namespace hostsim
