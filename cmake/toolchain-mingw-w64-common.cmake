# What both Windows cross builds share; included by toolchain-mingw-w64.cmake
# (64-bit) and toolchain-mingw-w64-i686.cmake (32-bit) after they have set
# _nuv_triple, the mingw-w64 target triple, and _nuv_wine_loader, the wine
# loader of that bitness.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${_nuv_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_nuv_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_nuv_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_nuv_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static executables: wine then needs no libstdc++, libgcc or
# winpthread DLL beside the test binaries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 7 API level, wide-character Win32 names by default, and the C
# runtime's thread-safe localtime_r/gmtime_r (mingw-w64 offers them over
# localtime_s/gmtime_s only when asked), which the shared code uses.
set(_nuv_defines "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -DUNICODE -D_UNICODE")
string(APPEND _nuv_defines " -D_POSIX_THREAD_SAFE_FUNCTIONS=200112L")
set(CMAKE_C_FLAGS_INIT "${_nuv_defines}")
set(CMAKE_CXX_FLAGS_INIT "${_nuv_defines}")

# ctest runs every test binary through wine, headless, in the project's own
# prefix (kept outside the build folder so "make clean" does not cost the
# slow prefix creation). Both bitnesses share one 64-bit prefix, as 32-bit
# programs run on 64-bit Windows, so that processes of either bitness reach
# each other's windows through one wine server. The environment is part of
# the emulator command so that a plain "ctest" in the build folder behaves
# like the leg's script. The C locale makes wine report the user locale en-US
# and ANSI code page 1252 whatever the machine's own locale is.
set(NUV_WINEPREFIX "$ENV{HOME}/.cache/nuv-wineprefix" CACHE PATH "Wine prefix of the Windows test leg")
if(EXISTS ${_nuv_wine_loader})
  set(_nuv_wine ${_nuv_wine_loader})
else()
  set(_nuv_wine wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY LC_ALL=C.UTF-8
    WINEPREFIX=${NUV_WINEPREFIX} WINEARCH=win64 WINEDEBUG=-all,err+module
    WINEDLLOVERRIDES=mscoree,mshtml= ${_nuv_wine})
