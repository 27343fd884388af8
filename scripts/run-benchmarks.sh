#!/usr/bin/env bash
# Runs the benchmark programs of a build and prints one table: every figure
# with its target, what was measured, its floor measured in the same run,
# the ratio, and whether the target was met; then the machine and its load.
# Each program alternates a figure's runs with its floor's runs; a ratio is
# the median of the ratios of those pairs (see bench/paired_runner.h).
# Usage: scripts/run-benchmarks.sh [build directory, default build-release]
#   NUV_BENCH_PAIRS=N    pairs per figure (default 7)
#   NUV_BENCH_ONLY=name  run only that program (bridge, conversion, command)
#   Google Benchmark's own output of each run goes to <build>/bench-*.log.
set -euo pipefail

build_dir=${1:-build-release}
bin="$build_dir/bin"
pairs=${NUV_BENCH_PAIRS:-7}
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for name in command bridge conversion; do
  if [[ -n "${NUV_BENCH_ONLY:-}" && "$NUV_BENCH_ONLY" != "$name" ]]; then
    continue
  fi
  program="$bin/nuv_${name}_bench"
  if [[ ! -x "$program" ]]; then
    echo "missing $program: build the release preset first (cmake --preset release)" >&2
    exit 1
  fi
  echo "running $name benchmarks ($pairs pairs per figure)..." >&2
  if ! "$program" --pairs="$pairs" >>"$rows" 2>"$build_dir/bench-$name.log"; then
    echo "$program failed; its output is in $build_dir/bench-$name.log" >&2
    tail -n 20 "$build_dir/bench-$name.log" >&2
    exit 1
  fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

printf '%-58s %-16s %-38s %-14s %7s  %s\n' figure target measured floor ratio result
grep '^ROW|' "$rows" | while IFS='|' read -r _ label target measured floor ratio met floor_label count; do
  printf '%-58s %-16s %-38s %-14s %6sx  %s\n' "$label" "$target" "$measured" "$floor" "$ratio" "$met"
done
echo
echo "floors:"
grep '^ROW|' "$rows" | while IFS='|' read -r _ label _ _ _ _ _ floor_label count; do
  printf '  %-58s %s (%s pairs)\n' "$label" "$floor_label" "$count"
done
echo
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(free -g | awk '/^Mem:/ {print $2}') GB"
echo "load average: $load_before before, $load_after after"
