#!/usr/bin/python3
"""Times pandas grouping the records of pivot_bench (1,000,000 records, the
same formulas) by five keys with the mean, sum, count, standard deviation
and median of x. Prints the min and median of 9 runs in milliseconds, and
the load average.

Run with Debian's interpreter: /usr/bin/python3 bench/pivot/pivot_peers.py
"""
import os
import statistics
import time

import numpy as np
import pandas as pd

N = 1_000_000


def levels(i, a, k):
    return (((i * np.uint64(a)) % np.uint64(4294967296)) * np.uint64(k)) >> np.uint64(32)


def frame():
    i = np.arange(N, dtype=np.uint64)
    keys = {name: levels(i, a, k).astype(np.int32)
            for name, a, k in [("a", 2654435761, 5), ("b", 2246822519, 4), ("c", 3266489917, 10),
                               ("d", 668265263, 8), ("e", 374761393, 6)]}
    keys["x"] = ((i * np.uint64(7919)) % np.uint64(1000)).astype(np.float64) / 10
    return pd.DataFrame(keys)


def main():
    df = frame()
    walls, cpus = [], []
    for _ in range(9):
        start, cpu = time.perf_counter(), time.process_time()
        result = df.groupby(["a", "b", "c", "d", "e"])["x"].agg(["mean", "sum", "count", "std", "median"])
        walls.append((time.perf_counter() - start) * 1000)
        cpus.append((time.process_time() - cpu) * 1000)
    print(f"pandas {pd.__version__}: {len(result)} groups, wall min {min(walls):.1f} / median "
          f"{statistics.median(walls):.1f} ms, cpu min {min(cpus):.1f} / median {statistics.median(cpus):.1f} ms, "
          f"load {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
