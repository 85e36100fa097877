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

#include <string>
#include <vector>

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
// (Operation names are "Interface.Method" as in host/HostTypes.idl; properties without "get_".)
void FailOperation(const wchar_t* operation, HRESULT hr, const wchar_t* message);
void ClearFaults();
// The operation ("IHostPane.Update") that the last FailNthCall fault hit; empty before one hit.
std::wstring FailedOperation();
// Host interface method calls made since the process started (each counted once).
long CallCount();
// Host COM objects alive now (created and not yet destroyed).
long LiveObjects();
// Time spent inside Host interface methods since the process started (one UI thread; a Host
// method called from another counts once).
double HostCallMilliseconds();

// ---- additions: driving the stand-in from tests and from Orvex.exe -------------------------------

// The module the Host calls: Synchronize after every change of the selection (deferred to the
// message loop), RepaintDragging(surface) before and after every change of the view, and
// ShowHideForm when commandName is chosen. The module is called by name through IDispatch;
// the Host keeps a reference until DetachModule. Init and Done remain the caller's.
HRESULT AttachModule(IHostApplication* application, IDispatch* module, const wchar_t* commandName);
void DetachModule(IHostApplication* application);

// Opens another project in the running application (an open transaction is rolled back).
HRESULT OpenProject(IHostApplication* application, const wchar_t* projectFile);
// Chooses a command as the menu would ("Полипад", "Показать всё").
HRESULT RunCommand(IHostApplication* application, const wchar_t* name);
bool CommandChecked(IHostApplication* application, const wchar_t* name);
// Replaces the selection by one entry, as a click on the map does (Synchronize follows).
// An id that is not in the project, or a shape it does not have, fails with E_INVALIDARG.
HRESULT SelectMapObject(IHostApplication* application, long objectId, long shapeIndex);
// Replaces the selection by one entry without any check, as a selection goes stale when another
// user deletes the object (Synchronize follows).
HRESULT SelectStaleObject(IHostApplication* application, long objectId, long shapeIndex);
// The map view's active layer (0: none), and whether a map view is active at all.
HRESULT SetActiveLayer(IHostApplication* application, long layerId);
void SetMapViewActive(IHostApplication* application, bool active);

// Names of committed transactions, oldest first; and those rolled back.
std::vector<std::wstring> CommittedTransactions(IHostApplication* application);
std::vector<std::wstring> RolledBackTransactions(IHostApplication* application);
// The object's geometry: "object ID layer L", then "shape I style S geometry 0|1", "part J closed|open",
// and one line per vertex "X<TAB>Y<TAB>CONVEXITY" (shortest round-trip text of the doubles).
HRESULT ObjectGeometryText(IHostApplication* application, long objectId, std::wstring& text);
// Reads a setting as a module would (section 1).
std::wstring ReadSetting(IHostApplication* application, const wchar_t* key, const wchar_t* defaultValue);

// The overlay of the map view: pixels set (0 after matching exclusive-or redraws), the map
// window (nullptr without windows) and its picture as the screen shows it, into a BMP or PNG.
long OverlayPixelCount(IHostApplication* application);
// The overlay's pixels, row by row (0 where nothing is drawn), to compare two pictures exactly.
std::vector<unsigned> OverlayPixels(IHostApplication* application);
HWND MapWindowHandle(IHostApplication* application);
HRESULT SaveMapImage(IHostApplication* application, const wchar_t* file);
// The status bar's message text (the last failure of a module call, ...).
std::wstring StatusText(IHostApplication* application);

// Calls a method of the attached module by name (arguments in order); a failure, with its
// HRESULT and the module's message, also goes to the status bar.
HRESULT InvokeModule(IHostApplication* application, const wchar_t* method, const std::vector<VARIANT>& arguments);
// Posts a command to the main window, as choosing it from the menu does (runs from the loop).
HRESULT PostCommand(IHostApplication* application, const wchar_t* name);
HWND MainWindowHandle(IHostApplication* application);
// A window as the screen shows it, into a BMP or PNG.
HRESULT SaveWindowImage(HWND window, const wchar_t* file);
// All settings, one "SECTION<TAB>KEY<TAB>VALUE" line each (tabs and line breaks escaped).
std::wstring SettingsText(IHostApplication* application);
// Writes a status bar message.
void ShowStatus(IHostApplication* application, const wchar_t* text);

// Dispatches this thread's messages until the queue is empty (through DispatchMeasured).
void PumpMessages();

// ---- benchmarks ----------------------------------------------------------------------------------

// Creates an object in the layer with one geometry-defining shape of the style: one closed part
// of vertexCount (3 .. 10000000) vertices on a star around the view's centre (radius a third of
// the view's smaller side; radius and 0.9 radius in turns), every 10th edge an arc of convexity
// 0.1. It is committed, not part of an open transaction: a rollback keeps it.
HRESULT GenerateObject(IHostApplication* application, long layerId, long styleId, long vertexCount, long* objectId);

// Shows a Yes/No message box (caption "Orvex", owned by the main window) from a posted message,
// so that the caller goes on while it is open; the status bar then says "message-box Yes" or
// "message-box No".
HRESULT PostMessageBox(IHostApplication* application, const wchar_t* text);

// The longest DispatchMessage of the stand-in's loops: milliseconds, message and window class
// ("-" for a thread message). Time inside a modal loop the handler started is left out.
struct TDispatchRecord {
    double Milliseconds = 0;
    UINT Message = 0;
    std::wstring WindowClass = L"-";
};
LRESULT DispatchMeasured(const MSG& message);
TDispatchRecord LongestDispatch();
// The same split by whose window handled the message: the stand-in's windows have classes
// starting with "TOrvex"; every other window and thread messages count as the module's. Beside
// the longest of each, the summed time of the stand-in's handlers (its map repaint above all), so
// that the module's own time is a total minus it.
struct TDispatchSplit {
    TDispatchRecord LongestModule;
    TDispatchRecord LongestStandIn;
    double StandInMilliseconds = 0;
    std::vector<TDispatchRecord> All; // every measured dispatch, in order
};
TDispatchSplit DispatchSplit();
// Resets the longest dispatch and the split.
void ResetLongestDispatch();

// A stopwatch on QueryPerformanceCounter: milliseconds since StartTimer, -1 before it.
void StartTimer();
double TimerMilliseconds();

} // namespace hostsim
