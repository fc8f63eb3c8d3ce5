#!/usr/bin/python3
"""Times numpy on the rows of derived_bench (1,000,000 rows, the same hashed
formulas): a / b and np.log10(a) into new arrays, as the computed columns
fill their buffers. Prints the min and median of 9 runs in milliseconds
(each run the best of 20 calls, as Google Benchmark repeats its loop), and
the load average.

    /usr/bin/python3 bench/derived/numpy_peers.py
"""
import os
import statistics
import time

import numpy as np

N = 1_000_000


def data():
    i = np.arange(N, dtype=np.uint64)
    a = 1 + ((i * np.uint64(2654435761)) % np.uint64(1000003)).astype(np.float64) / 10000
    b = 0.5 + ((i * np.uint64(40503)) % np.uint64(65537)).astype(np.float64) / 65537
    return a, b


def times_ms(fn, runs=9, calls=20):
    out = []
    for _ in range(runs):
        start = time.perf_counter()
        for _ in range(calls):
            fn()
        out.append((time.perf_counter() - start) * 1e3 / calls)
    return min(out), statistics.median(out)


def main():
    a, b = data()
    print("load average", " ".join(f"{v:.2f}" for v in os.getloadavg()))
    for name, fn in [("a / b", lambda: a / b), ("np.log10(a)", lambda: np.log10(a))]:
        lo, mid = times_ms(fn)
        print(f"{name:12s} min {lo:8.3f} ms  median {mid:8.3f} ms", flush=True)


if __name__ == "__main__":
    main()
