#!/usr/bin/python3
"""Times numpy on the data of numstats_bench (bench/util/bench_data.h and the
sets derived from it there): np.unique(return_inverse=True) for the index with
per-row positions, and mean + var + np.partition quartiles (and the median
absolute deviation, which the statistics also give) for the statistics, plain
and with weights and a row mask (np.repeat of the rows taken).
Prints the best of several runs, in milliseconds.

Run with Debian's interpreter: /usr/bin/python3 bench/numstats/numpy_peers.py
"""
import sys
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "util"))
from numpy_peers import best_ms, quartile_positions, splitmix64, values, weights  # noqa: E402

N = 10_000_000


def taken(n):
    return splitmix64(np.arange(n, dtype=np.uint64) + np.uint64(1 << 41)) % np.uint64(10) < np.uint64(7)


def statistics(x, with_mad):
    """Mean, variance and the quartiles at floor(p W) (the median of an even
    count averaged), as the statistics define them."""
    n = x.size
    mean = x.mean()
    var = x.var(ddof=1)
    p = quartile_positions(n)
    wanted = p + ([p[1] - 1] if n % 2 == 0 else [])
    part = np.partition(x, wanted)
    med = (part[p[1] - 1] + part[p[1]]) / 2 if n % 2 == 0 else part[p[1]]
    out = [mean, var, part[p[0]], med, part[p[2]]]
    if with_mad:
        d = np.abs(x - med)
        half = n // 2
        dp = np.partition(d, [half - 1, half] if n % 2 == 0 else [half])
        out.append((dp[half - 1] + dp[half]) / 2 if n % 2 == 0 else dp[half])
    return out


def main():
    x = values(N)
    w = weights(N)
    m = taken(N)
    print(f"numpy {np.__version__}, {N} rows")
    sets = {
        "distinct": x,
        "whole_1e6": np.floor(x),
        "decimals_2000": np.floor(x / 500) / 4,
        "whole_1000": np.floor(x / 1000),
    }
    for name, data in sets.items():
        ms = best_ms(lambda: np.unique(data, return_inverse=True), runs=2)
        print(f"np.unique(return_inverse) {name:14s} {ms:9.1f} ms  entries {np.unique(data).size}")

    print(f"mean + var                              {best_ms(lambda: (x.mean(), x.var(ddof=1))):9.1f} ms")
    print(f"mean + var + partition quartiles        {best_ms(lambda: statistics(x, False)):9.1f} ms")
    print(f"mean + var + quartiles + mad            {best_ms(lambda: statistics(x, True)):9.1f} ms")

    def weighted_masked(with_mad):
        return statistics(np.repeat(x[m], w[m]), with_mad)

    print(f"weighted masked: quartiles              {best_ms(lambda: weighted_masked(False)):9.1f} ms")
    print(f"weighted masked: quartiles + mad        {best_ms(lambda: weighted_masked(True)):9.1f} ms")
    print("plain", statistics(x, True))
    print("weighted masked", weighted_masked(True))


if __name__ == "__main__":
    main()
