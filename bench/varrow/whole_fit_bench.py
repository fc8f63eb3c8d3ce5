"""Times statsmodels on the data of vrw_whole_fit_bench: Logit, Probit, Poisson,
OLS and NegativeBinomial (NB2) on 20 regressors and a constant, each fit from
a NumPy array already in memory, repeated; prints one JSON line a model with
the minimum and median seconds and the first regressor's coefficient.
    /usr/bin/python3 whole_fit_bench.py DIR ROWS REPETITIONS [MODEL,...]
"""
import json
import os
import sys
import time

import numpy as np
import statsmodels.api as sm

REGRESSORS = 20
MODELS = {
    "logit": lambda y, X: sm.Logit(y, X).fit(disp=0),
    "probit": lambda y, X: sm.Probit(y, X).fit(disp=0),
    "poisson": lambda y, X: sm.Poisson(y, X).fit(disp=0),
    "linear": lambda y, X: sm.OLS(y, X).fit(),
    "negbin": lambda y, X: sm.NegativeBinomial(y, X).fit(disp=0, maxiter=100),
}


def main(directory, rows, repetitions, names):
    path = lambda stem: os.path.join(directory, "%s_%d.bin" % (stem, rows))
    x = np.fromfile(path("x")).reshape(REGRESSORS, rows).T
    design = np.ascontiguousarray(sm.add_constant(x))
    for name in names:
        fit = MODELS[name]
        y = np.fromfile(path("y_" + name))
        times = []
        for _ in range(repetitions):
            start = time.perf_counter()
            result = fit(y, design)
            times.append(time.perf_counter() - start)
        print(json.dumps({"model": name, "rows": rows, "min": min(times),
                          "median": float(np.median(times)), "b1": float(result.params[1])}))
        sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]),
         sys.argv[4].split(",") if len(sys.argv) > 4 else list(MODELS))
