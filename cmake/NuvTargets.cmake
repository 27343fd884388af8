include(GoogleTest)

# Helpers that keep the per-folder CMakeLists.txt files short.

# nuv_add_library(name SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A static library whose headers are included from the repository root
# ("src/common/format_text.h", "platform/file_util.h").
function(nuv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# nuv_add_test(name SOURCES ... [DEPS ...] [TIMEOUT seconds] [LABELS ...] [CUSTOM_MAIN])
# One GoogleTest executable in build/bin whose cases CTest runs one by one.
# CUSTOM_MAIN: the sources bring their own main() (for example to set V8 up
# once per process); otherwise gtest_main is linked.
function(nuv_add_test name)
  cmake_parse_arguments(ARG "CUSTOM_MAIN" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT ARG_CUSTOM_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING OR NUV_SANITIZE)
    # Under an emulator (the Windows leg runs wine) or a sanitizer a process
    # costs far more than a test case: the binary runs whole, as one test.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(NUV_SANITIZE)
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "${NUV_SANITIZER_ENV}")
    endif()
    if(ARG_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    return()
  endif()
  # Natively every case is a test of its own ("binary.Suite.Case"), so a
  # failure names the case. The cases are listed when CTest runs, not at
  # build time.
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    EXTRA_ARGS --gtest_brief=1
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()

# nuv_add_fuzzer(name SOURCES ... DEPS ... [SECONDS n])
# A libFuzzer target, built only with NUV_FUZZ, run by CTest for a short,
# bounded time. It starts from its checked-in seeds in tests/fuzz_seeds/<name>
# (required) and writes what it finds new into a corpus folder of the build.
# LeakSanitizer is on, with the suppressions for the V8 library.
function(nuv_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SECONDS" "SOURCES;DEPS" ${ARGN})
  if(NOT NUV_FUZZ)
    return()
  endif()
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 20)
  endif()
  set(seeds ${CMAKE_SOURCE_DIR}/tests/fuzz_seeds/${name})
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "fuzz target ${name} has no seeds: add them to tests/fuzz_seeds")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(nuv_fuzzers ${name})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -E env ${NUV_SANITIZER_ENV}
                   $<TARGET_FILE:${name}> -max_total_time=${ARG_SECONDS} -rss_limit_mb=4096
                   -max_len=65536 ${corpus} ${seeds})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
  file(MAKE_DIRECTORY ${corpus})
endfunction()
