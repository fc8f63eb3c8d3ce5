"""scipy's time for the Kolmogorov-Smirnov work of sterna_bench:
/usr/bin/python3 time_peers.py"""
import timeit

from scipy.stats import kstwo

for n in (100, 1000, 1000000):
    for level in (0.05, 0.001):
        d = kstwo.isf(level, n)
        reps = 200 if n < 1000000 else 5
        t = timeit.timeit(lambda: kstwo.sf(d, n), number=reps) / reps
        print(f"kstwo.sf, n = {n:>7}, tail {level:<6} {1e6 * t:12.1f} us per call")
    reps = 20 if n < 1000000 else 2
    t = timeit.timeit(lambda: kstwo.isf(0.05, n), number=reps) / reps
    print(f"kstwo.isf(0.05), n = {n:>7}         {1e6 * t:12.1f} us per call")
