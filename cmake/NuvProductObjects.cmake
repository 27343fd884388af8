# nuv_product_objects: every source file of src/ compiled for Windows, as an
# object library, in the Windows legs. The product links CEF's binary
# distribution on Windows, which this machine does not have, so nothing is
# linked: the point is that each file, the Windows entry included, compiles
# for the target with this project's warnings as errors, against cef/include
# (CEF's public headers) and jsoncpp's headers.
#
# The file list is taken from the tree so that a new file joins by itself;
# files for POSIX only (*_posix.cc) are left out, as the product's own
# Windows build leaves them out.
file(GLOB_RECURSE _nuv_product_sources CONFIGURE_DEPENDS
     RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src/*.cc)
list(FILTER _nuv_product_sources EXCLUDE REGEX "_posix\\.cc$")
list(SORT _nuv_product_sources)
list(TRANSFORM _nuv_product_sources PREPEND ${CMAKE_SOURCE_DIR}/)

# jsoncpp's headers are the same for every target (Debian's libjsoncpp-dev,
# installed by scripts/setup.sh); only its library would be per target.
set(NUV_JSONCPP_INCLUDE_DIR /usr/include/jsoncpp CACHE PATH "jsoncpp headers (json/value.h)")
if(NOT EXISTS ${NUV_JSONCPP_INCLUDE_DIR}/json/value.h)
  message(FATAL_ERROR "jsoncpp headers not found in ${NUV_JSONCPP_INCLUDE_DIR}: run scripts/setup.sh")
endif()

add_library(nuv_product_objects OBJECT ${_nuv_product_sources})
target_include_directories(nuv_product_objects PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/cef)
target_include_directories(nuv_product_objects SYSTEM PRIVATE ${NUV_JSONCPP_INCLUDE_DIR})
# time_t as the product's own Windows build has it: Microsoft's compilers
# make it 64 bits in 32-bit programs too (since 2005), mingw-w64 keeps the
# 32 bits of the old msvcrt.dll for i686 unless asked. Only for code that is
# compiled, not run: Debian's prebuilt i686 winpthreads expects the 32-bit
# struct timespec, so a program built this way and calling
# std::this_thread::sleep_for would not sleep (see docs/windows-leg.md).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_compile_definitions(nuv_product_objects PRIVATE __MINGW_USE_VC2005_COMPAT)
endif()
list(LENGTH _nuv_product_sources _nuv_product_count)
message(STATUS "Windows: ${_nuv_product_count} source files of src/ compiled as nuv_product_objects")
