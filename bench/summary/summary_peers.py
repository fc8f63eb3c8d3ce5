#!/usr/bin/python3
"""Times pandas describe() plus scipy's median_abs_deviation on the data of
stats_outline_bench: 20 columns of 1,000,000 values, value r of column c from
splitmix64((c << 32) | r) in [-500000, 500000), every tenth row of column 0
missing. That is count, mean, standard deviation, extremes and quartiles,
and the median absolute deviation: what the outline's 16 statistic columns
need (range, interquartile range, standard error and the interval are
arithmetic on those). Prints min and median of 10 runs, in milliseconds, and
x0's statistics for comparison with the benchmark's line.

Run with Debian's interpreter: /usr/bin/python3 bench/summary/summary_peers.py
"""
import os
import sys
import time
from pathlib import Path

import numpy as np
import pandas as pd
import scipy
from scipy.stats import median_abs_deviation

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "util"))
from numpy_peers import splitmix64  # noqa: E402

ROWS = 1_000_000
COLUMNS = 20


def column(c):
    bits = splitmix64((np.uint64(c) << np.uint64(32)) | np.arange(ROWS, dtype=np.uint64)) >> np.uint64(11)
    x = (bits.astype(np.float64) * 2.0 ** -53 - 0.5) * 1e6
    if c == 0:
        x[3::10] = np.nan
    return x


def statistics(frame):
    described = frame.describe()
    mad = median_abs_deviation(frame.to_numpy(), axis=0, nan_policy="omit")
    return described, mad


def main():
    frame = pd.DataFrame({f"x{c}": column(c) for c in range(COLUMNS)})
    print(f"pandas {pd.__version__}, scipy {scipy.__version__}, {ROWS} x {COLUMNS}, "
          f"load average {os.getloadavg()}")
    times = []
    for _ in range(10):
        start = time.perf_counter()
        described, mad = statistics(frame)
        times.append((time.perf_counter() - start) * 1e3)
    times.sort()
    print(f"describe() + median_abs_deviation: min {times[0]:.1f} ms, median {times[len(times) // 2]:.1f} ms")
    x0 = described["x0"]
    print(f"x0: count {x0['count']:.0f} mean {x0['mean']:.3f} std {x0['std']:.3f} min {x0['min']:.3f} "
          f"median {x0['50%']:.3f} max {x0['max']:.3f} mad {mad[0]:.3f}")


if __name__ == "__main__":
    main()
