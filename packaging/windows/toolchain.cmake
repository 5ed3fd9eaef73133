# Cross-builds for 64-bit Windows with Debian's mingw-w64 compiler, the posix-thread flavour
# (std::thread and std::mutex need it; the win32 flavour lacks them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRIMVALE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRIMVALE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIMVALE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRIMVALE_MINGW_TRIPLE}-windres)

# The dependencies built by scripts/windows.sh live in prefixes of their own (a list); look for
# libraries and headers there and in the compiler's own sysroot only, never in the build
# machine's /usr.
set(BRIMVALE_WINDOWS_PREFIX "$ENV{BRIMVALE_WINDOWS_PREFIX}" CACHE STRING "Prefixes of the cross-built dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRIMVALE_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${BRIMVALE_MINGW_TRIPLE} ${BRIMVALE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's moc, rcc and uic run on the build machine: Debian's own Qt host tools.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# pkg-config must read the cross-built .pc files alone.
set(_brimvale_pkgconfig "")
foreach(_prefix IN LISTS BRIMVALE_WINDOWS_PREFIX)
    string(APPEND _brimvale_pkgconfig "${_prefix}/lib/pkgconfig:")
endforeach()
set(ENV{PKG_CONFIG_LIBDIR} "${_brimvale_pkgconfig}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The test executables run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
