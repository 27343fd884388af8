# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread
# model, so std::thread and std::mutex work), tests run under wine64.
#
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
#         -DNUV_WINDOWS_ONLY_COMMON=ON
#
# scripts/windows-leg.sh does this, prepares the wine prefix and runs ctest.
# toolchain-mingw-w64-i686.cmake is the 32-bit twin.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_nuv_triple x86_64-w64-mingw32)
set(_nuv_wine_loader /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64-common.cmake)
