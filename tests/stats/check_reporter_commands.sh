#!/bin/sh
# Has the reporters' R commands written afresh (bottom_line_test in its
# writing mode), runs them with R and compares R's answers with
# fixtures/reporter_commands.txt at a relative tolerance of 1e-10
# (compare_answers.py).
#   check_reporter_commands.sh TEST_PROGRAM
# Exits 77 (skipped) under OSTREL_ORACLES=0, or without R unless
# OSTREL_ORACLES=1 asks for it.
set -eu
program=$1
if [ "${OSTREL_ORACLES:-}" = 0 ]; then
  echo "OSTREL_ORACLES=0: the comparison with R is skipped"; exit 77
fi
if ! command -v Rscript >/dev/null; then
  [ "${OSTREL_ORACLES:-}" = 1 ] && { echo "Rscript is not installed (scripts/install-oracles installs it)"; exit 1; }
  echo "Rscript is not installed: the comparison with R is skipped"; exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
OSTREL_WRITE_REPORTER_COMMANDS="$scratch/commands.txt" "$program" --gtest_filter='BottomLineR.*' >/dev/null
cd "$here/fixtures"
Rscript make_reporter_commands.R "$scratch/commands.txt" "$scratch/answers.txt"
/usr/bin/python3 "$here/compare_answers.py" reporter_commands.txt "$scratch/answers.txt"
