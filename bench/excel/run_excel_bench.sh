#!/usr/bin/env bash
# Writes the 200,000 x 10 workbook with openpyxl, then times Ostrel's
# import and R's readxl::read_xlsx on it in one run.
#   bench/excel/run_excel_bench.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/test}"
rows="${2:-200000}"
xlsx="${TMPDIR:-/tmp}/ostrel-bench-$rows.xlsx"
[ -f "$xlsx" ] || /usr/bin/python3 "$here/make_xlsx.py" "$rows" "$xlsx"
ls -l "$xlsx"
OSTREL_EXCEL_BENCH_XLSX="$xlsx" "$build/bench/excel/excel_bench"
Rscript "$here/time_readxl.R" "$xlsx"
