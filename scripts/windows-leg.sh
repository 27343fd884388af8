#!/usr/bin/env bash
# The Windows leg of "make test", in two bitnesses: cross-builds platform/ and
# src/common/ with their tests, and compiles every file of src/, for 64-bit
# Windows (x86_64 mingw-w64, into build-mingw) and for 32-bit Windows (i686,
# the bitness the product ships in, into build-mingw32), then runs the tests
# of both under wine, headless, in one 64-bit prefix with one warm wine
# server; the transport test also runs across bitness (a 64-bit test process
# with a 32-bit peer and the other way round). Exits non-zero when a test
# fails, or when a target fails to build (see NUV_WINDOWS_LEG_STRICT below).
#
# Environment:
#   NUV_WINEPREFIX          wine prefix (default ~/.cache/nuv-wineprefix)
#   NUV_WINDOWS_JOBS        parallel compile and test jobs (default 2)
#   NUV_WINDOWS_LEG_STRICT  1 (default): a target that does not compile fails
#                           the leg; 0: it is reported and the tests that did
#                           build still run (for work in progress)
#   NUV_WINDOWS_TESTS       ctest -R regular expression to run a subset
#   NUV_WINDOWS_BITS        "64 32" (default), "64" or "32": the legs to run
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="${NUV_WINDOWS_JOBS:-2}"
strict="${NUV_WINDOWS_LEG_STRICT:-1}"
read -r -a bitnesses <<<"${NUV_WINDOWS_BITS:-64 32}"
export NUV_WINEPREFIX="${NUV_WINEPREFIX:-${HOME:-/tmp}/.cache/nuv-wineprefix}"

say() { echo "[windows-leg] $*"; }
start=$(date +%s)

build_dir() { if [ "$1" = 32 ]; then echo "$root/build-mingw32"; else echo "$root/build-mingw"; fi; }
toolchain() {
  if [ "$1" = 32 ]; then
    echo "$root/cmake/toolchain-mingw-w64-i686.cmake"
  else
    echo "$root/cmake/toolchain-mingw-w64.cmake"
  fi
}
other_bits() { if [ "$1" = 32 ]; then echo 64; else echo 32; fi; }

for bits in "${bitnesses[@]}"; do
  if [ "$bits" != 64 ] && [ "$bits" != 32 ]; then
    say "NUV_WINDOWS_BITS: unknown bitness '$bits' (64 or 32)"
    exit 2
  fi
done

bash "$root/scripts/setup-windows-leg.sh"
setup_done=$(date +%s)

# The same environment the toolchain files give ctest's emulator, for the
# wine server started here.
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$NUV_WINEPREFIX" WINEARCH=win64 WINEDEBUG="-all,err+module"
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64="$(command -v wine64 || command -v wine)"
wine32=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

declare -A build_ok build_seconds test_seconds ctest_rc built_list missing_list

configure_leg() {
  local bits=$1 build
  build="$(build_dir "$bits")"
  mkdir -p "$build"
  local generator=()
  if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/Makefile" ]; then
    generator=(-G Ninja)
  fi
  # The transport test of each leg starts the other leg's test binary as its
  # peer for the cross-bitness run.
  cmake "${generator[@]}" -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$bits")" \
    -DNUV_WINDOWS_ONLY_COMMON=ON -DNUV_BENCH=OFF \
    -DNUV_WINEPREFIX="$NUV_WINEPREFIX" \
    -DNUV_WINDOWS_OTHER_LEG_BIN="$(build_dir "$(other_bits "$bits")")/bin" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1" -DCMAKE_C_FLAGS_DEBUG="-O1" \
    >"$build/windows-leg-configure.log" 2>&1 || {
    grep -A6 "CMake Error" "$build/windows-leg-configure.log" | head -n 40
    say "FAILED: the $bits-bit Windows build could not be configured"
    exit 1
  }
}

build_leg() {
  local bits=$1 build t0
  build="$(build_dir "$bits")"
  t0=$(date +%s)
  say "building the $bits-bit leg in $build (-j$jobs)"
  local build_log="$build/windows-leg-build.log"
  build_ok[$bits]=1
  # Keep going past a target that does not compile so that every other test
  # still builds and runs; the failures are listed in the summary.
  local keep_going=(-k)
  [ -f "$build/build.ninja" ] && keep_going=(-k 0)
  if ! cmake --build "$build" -j "$jobs" -- "${keep_going[@]}" >"$build_log" 2>&1; then
    build_ok[$bits]=0
    grep -E "error:|^FAILED:" "$build_log" | head -n 40 || true
  fi
  build_seconds[$bits]=$(($(date +%s) - t0))
}

# Whether test binary $2 of leg $1 is built and up to date; a stale one left
# over from an earlier build counts as not built.
up_to_date() {
  local build exe
  build="$(build_dir "$1")"
  exe="$build/bin/$2.exe"
  [ -f "$exe" ] || return 1
  [ "${build_ok[$1]:-0}" -eq 1 ] && return 0
  [ -f "$build/build.ninja" ] || return 1
  ninja -C "$build" -n "bin/$2.exe" 2>/dev/null | grep -q "no work to do"
}

test_leg() {
  local bits=$1 build t0
  build="$(build_dir "$bits")"
  t0=$(date +%s)
  local all_tests=() built=() missing=() t exe
  mapfile -t all_tests < <(ctest --test-dir "$build" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p')
  for t in "${all_tests[@]}"; do
    # A cross-bitness run ("..._with_32bit_peer") uses its leg's test binary
    # and the other leg's.
    exe="${t%_with_*bit_peer}"
    if up_to_date "$bits" "$exe" &&
      { [ "$exe" = "$t" ] || up_to_date "$(other_bits "$bits")" "$exe"; }; then
      built+=("$t")
    else
      missing+=("$t")
    fi
  done
  built_list[$bits]="${built[*]}"
  missing_list[$bits]="${missing[*]}"
  ctest_rc[$bits]=0
  if [ ${#built[@]} -gt 0 ]; then
    local ctest_args=(--test-dir "$build" -j "$jobs" --output-on-failure --timeout 120)
    if [ ${#missing[@]} -gt 0 ]; then
      ctest_args+=(-E "^($(IFS='|'; echo "${missing[*]}"))\$")
    fi
    if [ -n "${NUV_WINDOWS_TESTS:-}" ]; then
      ctest_args+=(-R "$NUV_WINDOWS_TESTS")
    fi
    say "running ${#built[@]} tests of the $bits-bit leg"
    ctest "${ctest_args[@]}" || ctest_rc[$bits]=$?
  fi
  test_seconds[$bits]=$(($(date +%s) - t0))
}

for bits in "${bitnesses[@]}"; do
  say "configuring the $bits-bit leg"
  configure_leg "$bits"
done
# Every build before any test: the cross-bitness runs need both legs' binaries.
for bits in "${bitnesses[@]}"; do
  build_leg "$bits"
done

# One warm wine server for both legs instead of one per test binary. Its
# system processes (services, explorer /desktop, ...) live as long as it
# does, so start them here, detached from ctest's output pipes: started by
# the first test they would hold that test's pipe open and ctest would wait
# for it until the timeout. A server already running for this prefix
# (another run) is used as it is and left alone afterwards.
if "$wineserver" -p </dev/null >/dev/null 2>&1; then
  trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
fi
say "warming up $("$wine64" --version 2>/dev/null || echo wine), 64- and 32-bit"
"$wine64" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
"$wine32" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true

for bits in "${bitnesses[@]}"; do
  test_leg "$bits"
done

echo
failed=0
say "summary ($(($(date +%s) - start)) s, of which set-up check $((setup_done - start)) s)"
for bits in "${bitnesses[@]}"; do
  say "  $bits-bit leg: build ${build_seconds[$bits]} s, tests ${test_seconds[$bits]} s"
  say "    tests run under wine: ${built_list[$bits]:-none}"
  if [ -n "${missing_list[$bits]}" ]; then
    say "    tests not built:      ${missing_list[$bits]}"
  fi
  if [ "${build_ok[$bits]}" -eq 0 ]; then
    say "    build errors: see $(build_dir "$bits")/windows-leg-build.log"
    [ "$strict" = "1" ] && failed=1
  fi
  if [ "${ctest_rc[$bits]}" -ne 0 ]; then
    say "    FAILED: tests failed under wine"
    failed=1
  fi
done
if [ $failed -ne 0 ]; then
  say "FAILED (NUV_WINDOWS_LEG_STRICT=0 lets build errors pass when the tests that built pass)"
  exit 1
fi
say "passed"
