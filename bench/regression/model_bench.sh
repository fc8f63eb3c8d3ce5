#!/usr/bin/env bash
# bench/regression/model_bench.sh [BUILD_DIR]: a logit of 1,000,000 rows x
# 20 columns from a document's columns to the estimates, against statsmodels'
# Logit from a NumPy array in memory, on the fitting library benchmark's data
# (written once into BUILD_DIR/bench-data). The model runs twice: the first
# run fills PoCL's kernel cache (cold), the second reads it (warm), as every
# later start of the application does.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
data=$build/bench-data
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
mkdir -p "$data"
[ -f "$data/x.bin" ] || "$build/bench/varrow/vrw_models_bench" --write-data "$data"
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 "$here/model_bench.py" "$data"
echo "== the model, cold kernel cache"
POCL_CACHE_DIR=$cache VRW_BENCH_DATA=$data "$build/bench/regression/regression_model_bench" --benchmark_counters_tabular=true
echo "== the model, warm kernel cache"
POCL_CACHE_DIR=$cache VRW_BENCH_DATA=$data "$build/bench/regression/regression_model_bench" --benchmark_counters_tabular=true
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
