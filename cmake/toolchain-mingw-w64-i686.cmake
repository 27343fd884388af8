# Cross build for 32-bit Windows, the bitness the product ships in, with
# Debian's mingw-w64 (i686, posix thread model); tests run under the 32-bit
# wine loader (wine32 from the i386 architecture) in the same 64-bit prefix
# as the 64-bit leg, as on a 64-bit Windows.
#
#   cmake -S . -B build-mingw32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-i686.cmake \
#         -DNUV_WINDOWS_ONLY_COMMON=ON
set(CMAKE_SYSTEM_PROCESSOR x86)
set(_nuv_triple i686-w64-mingw32)
set(_nuv_wine_loader /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64-common.cmake)
