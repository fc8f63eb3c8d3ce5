"""Times statsmodels on the benchmark's data: Logit, Probit, Poisson and OLS on
a million rows, PHReg (Breslow's ties) and MNLogit (5 choices) on a hundred
thousand; reading the raw doubles into the design matrix (the load) apart
from the fit. Writes sm_<model>.csv (coefficients and standard errors, laid
out as the library reports them: the Cox model's constant and the base
choice's coefficients 0) beside the data.
    /usr/bin/python3 models_bench.py DIR
"""
import os
import sys
import time

import numpy as np
import statsmodels.api as sm

ROWS, COLUMNS = 1000000, 50
SMALL_ROWS, SMALL_COLUMNS = 100000, 10


def phreg(y, X, data):
    return sm.PHReg(y, X, status=1 - data["censored"], ties="breslow").fit()


def cox_layout(result):
    return np.r_[0.0, result.params], np.r_[0.0, result.bse]


def choices_layout(result):
    """The (regressors x equations) arrays as rows of choices, base first."""
    def rows(p):
        p = np.asarray(p)
        return np.vstack([np.zeros(p.shape[0]), p.T]).ravel()
    return rows(result.params), rows(result.bse)


def plain_layout(result):
    return result.params, result.bse


# name: (on the big data, regressors, a constant column, fit, layout, the
# other outcome files)
MODELS = {
    "logit": (True, 20, True, lambda y, X, _: sm.Logit(y, X).fit(disp=0), plain_layout, {}),
    "probit": (True, 20, True, lambda y, X, _: sm.Probit(y, X).fit(disp=0), plain_layout, {}),
    "poisson": (True, 20, True, lambda y, X, _: sm.Poisson(y, X).fit(disp=0), plain_layout, {}),
    "linear": (True, 50, True, lambda y, X, _: sm.OLS(y, X).fit(), plain_layout, {}),
    "cox": (False, 10, False, phreg, cox_layout, {"censored": "y_cox_censored.bin"}),
    "mlogit": (False, 10, True, lambda y, X, _: sm.MNLogit(y, X).fit(disp=0), choices_layout,
               {}),
}


def read_matrix(directory, name, rows, columns):
    return np.fromfile(os.path.join(directory, name)).reshape(columns, rows).T


def main(directory):
    start = time.perf_counter()
    big = read_matrix(directory, "x.bin", ROWS, COLUMNS)
    big_time = time.perf_counter() - start
    start = time.perf_counter()
    small = read_matrix(directory, "x_small.bin", SMALL_ROWS, SMALL_COLUMNS)
    small_time = time.perf_counter() - start
    for name, (on_big, regressors, constant, fit, layout, extra) in MODELS.items():
        x, read_time = (big, big_time) if on_big else (small, small_time)
        start = time.perf_counter()
        y = np.fromfile(os.path.join(directory, "y_%s.bin" % name))
        data = {key: np.fromfile(os.path.join(directory, file)) for key, file in extra.items()}
        design = sm.add_constant(x[:, :regressors]) if constant else x[:, :regressors]
        load_time = read_time + time.perf_counter() - start
        start = time.perf_counter()
        result = fit(y, design, data)
        fit_time = time.perf_counter() - start
        with open(os.path.join(directory, "sm_%s.csv" % name), "w") as out:
            out.write("name,coefficient,standard_error\n")
            for i, (b, se) in enumerate(zip(*layout(result))):
                out.write("b%d,%.17g,%.17g\n" % (i, b, se))
        print("statsmodels %-8s load %.2f s  fit %.2f s  total %.2f s"
              % (name, load_time, fit_time, load_time + fit_time))


if __name__ == "__main__":
    main(sys.argv[1])
