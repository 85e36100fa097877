# Toolchain: 32-bit Windows with Debian's mingw-w64 (i686-w64-mingw32).
#   cmake --preset win32     (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(POLYPAD_MINGW_TRIPLE i686-w64-mingw32)
set(POLYPAD_WIDL_TARGET --win32)
set(POLYPAD_WINE_WINDOWS_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Doubles in SSE2 registers, as MSVC does for x86 by default: results match
# the native x86-64 build instead of depending on x87 80-bit spills.  Windows
# callers only guarantee a 4-byte aligned stack, so realign it on entry to be
# safe with SSE code (COM methods, window procedures, thread entry points).
set(CMAKE_C_FLAGS_INIT   "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
