#!/usr/bin/env bash
# bench/varrow/whole_fit_bench.sh [BUILD_DIR] [ROWS...]: statsmodels and libvarrow
# side by side on the same data at each row count (250,000, 1,000,000 and
# 4,000,000 by default), each from data already in memory, and the ratios.
# The library's time is the whole fit: start (context and kernels from
# PoCL's cache), load and fit. The cache is filled first at two row counts
# no run uses (row kernels have two work-group variants: 6,251 blocks and
# 256), so each count's first repetition is its first fit at that count.
# Benchmarks are run by hand, never in CI: they take minutes and gigabytes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
shift || true
sizes=${*:-250000 1000000 4000000}
bench=$build/bench/varrow/vrw_whole_fit_bench
data=$build/bench-data
repetitions=${REPETITIONS:-3}
mkdir -p "$data"
export POCL_CACHE_DIR=${POCL_CACHE_DIR:-$build/pocl-cache}
export VRW_BENCH_DATA=$data
for rows in 100003 4096; do
    [ -f "$data/x_$rows.bin" ] || "$bench" --write-data "$data" "$rows" >/dev/null
    VRW_BENCH_ROWS=$rows "$bench" >/dev/null 2>&1
done
for rows in $sizes; do
    [ -f "$data/x_$rows.bin" ] || "$bench" --write-data "$data" "$rows" >/dev/null
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    VRW_BENCH_ROWS=$rows "$bench" --benchmark_repetitions="$repetitions" \
        --benchmark_format=json >"$data/vrw_$rows.json" 2>/dev/null
    /usr/bin/python3 "$here/whole_fit_bench.py" "$data" "$rows" "$repetitions" \
        >"$data/sm_$rows.json"
    load_after=$(cut -d' ' -f1-3 /proc/loadavg)
    /usr/bin/python3 - "$data/vrw_$rows.json" "$data/sm_$rows.json" "$rows" \
        "$load_before" "$load_after" <<'PY'
import json, sys
vrw = json.load(open(sys.argv[1]))["benchmarks"]
sm = {r["model"]: r for r in map(json.loads, open(sys.argv[2]))}
print("== %s rows, load average %s before, %s after" % (sys.argv[3], sys.argv[4], sys.argv[5]))
print("%-8s %9s %9s %8s %8s %8s %10s %10s %7s %9s" % (
    "model", "vrw min", "vrw med", "start", "load", "fit", "first", "sm min", "ratio", "b1 diff"))
for name in sm:
    runs = [b for b in vrw if b.get("run_name", "").startswith("Whole/%s/" % name)]
    each = [b for b in runs if b.get("run_type") == "iteration"]
    agg = {b["aggregate_name"]: b for b in runs if b.get("run_type") == "aggregate"}
    if not each:
        print("%-8s failed" % name)
        continue
    low, med = agg["min"], agg["median"]
    whole = low["real_time"] / 1000
    print("%-8s %8.3fs %8.3fs %7.3fs %7.3fs %7.3fs %9.3fs %9.3fs %6.1fx %9.1e" % (
        name, whole, med["real_time"] / 1000, low["start_s"], low["load_s"], low["fit_s"],
        each[0]["real_time"] / 1000, sm[name]["min"], sm[name]["min"] / whole,
        abs(each[0]["b1"] - sm[name]["b1"]) / abs(sm[name]["b1"])))
PY
done
