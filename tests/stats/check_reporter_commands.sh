#!/bin/sh
# Where R is installed: has the reporters' R commands written afresh
# (bottom_line_test in its writing mode), runs them with R and compares R's
# answers with fixtures/reporter_commands.txt. Without R it passes.
#   check_reporter_commands.sh TEST_PROGRAM
set -eu
program=$1
command -v Rscript >/dev/null || { echo "Rscript not installed: skipped"; exit 0; }
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
OSTREL_WRITE_REPORTER_COMMANDS="$scratch/commands.txt" "$program" --gtest_filter='BottomLineR.*' >/dev/null
cd "$here/fixtures"
Rscript make_reporter_commands.R "$scratch/commands.txt" "$scratch/answers.txt"
diff "$scratch/answers.txt" reporter_commands.txt
