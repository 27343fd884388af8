#!/usr/bin/env bash
# Runs the bridge and conversion benchmarks of a build and prints each
# measurement beside its reference, with the ratio and the target:
#   host property read from page script   vs  two raw copy-data messages
#   encoding / decoding 100,000 values     vs  JSON.stringify / JSON.parse
# Each benchmark runs several times; the fastest run counts (the machine is
# shared, and slower runs only add other programs' noise).
# Usage: scripts/run-benchmarks.sh [build directory, default build-release]
set -euo pipefail

build_dir=${1:-build-release}
bin="$build_dir/bin"
repetitions=${NUV_BENCH_REPETITIONS:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for program in nuv_bridge_bench nuv_conversion_bench; do
  if [[ ! -x "$bin/$program" ]]; then
    echo "missing $bin/$program: build the release preset first (cmake --preset release)" >&2
    exit 1
  fi
  "$bin/$program" --benchmark_repetitions="$repetitions" \
    --benchmark_out="$out/$program.csv" --benchmark_out_format=csv >/dev/null 2>"$out/$program.log" ||
    { cat "$out/$program.log" >&2; exit 1; }
done

echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# Fastest repetition of each benchmark, as "name real_time cpu_time unit".
cat "$out"/*.csv | awk -F, '
  /^"BM_/ {
    name = $1; gsub(/"/, "", name); sub(/\/real_time$/, "", name)
    if (name ~ /_(mean|median|stddev|cv)$/) next
    real = $3 + 0; cpu = $4 + 0; unit = $5; gsub(/"/, "", unit)
    if (!(name in best) || real < best[name]) { best[name] = real; bestcpu[name] = cpu; units[name] = unit }
  }
  END { for (n in best) print n, best[n], bestcpu[n], units[n] }' >"$out/best.txt"

awk '
  { real[$1] = $2; cpu[$1] = $3; unit[$1] = $4 }
  function show(label, measured, reference, target, column,   a, b) {
    if (!(measured in real) || !(reference in real)) { printf "%-44s missing\n", label; return }
    a = (column == "cpu") ? cpu[measured] : real[measured]
    b = (column == "cpu") ? cpu[reference] : real[reference]
    printf "%-44s %10.3f %s vs %10.3f %s  ratio %5.2f  (target %.1f, %s)  %s\n", label, a, unit[measured], b, unit[reference], a / b, target, column, (a / b <= target) ? "met" : "MISSED"
  }
  END {
    show("property read from script / copy-data floor", "BM_PropertyReadFromScript", "BM_CopyDataFloor", 1.5, "real")
    show("property read request / copy-data floor", "BM_PropertyReadRequest", "BM_CopyDataFloor", 1.5, "real")
    show("encode 100,000 values / JSON.stringify", "BM_EncodeMixed", "BM_JsonStringifyMixed", 3.0, "cpu")
    show("decode 100,000 values / JSON.parse", "BM_DecodeMixed", "BM_JsonParseMixed", 3.0, "cpu")
    print ""
    print "floors of the page-value interface (what any encoder or decoder over it pays):"
    show("page-value walk alone / JSON.stringify", "BM_WalkMixedOnly", "BM_JsonStringifyMixed", 3.0, "cpu")
    show("page-value building alone / JSON.parse", "BM_BuildMixedOnly", "BM_JsonParseMixed", 3.0, "cpu")
  }' "$out/best.txt"
