#!/usr/bin/env bash
# Writes the 1,000,000-row Stata, SPSS and fixed-width files with R, then
# times Ostrel's imports, haven, readr and pandas on them in one run.
#   bench/import/run_stat_bench.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/test}"
rows="${2:-1000000}"
base="${TMPDIR:-/tmp}/ostrel-stat-$rows"
[ -f "$base.dta" ] || Rscript "$here/make_stat_bench.R" "$rows" "$base.dta" "$base.sav"
[ -f "$base.txt" ] || Rscript "$here/../../tests/import/fixtures/fwf_oracle.R" "$rows" "$base.txt" "$base.sums"
ls -l "$base.dta" "$base.sav" "$base.txt"
# One process a format, so that each peak memory is its own.
for format in DTA SAV FixedWidth; do
  OSTREL_BENCH_DTA="$base.dta" OSTREL_BENCH_SAV="$base.sav" OSTREL_BENCH_FWF="$base.txt" \
    "$build/bench/import/stat_bench" --benchmark_filter="^Import$format/"
done
OSTREL_BENCH_FWF="$base.txt" "$build/bench/import/stat_bench" --benchmark_filter="^ReadFixedWidth/"
Rscript "$here/time_stat_r.R" "$base.dta" "$base.sav" "$base.txt"
/usr/bin/python3 "$here/time_stat_pandas.py" "$base.dta" "$base.txt"
