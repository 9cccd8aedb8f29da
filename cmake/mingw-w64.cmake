# Cross-compiles for 64-bit Windows with Debian's mingw-w64 and runs what it builds under Wine.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=DEPS
#
# DEPS is the folder the Windows libraries were installed into (scripts/windows.sh builds them
# from Debian's sources); it is searched as well as mingw-w64's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The POSIX thread model: std::thread, std::mutex and std::condition_variable work (the win32
# model of g++ 12 has none of them).
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and headers only for Windows, never the build machine's; programs (nasm, the
# compilers) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the .pc files of Windows libraries: those of the prefix, and mingw-w64's
# own (zlib's). Their prefix is the folder they are in, so a prefix copied elsewhere still names
# its own files.
set(QuandrelPkgConfigDirs)
foreach(Folder IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND QuandrelPkgConfigDirs ${Folder}/lib/pkgconfig)
endforeach()
list(APPEND QuandrelPkgConfigDirs /usr/x86_64-w64-mingw32/lib/pkgconfig)
string(REPLACE ";" ":" QuandrelPkgConfigDirs "${QuandrelPkgConfigDirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${QuandrelPkgConfigDirs}")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --define-prefix)

# libstdc++, libgcc and winpthread linked in, so that a program needs only the DLLs Windows
# ships (kernel32, msvcrt, user32 ...).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests, and gtest_discover_tests at build time, run the programs under Wine in the build
# folder's own Wine prefix (see wine.sh beside this file).
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine.sh ${CMAKE_BINARY_DIR})
