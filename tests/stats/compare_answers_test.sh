#!/bin/sh
# The comparison of R's answers on its own: the kept answers shifted in
# their 16th significant digit still agree, shifted in the 9th they do
# not, and a changed command or a missing line is a difference.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kept="$here/fixtures/reporter_commands.txt"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
shift_numbers() {  # relative shift, output file
  /usr/bin/python3 - "$kept" "$1" "$2" <<'PY'
import sys
source, shift, out = sys.argv[1], float(sys.argv[2]), sys.argv[3]
with open(source, encoding="utf-8") as f, open(out, "w", encoding="utf-8") as w:
    for line in f:
        fields = line.rstrip("\n").split(";")
        fields[-2:] = [repr(float(x) * (1 + shift)) for x in fields[-2:]]
        w.write(";".join(fields) + "\n")
PY
}
expect() {  # status, description, file
  status=0
  /usr/bin/python3 "$here/compare_answers.py" "$kept" "$3" >"$scratch/out" || status=$?
  if [ "$status" -ne "$1" ]; then
    echo "FAILED: $2 (exit $status, expected $1)"; cat "$scratch/out"; exit 1
  fi
  echo "ok: $2"
}
shift_numbers 3e-16 "$scratch/digit16.txt"
expect 0 "answers shifted in the 16th digit agree" "$scratch/digit16.txt"
shift_numbers 1e-8 "$scratch/digit9.txt"
expect 1 "answers shifted in the 9th digit differ" "$scratch/digit9.txt"
sed '1s/shapiro.test(s)/shapiro.test(t)/' "$kept" >"$scratch/command.txt"
expect 1 "a changed command differs" "$scratch/command.txt"
sed '$d' "$kept" >"$scratch/short.txt"
expect 1 "a missing answer differs" "$scratch/short.txt"
