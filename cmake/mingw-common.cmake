# What both mingw-w64 toolchains share; included by mingw-i686.cmake and mingw-x86_64.cmake
# after they set POLYPAD_MINGW_TRIPLE and the Wine directory of their bitness.
set(CMAKE_SYSTEM_NAME Windows)

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

# IDL compiler for the COM type library / interface headers. Type libraries are generated for
# the target's bitness: the vtable offsets and sizes they record differ (POLYPAD_WIDL_TARGET).
find_program(POLYPAD_WIDL NAMES ${POLYPAD_MINGW_TRIPLE}-widl widl
             DOC "widl, the IDL compiler for COM interfaces")
# stdole2.tlb, which the type libraries import, from Wine's files of the same bitness.
set(POLYPAD_WIDL_LIBPATH ${POLYPAD_WINE_WINDOWS_DIR} CACHE PATH "stdole2.tlb for widl")
# The objdump that reads this target's PE files (the static checks of Polypad.dll).
find_program(POLYPAD_OBJDUMP NAMES ${POLYPAD_MINGW_TRIPLE}-objdump DOC "objdump for PE files")

# Link libgcc, libstdc++ and winpthread statically: every .exe and .dll then
# imports system DLLs only (KERNEL32, msvcrt, USER32, ...).
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
