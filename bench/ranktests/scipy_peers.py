#!/usr/bin/python3
"""Times scipy.stats.kruskal on the data of ranktests_bench: floor of the
shared values (bench/util), row i in group i mod 10; the weighted case as
np.repeat of the rows by the shared weights. Prints the best of 3 runs in
milliseconds and the statistics, to compare with ds_kruskal_wallis.

Run with Debian's interpreter: /usr/bin/python3 bench/ranktests/scipy_peers.py
"""
import sys
from pathlib import Path

import numpy as np
import scipy
from scipy import stats

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "util"))
from numpy_peers import best_ms, values, weights  # noqa: E402

N = 10_000_000


def main():
    x = np.floor(values(N))
    g = np.arange(N) % 10
    w = weights(N)
    samples = [x[g == j] for j in range(10)]
    print(f"scipy {scipy.__version__}, {N} rows")
    print(f"kruskal: {best_ms(lambda: stats.kruskal(*samples), runs=3):.0f} ms, H {stats.kruskal(*samples).statistic:.10g}")
    xr, gr = np.repeat(x, w), np.repeat(g, w)
    weighted = [xr[gr == j] for j in range(10)]
    print(f"kruskal of repeated rows ({xr.size}): {best_ms(lambda: stats.kruskal(*weighted), runs=3):.0f} ms, "
          f"H {stats.kruskal(*weighted).statistic:.10g}")


if __name__ == "__main__":
    main()
