// Owning wrappers for Win32 handles and the checks of Win32 calls.
//
// TUniqueHandle<Traits> owns one handle and closes it with the kind's own function; it moves and
// never copies. Child windows belong to their parent and are not wrapped. CheckWin32 turns a
// failed call into an exception carrying the system's message; the BOOL-taking overload keeps a
// BOOL from being passed where a pointer or handle result is checked by mistake.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include "CoreLib/Errors.h"

#include <cstdint>
#include <string>
#include <utility>

template <class Traits>
class TUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    TUniqueHandle() = default;
    explicit TUniqueHandle(Handle h) : FHandle(h) {}
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    TUniqueHandle(TUniqueHandle&& other) noexcept : FHandle(other.release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~TUniqueHandle() { reset(); }

    Handle get() const { return FHandle; }
    explicit operator bool() const { return FHandle != Handle{}; }
    Handle release() { return std::exchange(FHandle, Handle{}); }
    void reset(Handle h = Handle{})
    {
        const Handle old = std::exchange(FHandle, h);
        if (old != Handle{})
            Traits::Close(old);
    }

private:
    Handle FHandle{};
};

#define POLYPAD_HANDLE_TRAITS(Name, Type, CloseCall)                \
    struct Name##Traits {                                          \
        using Handle = Type;                                       \
        static void Close(Type h) { CloseCall(h); }                \
    };                                                             \
    using TUnique##Name = TUniqueHandle<Name##Traits>;

POLYPAD_HANDLE_TRAITS(Window, HWND, ::DestroyWindow)
POLYPAD_HANDLE_TRAITS(Menu, HMENU, ::DestroyMenu)
POLYPAD_HANDLE_TRAITS(ImageList, HIMAGELIST, ::ImageList_Destroy)
POLYPAD_HANDLE_TRAITS(Font, HFONT, ::DeleteObject)
POLYPAD_HANDLE_TRAITS(Brush, HBRUSH, ::DeleteObject)
POLYPAD_HANDLE_TRAITS(Pen, HPEN, ::DeleteObject)
POLYPAD_HANDLE_TRAITS(Bitmap, HBITMAP, ::DeleteObject)
POLYPAD_HANDLE_TRAITS(Region, HRGN, ::DeleteObject)
POLYPAD_HANDLE_TRAITS(Icon, HICON, ::DestroyIcon)
POLYPAD_HANDLE_TRAITS(MemoryDC, HDC, ::DeleteDC)
POLYPAD_HANDLE_TRAITS(Module, HMODULE, ::FreeLibrary)
POLYPAD_HANDLE_TRAITS(Kernel, HANDLE, ::CloseHandle)

#undef POLYPAD_HANDLE_TRAITS

// GetDC (or, with its frame, GetWindowDC) and ReleaseDC.
class TWindowDC {
public:
    explicit TWindowDC(HWND window, bool withFrame = false)
        : FWindow(window), FDC(withFrame ? ::GetWindowDC(window) : ::GetDC(window))
    {
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() { ::ReleaseDC(FWindow, FDC); }
    HDC get() const { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// BeginPaint/EndPaint pair.
class TPaintDC {
public:
    explicit TPaintDC(HWND window) : FWindow(window) { FDC = ::BeginPaint(window, &FPaint); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    ~TPaintDC() { ::EndPaint(FWindow, &FPaint); }
    HDC get() const { return FDC; }
    const PAINTSTRUCT& Paint() const { return FPaint; }

private:
    HWND FWindow;
    HDC FDC;
    PAINTSTRUCT FPaint{};
};

// SelectObject, undone when the guard ends.
class TSelectObject {
public:
    // An object the DC already holds is not selected again: selecting a font costs as much as
    // drawing a cell's text.
    TSelectObject(HDC dc, HGDIOBJ object)
        : FDC(dc), FOld(::GetCurrentObject(dc, ::GetObjectType(object)) == object ? nullptr : ::SelectObject(dc, object))
    {
    }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;
    ~TSelectObject()
    {
        if (FOld)
            ::SelectObject(FDC, FOld);
    }

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// A top-down 32-bit DIB section of width × height; bits receives its pixels.
TUniqueBitmap CreateDibSection32(int width, int height, void** bits);

// UTF-8 <-> UTF-16 for the boundary between the core (UTF-8) and the platform (UTF-16).
std::wstring Widen(const std::string& text);
// Widens UTF-8 into out, which has room for text.size() characters (UTF-16 never needs more);
// returns the number written.
std::size_t WidenInto(const std::string& text, wchar_t* out);
std::string Narrow(const std::wstring& text);

class EWin32Error : public Exception {
public:
    EWin32Error(DWORD code, const std::string& what);
    DWORD Code() const { return FCode; }

private:
    DWORD FCode;
};

// Raises EWin32Error with GetLastError's message when the call failed.
[[noreturn]] void RaiseLastWin32Error(const char* what);
inline void CheckWin32(BOOL ok, const char* what)
{
    if (!ok)
        RaiseLastWin32Error(what);
}
template <class T>
T* CheckWin32Handle(T* handle, const char* what)
{
    if (!handle)
        RaiseLastWin32Error(what);
    return handle;
}
