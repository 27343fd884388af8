#!/usr/bin/env bash
# The Windows leg of "make test": cross-builds platform/ and src/common/ with
# their tests for 64-bit Windows (mingw-w64) into build-mingw and runs the
# tests under wine, headless. Exits non-zero when a test fails, or when a
# target fails to build (see NUV_WINDOWS_LEG_STRICT below).
#
# Environment:
#   NUV_WINEPREFIX          wine prefix (default ~/.cache/nuv-wineprefix)
#   NUV_WINDOWS_JOBS        parallel compile and test jobs (default 2)
#   NUV_WINDOWS_LEG_STRICT  1 (default): a target that does not compile fails
#                           the leg; 0: it is reported and the tests that did
#                           build still run (for work in progress)
#   NUV_WINDOWS_TESTS       ctest -R regular expression to run a subset
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-mingw"
jobs="${NUV_WINDOWS_JOBS:-2}"
strict="${NUV_WINDOWS_LEG_STRICT:-1}"
export NUV_WINEPREFIX="${NUV_WINEPREFIX:-${HOME:-/tmp}/.cache/nuv-wineprefix}"

say() { echo "[windows-leg] $*"; }
start=$(date +%s)

bash "$root/scripts/setup-windows-leg.sh"

# The same environment the toolchain file gives ctest's emulator, for the
# wine server started here.
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$NUV_WINEPREFIX" WINEARCH=win64 WINEDEBUG="-all,err+module"
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine)"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

say "configuring $build"
mkdir -p "$build"
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/Makefile" ]; then
  generator=(-G Ninja)
fi
cmake "${generator[@]}" -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" \
  -DNUV_WINDOWS_ONLY_COMMON=ON -DNUV_BENCH=OFF \
  -DNUV_WINEPREFIX="$NUV_WINEPREFIX" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1" -DCMAKE_C_FLAGS_DEBUG="-O1" \
  >"$build/windows-leg-configure.log" 2>&1 || {
  grep -A6 "CMake Error" "$build/windows-leg-configure.log" | head -n 40
  say "FAILED: the Windows build could not be configured"
  exit 1
}

say "building (-j$jobs)"
build_log="$build/windows-leg-build.log"
build_ok=1
# Keep going past a target that does not compile so that every other test
# still builds and runs; the failures are listed in the summary.
keep_going=(-k)
[ -f "$build/build.ninja" ] && keep_going=(-k 0)
if ! cmake --build "$build" -j "$jobs" -- "${keep_going[@]}" >"$build_log" 2>&1; then
  build_ok=0
  grep -E "error:|^FAILED:" "$build_log" | head -n 40 || true
fi

# Tests whose executable is built and up to date; a stale one left over from
# an earlier build counts as not built.
up_to_date() {
  local exe="$build/bin/$1.exe"
  [ -f "$exe" ] || return 1
  [ $build_ok -eq 1 ] && return 0
  [ -f "$build/build.ninja" ] || return 1
  ninja -C "$build" -n "bin/$1.exe" 2>/dev/null | grep -q "no work to do"
}
mapfile -t all_tests < <(ctest --test-dir "$build" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p')
built=()
missing=()
for t in "${all_tests[@]}"; do
  if up_to_date "$t"; then built+=("$t"); else missing+=("$t"); fi
done

ctest_rc=0
if [ ${#built[@]} -gt 0 ]; then
  # One warm wine server for the whole run instead of one per test binary.
  # Its system processes (services, explorer /desktop, ...) live as long as
  # it does, so start them here, detached from ctest's output pipes: started
  # by the first test they would hold that test's pipe open and ctest would
  # wait for it until the timeout.
  # A server already running for this prefix (another run) is used as it
  # is and left alone afterwards.
  if "$wineserver" -p </dev/null >/dev/null 2>&1; then
    trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
  fi
  "$wine" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  ctest_args=(--test-dir "$build" -j "$jobs" --output-on-failure --timeout 120)
  if [ ${#missing[@]} -gt 0 ]; then
    ctest_args+=(-E "^($(IFS='|'; echo "${missing[*]}"))\$")
  fi
  if [ -n "${NUV_WINDOWS_TESTS:-}" ]; then
    ctest_args+=(-R "$NUV_WINDOWS_TESTS")
  fi
  say "running ${#built[@]} test binaries under $("$wine" --version 2>/dev/null || echo wine)"
  ctest "${ctest_args[@]}" || ctest_rc=$?
fi

echo
say "summary ($(($(date +%s) - start)) s)"
say "  test binaries run under wine: ${#built[@]}${built:+ (${built[*]})}"
if [ ${#missing[@]} -gt 0 ]; then
  say "  test binaries not built:      ${#missing[@]} (${missing[*]})"
fi
if [ $build_ok -eq 0 ]; then
  say "  build errors: see $build_log"
fi
if [ $ctest_rc -ne 0 ]; then
  say "FAILED: tests failed under wine"
  exit 1
fi
if [ $build_ok -eq 0 ] && [ "$strict" = "1" ]; then
  say "FAILED: the Windows build has errors (NUV_WINDOWS_LEG_STRICT=0 to run what builds)"
  exit 1
fi
say "passed"
