"""Checks the minima of functions.py by a multi-start local search.

From STARTS uniform points per function (and every vertex of the box up to
d = 10, since several minima lie on a vertex), L-BFGS-B with finite-difference
gradients inside the unit cube; prints the smallest value found beside the
minimum the benchmark uses, and the point.

  /usr/bin/python3 bench/peers/ego_minima.py [--starts 2000] [--functions a,b]
"""
import argparse
import itertools
import os
import sys

import numpy as np
from scipy.optimize import minimize

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from functions import BY_NAME, FUNCTIONS  # noqa: E402

VERTEX_DIMENSION_LIMIT = 10


def local_minimum(f, start):
    result = minimize(lambda u: f(list(u)), start, method="L-BFGS-B",
                      bounds=[(0.0, 1.0)] * len(start), options={"ftol": 1e-15, "gtol": 1e-12})
    return result.fun, result.x


def search(function, starts, rng):
    points = list(rng.random((starts, function.d)))
    if function.d <= VERTEX_DIMENSION_LIMIT:
        points += [np.array(v, dtype=float) for v in itertools.product((0, 1), repeat=function.d)]
    best = (np.inf, None)
    for start in points:
        found = local_minimum(function.evaluate, start)
        if found[0] < best[0]:
            best = found
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--starts", type=int, default=2000)
    parser.add_argument("--functions", default=",".join(f.name for f in FUNCTIONS))
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    for name in args.functions.split(","):
        function = BY_NAME[name]
        value, point = search(function, args.starts, rng)
        print("%-16s used %.10g  found %.10g  (difference %.2e) at %s"
              % (name, function.minimum, value, value - function.minimum,
                 np.array2string(point, precision=6, max_line_width=200)))


if __name__ == "__main__":
    main()
