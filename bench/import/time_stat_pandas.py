"""Times pandas read_stata and read_fwf (best of 3) on the benchmark's files.

    python3 time_stat_pandas.py FILE.dta FILE.txt
"""
import sys
import time

import pandas as pd


def best(f):
    times = []
    for _ in range(3):
        start = time.perf_counter()
        f()
        times.append(time.perf_counter() - start)
    return min(times)


dta, fwf = sys.argv[1], sys.argv[2]
print(f"pandas.read_stata {best(lambda: pd.read_stata(dta)):.3f} s")
print(f"pandas.read_fwf   {best(lambda: pd.read_fwf(fwf, widths=[8, 12, 10, 6], header=None)):.3f} s")
