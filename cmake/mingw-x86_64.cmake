# Toolchain: 64-bit Windows with Debian's mingw-w64 (x86_64-w64-mingw32).
#   cmake --preset win64     (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake)
# SSE2 doubles and a 16-byte aligned stack are the x64 calling convention's own.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(POLYPAD_MINGW_TRIPLE x86_64-w64-mingw32)
set(POLYPAD_WIDL_TARGET --win64)
set(POLYPAD_WINE_WINDOWS_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
