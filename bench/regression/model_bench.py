"""Times statsmodels' Logit on the regression-model benchmark's data: the
first 20 regressors and the logit outcome of the fitting library's benchmark
data, already in memory as a NumPy array with a constant column (reading the
files is not timed). Writes sm_model_logit.csv beside the data.
    /usr/bin/python3 model_bench.py DIR
"""
import os
import sys
import time

import numpy as np
import statsmodels.api as sm

ROWS, REGRESSORS = 1000000, 20


def main(directory):
    x = np.fromfile(os.path.join(directory, "x.bin"), count=ROWS * REGRESSORS).reshape(REGRESSORS, ROWS).T
    X = np.column_stack([np.ones(ROWS), x])
    y = np.fromfile(os.path.join(directory, "y_logit.bin"), count=ROWS)
    times = []
    for _ in range(3):
        start = time.perf_counter()
        result = sm.Logit(y, X).fit(disp=0)
        times.append(time.perf_counter() - start)
    print("statsmodels Logit, 1,000,000 x 20 from memory: fit %.3f s (best of 3; %s)"
          % (min(times), ", ".join("%.3f" % t for t in times)))
    with open(os.path.join(directory, "sm_model_logit.csv"), "w") as out:
        out.write("name,coefficient,standard_error\n")
        for j, (b, se) in enumerate(zip(result.params, result.bse)):
            out.write("%s,%.17g,%.17g\n" % ("constant" if j == 0 else "x%d" % j, b, se))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
