"""Which space-filling design makes the better kriging model: a measured comparison.

For each test function and design size, every method makes `--reps` designs of
n points in the unit cube; the function is evaluated on each, DORVE fits it
(Fit with the given MleMethod, then Predict) and the RMSE on 1000 held-out
uniform points is recorded. The methods:

  maximin-lhs   DORVE's own Design command (maximin-improved Latin hypercube)
  sobol         scrambled Sobol' points (scipy.stats.qmc, Owen scrambling), the first n
  halton        scrambled Halton points (scipy.stats.qmc)
  random-lhs    a random Latin hypercube (the baseline both improve on)

Prints a markdown table: per function, n and method the mean held-out RMSE
(and its standard error over the designs), the median, the mean smallest
distance between two design points, and in how many of the designs the
method had the lowest RMSE of all methods on the same seed.

  /usr/bin/python3 bench/design_methods.py [--dorve build/dorve] [--reps 10]
      [--method gradient] [--out build-bench/design_methods]

Needs numpy and scipy (Debian: python3-scipy). A manual tool: about two minutes
on two cores with the defaults; nothing runs it from the tests.
"""
import argparse
import os
import subprocess
import sys

import numpy as np
from scipy.stats import qmc
from scipy.spatial.distance import pdist

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "peers"))
from data import borehole, friedman, write_csv  # noqa: E402

HELD_OUT = 1000
# name, function, d, n: 5 d and 10 d runs for each function
CASES = [("friedman", friedman, 5, 25), ("friedman", friedman, 5, 50),
         ("borehole", borehole, 8, 40), ("borehole", borehole, 8, 80)]
METHODS = ["maximin-lhs", "sobol", "halton", "random-lhs"]


def write_box(path, d):
    with open(path, "w") as f:
        f.write("--------------------------\n Case Variable  Min  Max\n--------------------------\n")
        for j in range(d):
            f.write("%5d %8s %4d %4d\n" % (j + 1, "x%d" % (j + 1), 0, 1))


def run_dorve(dorve, folder, lines):
    with open(os.path.join(folder, "session.cmd"), "w") as f:
        f.write("\n".join(lines + ["Quit"]) + "\n")
    subprocess.run([dorve, "session.cmd", "session.out"], cwd=folder, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def read_csv(path):
    return np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)


def dorve_design(dorve, folder, n, d, seed):
    write_box(os.path.join(folder, "box.mat"), d)
    run_dorve(dorve, folder, ["RandomSeed = %d" % seed, "Design %d < box.mat > design.csv" % n])
    return read_csv(os.path.join(folder, "design.csv"))


def make_design(method, dorve, folder, n, d, seed):
    if method == "maximin-lhs":
        return dorve_design(dorve, folder, n, d, seed)
    if method == "sobol":
        return qmc.Sobol(d, scramble=True, seed=seed).random(n)
    if method == "halton":
        return qmc.Halton(d, scramble=True, seed=seed).random(n)
    return qmc.LatinHypercube(d, seed=seed).random(n)


def held_out_rmse(dorve, folder, x, y, xtest, ytest, mle_method):
    names = ["x%d" % (j + 1) for j in range(x.shape[1])]
    write_csv(os.path.join(folder, "x.csv"), names, list(x.T))
    write_csv(os.path.join(folder, "y.csv"), ["y"], [y])
    write_csv(os.path.join(folder, "xtest.csv"), names, list(xtest.T))
    run_dorve(dorve, folder, ["Threads = 1", "MleMethod = %s" % mle_method, "X < x.csv",
                              "y < y.csv", "Fit", "Predict < xtest.csv > pred.csv"])
    pred = read_csv(os.path.join(folder, "pred.csv"))[:, 0]
    return float(np.sqrt(np.mean((pred - ytest) ** 2)))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dorve", default="build/dorve")
    parser.add_argument("--reps", type=int, default=10)
    parser.add_argument("--method", default="gradient", help="MleMethod of the fits")
    parser.add_argument("--out", default="build-bench/design_methods")
    args = parser.parse_args()
    dorve = os.path.abspath(args.dorve)
    os.makedirs(args.out, exist_ok=True)
    rows = []
    for name, function, d, n in CASES:
        rng = np.random.default_rng(20261210)  # the same held-out points for both sizes
        xtest = rng.random((HELD_OUT, d))
        ytest = function(xtest)
        rmse = {m: [] for m in METHODS}
        spread = {m: [] for m in METHODS}
        for rep in range(args.reps):
            seed = rep + 1
            for method in METHODS:
                folder = os.path.join(args.out, name, method, str(seed))
                os.makedirs(folder, exist_ok=True)
                x = make_design(method, dorve, folder, n, d, seed)
                spread[method].append(pdist(x).min())
                rmse[method].append(held_out_rmse(dorve, folder, x, function(x), xtest, ytest,
                                                  args.method))
        best = np.argmin(np.array([rmse[m] for m in METHODS]), axis=0)
        for k, method in enumerate(METHODS):
            r = np.array(rmse[method])
            rows.append("| %s (d = %d) | %d | %s | %.4g | %.2g | %.4g | %.3f | %d of %d |" % (
                name, d, n, method, r.mean(), r.std(ddof=1) / np.sqrt(len(r)), np.median(r),
                np.mean(spread[method]), int(np.sum(best == k)), len(r)))
    print("| function | n | design | mean RMSE | its s.e. | median RMSE | smallest distance "
          "| lowest RMSE |")
    print("|---|---|---|---|---|---|---|---|")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
