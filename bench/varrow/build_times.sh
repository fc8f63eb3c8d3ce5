#!/usr/bin/env bash
# bench/varrow/build_times.sh [BUILD_DIR]: times the kernel families cold (PoCL
# compiles everything) and warm (from a filled kernel cache).
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build/release}
bench=$build/bench/varrow/vrw_programs_bench
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
echo "== cold: no kernel cache"
POCL_KERNEL_CACHE=0 "$bench" --benchmark_counters_tabular=true
echo "== warm: filled kernel cache"
POCL_CACHE_DIR=$cache "$bench" --benchmark_filter=BuildFamily >/dev/null
POCL_CACHE_DIR=$cache "$bench" --benchmark_counters_tabular=true
