#!/usr/bin/python3
"""Times pandas on the rows of join_bench (1,000,000 local rows, 100,000
foreign rows, the same hashed formulas): merge(how="left") of a price by a
text key and by a number key, the foreign rows' keys kept once, their last
row (drop_duplicates(keep="last")). The text keys are upper-cased before
the clock starts (the joined column folds the case while it builds its
keys). Prints the min and median of 9 runs in milliseconds (each the mean
of 3 calls) of the merge with drop_duplicates and of the merge alone, the
checksum of the joined prices as join_bench prints it, and the load
average.

    /usr/bin/python3 bench/derived/pandas_join_peers.py
"""
import os

import numpy as np
import pandas as pd
from pandas_time_peers import times_ms

N_LOCAL, N_FOREIGN = 1_000_000, 100_000


def hashed(n, a, m):
    i = np.arange(n, dtype=np.uint64)
    return ((i * np.uint64(a)) % np.uint64(m)).astype(np.int64)


def checksum(prices):
    found = ~np.isnan(prices)
    rows = np.arange(1, len(prices) + 1, dtype=np.uint64)[found]
    tenths = np.rint(prices[found] * 10).astype(np.uint64)
    return int(np.sum(rows * tenths, dtype=np.uint64)) % 1_000_000_007, int((~found).sum())


def main():
    local_keys, foreign_keys = hashed(N_LOCAL, 2654435761, 100_000), hashed(N_FOREIGN, 69069, 80_000)
    price = hashed(N_FOREIGN, 40503, 1000) / 10
    local = pd.DataFrame({"text": [("K" if i % 2 else "k") + str(k) for i, k in enumerate(local_keys)],
                          "number": local_keys.astype(float)})
    foreign = pd.DataFrame({"text": ["k" + str(k) for k in foreign_keys], "number": foreign_keys.astype(float),
                            "price": price})
    local["text"] = local["text"].str.upper()
    foreign["text"] = foreign["text"].str.upper()

    print("load average", " ".join(f"{v:.2f}" for v in os.getloadavg()))
    for key in ["text", "number"]:
        left = local[[key]]
        right = foreign[[key, "price"]]
        kept = right.drop_duplicates(key, keep="last")
        merged = left.merge(kept, on=key, how="left")
        print(f"{key} key: checksum {checksum(merged['price'].to_numpy())[0]}  misses "
              f"{checksum(merged['price'].to_numpy())[1]}")
        cases = [("drop_duplicates + merge", lambda: left.merge(right.drop_duplicates(key, keep="last"), on=key,
                                                                how="left")),
                 ("merge alone", lambda: left.merge(kept, on=key, how="left"))]
        for name, fn in cases:
            lo, mid = times_ms(fn, calls=3)
            print(f"  {name:24s} min {lo:9.3f} ms  median {mid:9.3f} ms", flush=True)


if __name__ == "__main__":
    main()
