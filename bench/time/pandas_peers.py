#!/usr/bin/python3
"""Times pandas on the times of time_bench (6 x 10^8 + 100 x the shared
values of bench/util): dt.floor for hours and days, to_period for weeks,
months and years (the floors), min/max/quantiles for the statistics, and
to_period().value_counts() for the period counts. Prints the best of
several runs, in milliseconds.

Run with Debian's interpreter: /usr/bin/python3 bench/time/pandas_peers.py
"""
import sys
from pathlib import Path

import pandas as pd

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "util"))
from numpy_peers import best_ms, values  # noqa: E402

N = 10_000_000
UNIX_TO_ABSOLUTE = 978307200


def main():
    seconds = 6e8 + 100 * values(N)
    stamps = pd.Series(pd.to_datetime(seconds + UNIX_TO_ABSOLUTE, unit="s"))
    rows = [
        ("floor hour", lambda: stamps.dt.floor("H")),
        ("floor day", lambda: stamps.dt.floor("D")),
        ("floor week", lambda: stamps.dt.to_period("W-SUN").dt.start_time),
        ("floor month", lambda: stamps.dt.to_period("M").dt.start_time),
        ("floor year", lambda: stamps.dt.to_period("A").dt.start_time),
        ("stats basic", lambda: (stamps.min(), stamps.max())),
        ("stats quartiles", lambda: stamps.quantile([0.25, 0.5, 0.75])),
        ("counts hour", lambda: stamps.dt.to_period("H").value_counts()),
        ("counts day", lambda: stamps.dt.to_period("D").value_counts()),
        ("counts month", lambda: stamps.dt.to_period("M").value_counts()),
    ]
    for name, fn in rows:
        print(f"{name:16s} {best_ms(fn, runs=3):10.1f} ms", flush=True)


if __name__ == "__main__":
    main()
