# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# so std::thread and std::mutex work). Used by scripts/windows-test.sh:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The programs run on Windows or under wine; the tests run under wine64
# through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the target's libraries only (none of the build machine's).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${PT_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Self-contained programs: no libgcc/libstdc++/winpthread DLLs to ship beside
# them, and zlib linked in from its static archive.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Tests (gtest discovery included) run under wine64. Debian installs it
# outside PATH.
find_program(PT_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PT_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PT_WINE64})
endif()
