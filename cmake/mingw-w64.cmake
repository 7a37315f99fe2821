# Cross build for 64-bit Windows with Debian's MinGW-w64 (tools/windows_build.sh):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The compiler of the posix thread model, for std::thread. The runtime
# libraries (libgcc, libstdc++, winpthread) are linked in statically, so the
# programs run without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(STEPCOUNT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${STEPCOUNT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${STEPCOUNT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${STEPCOUNT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${STEPCOUNT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The built programs run under Wine where it is installed (ctest, and the
# listing of the GoogleTest tests).
# With the address space laid out at random, Debian's Wine (which has no
# preloader) now and then cannot start a process: a fixed layout, where
# setarch can give one.
find_program(STEPCOUNT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
find_program(STEPCOUNT_SETARCH NAMES setarch)
if(STEPCOUNT_WINE AND STEPCOUNT_SETARCH)
    execute_process(COMMAND uname -m OUTPUT_VARIABLE STEPCOUNT_HOST_MACHINE
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${STEPCOUNT_SETARCH} ${STEPCOUNT_HOST_MACHINE} -R
        ${STEPCOUNT_WINE})
elseif(STEPCOUNT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${STEPCOUNT_WINE})
endif()
