// The in-process server around TPolypadComModule: module instance, the counts that decide
// DllCanUnloadNow (live objects, locks, the module's own windows), the framework's application
// window, the cached type information of the module's type library, window classes registered
// against the module instance (unregistered at unload), and the registration of the class.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace PolypadServer {

// The platform the type libraries are generated for: the build's bitness (their vtable offsets
// and sizes differ), and the registry key the registration writes ("win32" or "win64").
#ifdef _WIN64
constexpr SYSKIND TypeLibSysKind = SYS_WIN64;
#else
constexpr SYSKIND TypeLibSysKind = SYS_WIN32;
#endif

HINSTANCE Instance();
std::wstring ModulePath();

void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
// Called from WM_NCCREATE and WM_NCDESTROY of every window of the module's classes.
void WindowCreated();
void WindowDestroyed();
bool CanUnload();

// The owner of the module's top-level windows and message boxes (0: none).
HWND ApplicationWindow();
void SetApplicationWindow(HWND window);

// Type information of an interface of the module's own type library (resource TYPELIB 1),
// loaded once and kept until the module unloads. Borrowed; raises EComError on failure.
ITypeInfo* TypeInfo(const IID& iid);

// Registers the class wc.lpszClassName against the module instance once; it is unregistered
// when the module unloads.
void EnsureWindowClass(WNDCLASSEXW wc);

// Writes or removes the class, its ProgID and the type library under HKEY_CLASSES_ROOT, or
// under HKEY_CURRENT_USER\Software\Classes when perUser. Raise on failure.
void RegisterServer(bool perUser);
void UnregisterServer(bool perUser);

inline constexpr wchar_t ProgId[] = L"Polypad.PolypadComModule";

} // namespace PolypadServer
