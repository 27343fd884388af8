# Third-party dependencies, all from Debian's packages (scripts/setup.sh).
#   nuv::v8      V8 10.2 from libnode108, unpacked into third_party/libnode
#   nuv::jsoncpp jsoncpp
#   nuv::re2     RE2 (libre2-dev)
#   GTest, benchmark
set(NUV_LIBNODE_DIR ${CMAKE_SOURCE_DIR}/third_party/libnode CACHE PATH "Unpacked libnode108 + libnode-dev")

if(NOT NUV_WINDOWS_ONLY_COMMON)
  set(_v8_include ${NUV_LIBNODE_DIR}/usr/include/node)
  set(_v8_lib ${NUV_LIBNODE_DIR}/usr/lib/x86_64-linux-gnu/libnode.so.108)
  if(NOT EXISTS ${_v8_include}/v8.h OR NOT EXISTS ${_v8_lib})
    message(FATAL_ERROR "V8 (libnode108) not found under ${NUV_LIBNODE_DIR}: run scripts/setup.sh")
  endif()
  add_library(nuv_v8 INTERFACE)
  # SYSTEM: V8's own headers are not held to this project's warning flags.
  target_include_directories(nuv_v8 SYSTEM INTERFACE ${_v8_include})
  target_link_libraries(nuv_v8 INTERFACE ${_v8_lib})
  target_link_options(nuv_v8 INTERFACE "LINKER:-rpath,${NUV_LIBNODE_DIR}/usr/lib/x86_64-linux-gnu")
  add_library(nuv::v8 ALIAS nuv_v8)

  find_package(jsoncpp CONFIG REQUIRED)
  add_library(nuv_jsoncpp INTERFACE)
  if(TARGET jsoncpp_lib)
    target_link_libraries(nuv_jsoncpp INTERFACE jsoncpp_lib)
  else()
    target_link_libraries(nuv_jsoncpp INTERFACE jsoncpp_static)
  endif()
  add_library(nuv::jsoncpp ALIAS nuv_jsoncpp)

  # RE2 for the regular expressions of nuv_client's expectations: linear in
  # the text, no recursion, so any packet can be matched.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(NUV_RE2 REQUIRED IMPORTED_TARGET re2)
  add_library(nuv::re2 ALIAS PkgConfig::NUV_RE2)

  if(NUV_BENCH)
    find_package(benchmark REQUIRED)
  endif()
  find_package(ICU REQUIRED COMPONENTS uc i18n)
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Cross build for Windows: GoogleTest built from the sources of Debian's
  # googletest package, in its own binary folder, without this project's
  # warning flags.
  set(NUV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  get_directory_property(_nuv_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${NUV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_nuv_options}")
else()
  find_package(GTest REQUIRED)
endif()
find_package(Threads REQUIRED)
