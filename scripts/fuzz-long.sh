#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a given time, one or more at a
# time, from the checked-in seeds plus a corpus kept between runs, and prints
# one line per target: seconds, executions, executions per second, corpus
# size and the outcome. Exits 1 when any target found something; the input
# that did it is kept in <build>/fuzz-findings/<target>/.
#
# Usage: scripts/fuzz-long.sh [build directory, default build-fuzz]
#   FUZZ_SECONDS  time per target (default 600)
#   FUZZ_RUNS     stop a target after this many executions (default: no limit)
#   FUZZ_TARGETS  the targets to run, separated by blanks (default: all)
#   FUZZ_JOBS     targets running at the same time (default 1)
#   FUZZ_MAX_LEN  longest input the fuzzer makes, in bytes (default 65536)
# `make fuzz-long FUZZ_SECONDS=600` builds the fuzz preset and runs this.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$(cd "${1:-$here/build-fuzz}" && pwd)"
seconds=${FUZZ_SECONDS:-600}
runs=${FUZZ_RUNS:-}
jobs=${FUZZ_JOBS:-1}
targets=${FUZZ_TARGETS:-$(ctest --test-dir "$build_dir" -L fuzz -N |
  sed -n 's/^ *Test *#[0-9]*: *//p')}
if [[ -z "$targets" ]]; then
  echo "no fuzz targets in $build_dir: configure and build the fuzz preset first" >&2
  exit 1
fi

logs="$build_dir/fuzz-logs"
mkdir -p "$logs"
# The same sanitizer settings as the short runs under CTest.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan-suppressions.txt:print_suppressions=0}

run_target() {
  local name=$1
  local program="$build_dir/bin/$name"
  local corpus="$build_dir/fuzz-corpus-long/$name"
  local findings="$build_dir/fuzz-findings/$name"
  mkdir -p "$corpus" "$findings"
  local limit=()
  [[ -n "$runs" ]] && limit=(-runs="$runs")
  local start=$SECONDS
  local status=0
  "$program" -max_total_time="$seconds" "${limit[@]}" -rss_limit_mb=4096 -max_len="${FUZZ_MAX_LEN:-65536}" \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$here/tests/fuzz_seeds/$name" \
    >"$logs/$name.log" 2>&1 || status=$?
  local elapsed=$((SECONDS - start))
  local executions
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$name.log" | tail -1)
  local outcome="no finding"
  [[ $status -ne 0 ]] && outcome="FINDING (exit $status), see $logs/$name.log and $findings/"
  printf '%-32s %6ss %12s executions %8s/s  corpus %5s  %s\n' "$name" "$elapsed" \
    "${executions:-?}" "$(( ${executions:-0} / (elapsed > 0 ? elapsed : 1) ))" \
    "$(ls "$corpus" | wc -l)" "$outcome"
  return $status
}

echo "fuzzing each target for up to ${seconds}s${runs:+ or $runs executions}, $jobs at a time ($(nproc) processors, load $(cut -d' ' -f1 /proc/loadavg))"
failed=0
running=0
for name in $targets; do
  run_target "$name" &
  running=$((running + 1))
  if [[ $running -ge $jobs ]]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [[ $running -gt 0 ]]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
