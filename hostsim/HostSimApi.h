// In-process entry to the Host stand-in, for Orvex.exe itself and for tests that drive the
// module against a real Host object model without starting the application.
//
// The Host objects are COM objects implementing the interfaces of host/HostTypes.idl. Fault
// injection and the live-object counter exist so that tests can prove the module checks every
// Host call and releases every reference it takes.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "HostTypes.h"

namespace hostsim {

// Loads a project file (UTF-16 path) and makes the Host application object. With windows, the
// main window (class "TOrvexMainWindow"), its map window and a hidden application window of class
// "TApplication" are created on the calling thread; without, MainWindow.Handle still answers a
// hidden window so that a module can own windows by it.
HRESULT CreateApplication(const wchar_t* projectFile, bool withWindows, IHostApplication** application);

// From now on, the n-th call (1-based) into any Host interface method fails with hr and message
// (delivered as error information through SetErrorInfo). 0 switches it off.
void FailNthCall(long n, HRESULT hr, const wchar_t* message);
// Every call of one operation fails, e.g. L"IHostMainWindow.Actions" or L"IHostSettings.ReadString".
void FailOperation(const wchar_t* operation, HRESULT hr, const wchar_t* message);
void ClearFaults();
// Host interface method calls made since the process started (each counted once).
long CallCount();
// Host COM objects alive now (created and not yet destroyed).
long LiveObjects();

} // namespace hostsim
