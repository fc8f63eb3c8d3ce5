#!/usr/bin/python3
"""Compares R's answers with the kept ones, number by number.

    compare_answers.py EXPECTED ACTUAL [RELATIVE_TOLERANCE]

Each line is "case;command;statistic;p-value" (the command may hold ";").
The case and the command must be the same text, in the same order; the
statistic and the p-value must agree within the relative tolerance
(default 1e-10): R's last digits move with the BLAS and the compiler it
was built with. Prints each difference; exits 1 when there is one.
"""
import math
import sys


def parse(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, start=1):
            line = line.rstrip("\n")
            if not line:
                continue
            fields = line.split(";")
            if len(fields) < 4:
                sys.exit(f"{path}:{number}: not case;command;statistic;p-value")
            rows.append((fields[0], ";".join(fields[1:-2]), float(fields[-2]), float(fields[-1])))
    return rows


def close(a, b, tolerance):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b or abs(a - b) <= tolerance * max(abs(a), abs(b))


def main():
    expected, actual = parse(sys.argv[1]), parse(sys.argv[2])
    tolerance = float(sys.argv[3]) if len(sys.argv) > 3 else 1e-10
    differences = []
    if len(expected) != len(actual):
        differences.append(f"{len(actual)} answers, {len(expected)} expected")
    for e, a in zip(expected, actual):
        if e[:2] != a[:2]:
            differences.append(f"{a[0]}: command {a[1]!r}, expected {e[0]}: {e[1]!r}")
            continue
        for name, x, y in (("statistic", e[2], a[2]), ("p-value", e[3], a[3])):
            if not close(x, y, tolerance):
                differences.append(f"{e[0]}: {name} {y!r}, expected {x!r} (relative tolerance {tolerance:g})")
    for difference in differences:
        print(difference)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
