"""Times statsmodels on the benchmark's data: reading the raw doubles into the
design matrix (the load) apart from the fit. Writes sm_<model>.csv
(coefficients and standard errors) beside the data.
    /usr/bin/python3 models_bench.py DIR
"""
import os
import sys
import time

import numpy as np
import statsmodels.api as sm

ROWS, COLUMNS = 1000000, 50
MODELS = {
    "logit": (20, lambda y, X: sm.Logit(y, X).fit(disp=0)),
    "probit": (20, lambda y, X: sm.Probit(y, X).fit(disp=0)),
    "poisson": (20, lambda y, X: sm.Poisson(y, X).fit(disp=0)),
    "linear": (50, lambda y, X: sm.OLS(y, X).fit()),
}


def main(directory):
    start = time.perf_counter()
    x = np.fromfile(os.path.join(directory, "x.bin")).reshape(COLUMNS, ROWS).T
    read_time = time.perf_counter() - start
    for name, (regressors, fit) in MODELS.items():
        start = time.perf_counter()
        y = np.fromfile(os.path.join(directory, "y_%s.bin" % name))
        design = sm.add_constant(x[:, :regressors])
        load_time = read_time + time.perf_counter() - start
        start = time.perf_counter()
        result = fit(y, design)
        fit_time = time.perf_counter() - start
        with open(os.path.join(directory, "sm_%s.csv" % name), "w") as out:
            out.write("name,coefficient,standard_error\n")
            for i, (b, se) in enumerate(zip(result.params, result.bse)):
                out.write("b%d,%.17g,%.17g\n" % (i, b, se))
        print("statsmodels %-8s load %.2f s  fit %.2f s  total %.2f s"
              % (name, load_time, fit_time, load_time + fit_time))


if __name__ == "__main__":
    main(sys.argv[1])
