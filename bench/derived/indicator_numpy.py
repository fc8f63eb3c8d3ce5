#!/usr/bin/python3
"""Times numpy on the rows of recode_bench's indicator (1,000,000 rows, the
same hashed formulas): (a >= 500) & (b < 0.8) & (c != 3) into a new boolean
array. Prints the min and median of 9 runs in milliseconds (each run the
best of 20 calls, as Google Benchmark repeats its loop), and the load
average.

    /usr/bin/python3 bench/derived/indicator_numpy.py
"""
import os
import statistics
import time

import numpy as np

N = 1_000_000


def hashed(a, m):
    i = np.arange(N, dtype=np.uint64)
    return ((i * np.uint64(a)) % np.uint64(m)).astype(np.float64)


def times_ms(fn, runs=9, calls=20):
    out = []
    for _ in range(runs):
        start = time.perf_counter()
        for _ in range(calls):
            fn()
        out.append((time.perf_counter() - start) * 1e3 / calls)
    return min(out), statistics.median(out)


def main():
    a = hashed(2654435761, 1000)
    b = hashed(40503, 65537) / 65537
    c = hashed(97, 7)
    print("load average", " ".join(f"{v:.2f}" for v in os.getloadavg()))
    lo, mid = times_ms(lambda: (a >= 500) & (b < 0.8) & (c != 3))
    print(f"(a >= 500) & (b < 0.8) & (c != 3)  min {lo:8.3f} ms  median {mid:8.3f} ms  TRUE rows {int(((a >= 500) & (b < 0.8) & (c != 3)).sum())}")


if __name__ == "__main__":
    main()
