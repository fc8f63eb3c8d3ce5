#!/usr/bin/env bash
# bench/varrow/models_bench.sh [BUILD_DIR]: fits on a million rows (Cox and
# multinomial logit: a hundred thousand) by R, statsmodels and libvarrow on
# the same data (written once into BUILD_DIR/bench-data), each load timed
# apart from its fit. The library runs twice: the first run fills PoCL's
# kernel cache (cold), the second reads it (warm), as every later start of
# the application does.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
bench=$build/bench/varrow/vrw_models_bench
data=$build/bench-data
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
mkdir -p "$data"
[ -f "$data/x_small.bin" ] || "$bench" --write-data "$data"
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
Rscript "$here/models_bench.R" "$data"
/usr/bin/python3 "$here/models_bench.py" "$data"
echo "== libvarrow, cold kernel cache"
POCL_CACHE_DIR=$cache VRW_BENCH_DATA=$data "$bench" --benchmark_counters_tabular=true
echo "== libvarrow, warm kernel cache"
POCL_CACHE_DIR=$cache VRW_BENCH_DATA=$data "$bench" --benchmark_counters_tabular=true
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
