#!/usr/bin/env bash
# Writes the 1,000,000-row file with R, then times Ostrel's import and R's
# fread and read.csv on it in one run.
#   bench/import/run_import_bench.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/test}"
rows="${2:-1000000}"
csv="${TMPDIR:-/tmp}/ostrel-fwrite-$rows.csv"
[ -f "$csv" ] || Rscript "$here/../../tests/import/fread_oracle.R" "$rows" "$csv" "$csv.stats"
ls -l "$csv"
OSTREL_IMPORT_BENCH_CSV="$csv" "$build/bench/import/import_bench"
Rscript "$here/time_r.R" "$csv"
