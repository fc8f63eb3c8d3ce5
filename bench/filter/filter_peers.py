#!/usr/bin/python3
"""Times numpy and pandas on the rows of filter_bench (1,000,000 records,
the same hashed formulas): the mask of years {2005, 2006, 2010}, months
{3, 4, 5, 12}, days {1..10, 20}, categories {1, 3, 4} and the two upper bins
of x cut at 20, 40, 60, 80 (x >= 60).

warm: numpy isin on calendar components, category codes and bins computed
beforehand (what the filter keeps between runs); cold: pandas from the
seconds, with .dt extraction and searchsorted for the bins. Prints the min
and median of 9 runs in milliseconds, and the load average.

Run with Debian's interpreter: /usr/bin/python3 bench/filter/filter_peers.py
"""
import os
import statistics
import time

import numpy as np
import pandas as pd

N = 1_000_000
UNIX_TO_ABSOLUTE = 978307200


def data():
    i = np.arange(N, dtype=np.uint64)
    t = -3e8 + ((i * np.uint64(2654435761)) % np.uint64(4294967296)).astype(np.float64) * 0.25
    t[(i % np.uint64(97)) == 0] = np.nan
    c = ((i * np.uint64(40503)) % np.uint64(7)).astype(np.float64)
    x = ((i * np.uint64(7919)) % np.uint64(1000)).astype(np.float64) / 10
    x[(i % np.uint64(101)) == 0] = np.nan
    return t, c, x


YEARS, MONTHS, DAYS = [2005, 2006, 2010], [3, 4, 5, 12], list(range(1, 11)) + [20]
CUTS = np.array([20.0, 40.0, 60.0, 80.0])


def cold(t, c, x):
    stamps = pd.Series(pd.to_datetime(t + UNIX_TO_ABSOLUTE, unit="s"))
    keep = stamps.dt.year.isin(YEARS).to_numpy()
    keep &= stamps.dt.month.isin(MONTHS).to_numpy()
    keep &= stamps.dt.day.isin(DAYS).to_numpy()
    codes, levels = pd.factorize(c, sort=True)
    keep &= np.isin(codes, [1, 3, 4])
    bins = np.searchsorted(CUTS, x, side="right")
    keep &= np.isin(bins, [3, 4]) & ~np.isnan(x)
    return np.packbits(keep, bitorder="little")


def warm_inputs(t, c, x):
    stamps = pd.Series(pd.to_datetime(t + UNIX_TO_ABSOLUTE, unit="s"))
    year = stamps.dt.year.fillna(-1).to_numpy(np.int32)
    month = stamps.dt.month.fillna(0).to_numpy(np.int32)
    day = stamps.dt.day.fillna(0).to_numpy(np.int32)
    codes, _ = pd.factorize(c, sort=True)
    bins = np.searchsorted(CUTS, x, side="right")
    bins[np.isnan(x)] = 5
    return year, month, day, codes.astype(np.int32), bins


def warm(year, month, day, codes, bins):
    keep = np.isin(year, YEARS)
    keep &= np.isin(month, MONTHS)
    keep &= np.isin(day, DAYS)
    keep &= np.isin(codes, [1, 3, 4])
    keep &= np.isin(bins, [3, 4])
    return np.packbits(keep, bitorder="little")


def times_ms(fn, runs=9):
    out = []
    for _ in range(runs):
        start = time.perf_counter()
        fn()
        out.append((time.perf_counter() - start) * 1e3)
    return min(out), statistics.median(out)


def main():
    t, c, x = data()
    inputs = warm_inputs(t, c, x)
    print("load average", " ".join(f"{v:.2f}" for v in os.getloadavg()))
    print("count", int(np.unpackbits(cold(t, c, x), bitorder="little").sum()))
    for name, fn in [("numpy warm", lambda: warm(*inputs)), ("pandas cold", lambda: cold(t, c, x))]:
        lo, mid = times_ms(fn)
        print(f"{name:12s} min {lo:8.1f} ms  median {mid:8.1f} ms", flush=True)


if __name__ == "__main__":
    main()
