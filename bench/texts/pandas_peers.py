#!/usr/bin/python3
"""Times pandas Series.value_counts on the texts of texts_bench.cpp.

Row i holds bench_text(i): blank (None) for 1 row in 100, else one of
100,000 texts; value_counts(dropna=False) counts the blank rows as one entry,
as the text index does. Prints the best of five in ms (wall and process
CPU), for an object Series and for a pyarrow-backed string Series when
pyarrow is there.
"""
import time

import numpy as np
import pandas as pd

ROWS = 10_000_000
DISTINCT = 100_000
M64 = (1 << 64) - 1


def splitmix64(x):
    """Vectorised splitmix64 over uint64 arrays (wrapping arithmetic)."""
    x = (x + np.uint64(0x9E3779B97F4A7C15)) & np.uint64(M64)
    x = ((x ^ (x >> np.uint64(30))) * np.uint64(0xBF58476D1CE4E5B9)) & np.uint64(M64)
    x = ((x ^ (x >> np.uint64(27))) * np.uint64(0x94D049BB133111EB)) & np.uint64(M64)
    return x ^ (x >> np.uint64(31))


def texts():
    with np.errstate(over="ignore"):
        h = splitmix64(np.arange(ROWS, dtype=np.uint64) + np.uint64(3 << 40))
        k = (h >> np.uint64(8)) % np.uint64(DISTINCT)
        tags = splitmix64(np.arange(DISTINCT, dtype=np.uint64)) & np.uint64(0xFFFFFF)
    pool = np.array(["t%05d-%x" % (i, int(tags[i])) for i in range(DISTINCT)], dtype=object)
    column = pool[k.astype(np.int64)]
    column[(h % np.uint64(100)) == 0] = None
    return column


def best_of(series, runs=5):
    """Best wall time and best process CPU time, in ms, and the entries."""
    best, best_cpu = float("inf"), float("inf")
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), time.process_time()
        counts = series.value_counts(dropna=False)
        best = min(best, time.perf_counter() - start)
        best_cpu = min(best_cpu, time.process_time() - start_cpu)
    return best * 1000, best_cpu * 1000, len(counts)


def main():
    column = texts()
    ms, cpu, entries = best_of(pd.Series(column))
    print(f"pandas {pd.__version__} value_counts, object:  {ms:8.1f} ms, cpu {cpu:8.1f} ms  ({entries} entries)")
    try:
        ms, cpu, entries = best_of(pd.Series(column, dtype="string[pyarrow]"))
        print(f"pandas {pd.__version__} value_counts, pyarrow: {ms:8.1f} ms, cpu {cpu:8.1f} ms  ({entries} entries)")
    except ImportError:
        pass


if __name__ == "__main__":
    main()
