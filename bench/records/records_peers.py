#!/usr/bin/python3
"""numpy's stable argsort of the keys records_bench sorts its index by:
1,000,000 normal values rounded to 1e-3, every tenth missing (first).
numpy draws its own values: the timing depends on the size, the share of
ties and of missing values, not on the exact numbers."""
import time
import numpy as np

rng = np.random.default_rng(1)
keys = np.round(rng.normal(size=1_000_000) * 1000) / 1000
keys[3::10] = np.nan
times = []
for _ in range(10):
    start = time.perf_counter()
    order = np.argsort(np.where(np.isnan(keys), -np.inf, keys), kind="stable")
    times.append(time.perf_counter() - start)
times.sort()
print(f"numpy argsort(kind='stable'): min {times[0] * 1e3:.1f} ms, median {times[len(times) // 2] * 1e3:.1f} ms")
