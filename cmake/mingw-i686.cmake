# Toolchain: 32-bit Windows with Debian's mingw-w64 (i686-w64-mingw32).
#   cmake --preset win32     (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(POLYPAD_MINGW_TRIPLE i686-w64-mingw32)
# The -posix variants use winpthreads, so std::thread, std::mutex and
# std::condition_variable exist (the -win32 variants lack them in GCC 12).
set(CMAKE_C_COMPILER   ${POLYPAD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${POLYPAD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${POLYPAD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${POLYPAD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# IDL compiler for the COM type library / interface headers.
find_program(POLYPAD_WIDL NAMES ${POLYPAD_MINGW_TRIPLE}-widl widl
             DOC "widl, the IDL compiler for COM interfaces")

# Doubles in SSE2 registers, as MSVC does for x86 by default: results match
# the native x86-64 build instead of depending on x87 80-bit spills.  Windows
# callers only guarantee a 4-byte aligned stack, so realign it on entry to be
# safe with SSE code (COM methods, window procedures, thread entry points).
set(CMAKE_C_FLAGS_INIT   "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

# Link libgcc, libstdc++ and winpthread statically: every .exe and .dll then
# imports system DLLs only (KERNEL32, msvcrt, USER32, ...).
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
