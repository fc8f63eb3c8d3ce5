#!/usr/bin/python3
"""Writes the benchmark workbook: ROWS x 10 columns (six numbers, of them
one percent-formatted, two dates, two texts from a small vocabulary), with
openpyxl in write-only mode.
    make_xlsx.py ROWS FILE"""
import datetime
import random
import sys

from openpyxl import Workbook
from openpyxl.cell import WriteOnlyCell

rows, path = int(sys.argv[1]), sys.argv[2]
random.seed(1)
book = Workbook(write_only=True)
sheet = book.create_sheet("Bench")
sheet.append(["id", "x", "y", "count", "share", "small", "day", "stamp", "group", "label"])
words = ["alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"]
start = datetime.datetime(2000, 1, 1)
for i in range(rows):
    share = WriteOnlyCell(sheet, value=random.random())
    share.number_format = "0.00%"
    day = WriteOnlyCell(sheet, value=start + datetime.timedelta(days=random.randrange(9000)))
    day.number_format = "mm-dd-yy"
    stamp = WriteOnlyCell(sheet, value=start + datetime.timedelta(seconds=random.randrange(10 ** 9)))
    stamp.number_format = "yyyy-mm-dd hh:mm:ss"
    sheet.append([i, random.gauss(0, 1), random.lognormvariate(0, 1), random.randrange(1000), share,
                  random.random() * 1e-6, day, stamp, random.choice(words),
                  random.choice(words) + " " + str(random.randrange(100))])
book.save(path)
