#!/usr/bin/python3
"""Times pandas on the rows of time_derived_bench (1,000,000 rows, the same
hashed formulas): dt.isocalendar() (ISO year and week) with dt.dayofyear
of a datetime column, and pd.to_datetime of year, month and day columns.
Prints the min and median of 9 runs in milliseconds (each the best of 5
calls) and the load average.

    /usr/bin/python3 bench/derived/pandas_time_peers.py
"""
import os
import statistics
import time

import numpy as np
import pandas as pd

N = 1_000_000


def hashed(a, m):
    i = np.arange(N, dtype=np.uint64)
    return ((i * np.uint64(a)) % np.uint64(m)).astype(np.int64)


def times_ms(fn, runs=9, calls=5):
    out = []
    for _ in range(runs):
        start = time.perf_counter()
        for _ in range(calls):
            fn()
        out.append((time.perf_counter() - start) * 1e3 / calls)
    return min(out), statistics.median(out)


def main():
    seconds = hashed(2654435761, 6311390400) - 3187296000 + 978307200
    t = pd.Series(pd.to_datetime(seconds, unit="s"))
    parts = pd.DataFrame({"year": 1900 + hashed(40503, 201), "month": 1 + hashed(2654435761, 12),
                          "day": 1 + hashed(69069, 28)})
    print("load average", " ".join(f"{v:.2f}" for v in os.getloadavg()))
    cases = [("isocalendar + dayofyear", lambda: (t.dt.isocalendar(), t.dt.dayofyear)),
             ("to_datetime(y, m, d)", lambda: pd.to_datetime(parts))]
    for name, fn in cases:
        lo, mid = times_ms(fn)
        print(f"{name:24s} min {lo:9.3f} ms  median {mid:9.3f} ms", flush=True)


if __name__ == "__main__":
    main()
