#!/usr/bin/python3
"""Times numpy on the data of util_bench (bench_data.h): np.sort of 10^7
doubles, and quartiles by np.partition, plain and with frequency weights
(np.repeat then np.partition at floor(p * W), the same positions ds_quantiles
selects). Prints the best of several runs, in milliseconds.

Run with Debian's interpreter: /usr/bin/python3 bench/util/numpy_peers.py
"""
import time

import numpy as np

N = 10_000_000
MASK = np.uint64(0xFFFFFFFFFFFFFFFF)


def splitmix64(x):
    with np.errstate(over="ignore"):
        x = x + np.uint64(0x9E3779B97F4A7C15)
        x = (x ^ (x >> np.uint64(30))) * np.uint64(0xBF58476D1CE4E5B9)
        x = (x ^ (x >> np.uint64(27))) * np.uint64(0x94D049BB133111EB)
        return (x ^ (x >> np.uint64(31))) & MASK


def values(n):
    bits = splitmix64(np.arange(n, dtype=np.uint64)) >> np.uint64(11)
    return (bits.astype(np.float64) * 2.0 ** -53 - 0.5) * 1e6


def weights(n):
    return (splitmix64(np.arange(n, dtype=np.uint64) + np.uint64(1 << 40)) % np.uint64(10)).astype(np.int32)


def best_ms(fn, runs=5):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best * 1e3


def quartile_positions(total):
    return [int((i / 4) * total) for i in (1, 2, 3)]


def main():
    x = values(N)
    w = weights(N)
    print(f"numpy {np.__version__}, {N} doubles, checksum {x[:5]}")
    print(f"np.sort                      {best_ms(lambda: np.sort(x)):9.1f} ms")
    print(f"np.partition quartiles       {best_ms(lambda: np.partition(x, quartile_positions(N))):9.1f} ms")

    def weighted():
        expanded = np.repeat(x, w)
        return np.partition(expanded, quartile_positions(expanded.size))

    print(f"np.repeat+partition weighted {best_ms(weighted):9.1f} ms")
    part = np.partition(np.repeat(x, w), quartile_positions(int(w.sum())))
    print("weighted quartiles", [part[p] for p in quartile_positions(int(w.sum()))])


if __name__ == "__main__":
    main()
