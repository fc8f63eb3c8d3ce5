#!/usr/bin/python3
"""Times Python on the texts bench_parse reads, for comparison: float() for
numbers and datetime.strptime for "M/D/Y H:MM:SS" dates, per value.
Run: /usr/bin/python3 bench/parse/time_python.py"""
import random
import timeit
from datetime import datetime

random.seed(7)
numbers = ["%d.%02d" % (random.randrange(100000), random.randrange(100)) for _ in range(4096)]
dates = ["%d/%d/%d %d:%02d:%02d" % (random.randrange(1, 13), random.randrange(1, 29), random.randrange(1950, 2020),
                                    random.randrange(24), random.randrange(60), random.randrange(60))
         for _ in range(4096)]

for name, texts, parse in [("float", numbers, lambda s: float(s.replace("$", "").replace(",", ""))),
                           ("strptime", dates, lambda s: datetime.strptime(s, "%m/%d/%Y %H:%M:%S"))]:
    seconds = min(timeit.repeat(lambda: [parse(s) for s in texts], number=20, repeat=5))
    print("%-9s %8.1f ns per value" % (name, seconds / (20 * len(texts)) * 1e9))
