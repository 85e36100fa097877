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
# stdole2.tlb, which the type libraries import: from Wine's files of the same bitness, else from
# the other bitness's (a machine without the 32-bit Wine still builds the 32-bit tree). widl takes
# only the imported names and GUIDs from it: the type libraries built with either are the same
# byte for byte.
set(_polypad_stdole2_dirs ${POLYPAD_WINE_WINDOWS_DIR}
    /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
foreach(dir IN LISTS _polypad_stdole2_dirs)
  if(NOT DEFINED _polypad_stdole2_dir AND EXISTS ${dir}/stdole2.tlb)
    set(_polypad_stdole2_dir ${dir})
  endif()
endforeach()
if(NOT DEFINED _polypad_stdole2_dir)
  set(_polypad_stdole2_dir ${POLYPAD_WINE_WINDOWS_DIR})
endif()
set(POLYPAD_WIDL_LIBPATH ${_polypad_stdole2_dir} CACHE PATH "stdole2.tlb for widl")
# The objdump that reads this target's PE files (the static checks of Polypad.dll).
find_program(POLYPAD_OBJDUMP NAMES ${POLYPAD_MINGW_TRIPLE}-objdump DOC "objdump for PE files")

# Link libgcc, libstdc++ and winpthread statically: every .exe and .dll then
# imports system DLLs only (KERNEL32, msvcrt, USER32, ...).
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
