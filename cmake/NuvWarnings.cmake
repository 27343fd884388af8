# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(NUV_WERROR)
  add_compile_options(-Werror)
endif()
if(NUV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined -fno-sanitize=vptr)
  add_link_options(-fsanitize=address,undefined)
endif()
if(NUV_FUZZ)
  # Every library is instrumented for coverage; the fuzz targets add the
  # libFuzzer driver themselves.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The environment of every sanitized test run (asan preset) and fuzz run:
# LeakSanitizer on, with the suppressions of tests/lsan-suppressions.txt
# (allocations the V8 library makes for the life of the process). Child
# processes that a test starts inherit it.
set(NUV_SANITIZER_ENV
    "ASAN_OPTIONS=detect_leaks=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan-suppressions.txt:print_suppressions=0")
