# Cross build for 64-bit Windows with MinGW-w64 (the -posix compilers: the win32 thread model
# has no std::thread or std::mutex). Executables link statically so they import only system
# DLLs, and run under Wine for tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not hand host libraries (libusb, umockdev) to a Windows build.
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test executables run under Wine, quietly: its debug channels would bury the test output.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINEDEBUG=-all wine)
# List the tests when ctest runs rather than while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Debian has no Qt for MinGW: the windows build only against the static Qt that
# scripts/lib/qt-windows.sh makes, named by TRELVO_QT_WINDOWS_PREFIX (its host tools are the
# host Qt's, of the same version).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRELVO_QT_WINDOWS_PREFIX)
if(TRELVO_QT_WINDOWS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TRELVO_QT_WINDOWS_PREFIX})
    set(QT_HOST_PATH /usr CACHE PATH "Host Qt for the tools a cross build runs")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
    set(TRELVO_BUILD_APP ON CACHE BOOL "Build the Qt programs (needs Qt 6 Widgets)" FORCE)
else()
    set(TRELVO_BUILD_APP OFF CACHE BOOL "Build the Qt programs (needs Qt 6 Widgets)" FORCE)
endif()

# GoogleTest is built from source with the cross compiler once the project has its languages.
set(CMAKE_PROJECT_Trelvo_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/mingw-googletest.cmake)
