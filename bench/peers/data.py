"""Writes the benchmark data sets: designs, responses and held-out points.

Every set is written three ways: DORVE matrix files (x.mat, y.mat, xtest.mat),
CSV with a header row (x.csv, y.csv, xtest.csv, ytest.csv) and one numpy archive
(data.npz) that the peers and the report read. The inputs of every set lie in
the unit cube; borehole (functions.py) maps them onto its physical ranges to
compute y, so all tools fit the same unit-scaled X.
"""
import argparse
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import functions  # noqa: E402

HELD_OUT = 1000
CANDIDATES = 20  # Latin hypercubes drawn per design; the maximin one is kept


def friedman(u):
    return (10.0 * np.sin(np.pi * u[:, 0] * u[:, 1]) + 20.0 * (u[:, 2] - 0.5) ** 2
            + 10.0 * u[:, 3] + 5.0 * u[:, 4])


def borehole(u):
    return functions.borehole(u.T, np)


# name: (function, dimension, design size)
SETS = {
    "friedman_n100": (friedman, 5, 100),
    "friedman_n200": (friedman, 5, 200),
    "friedman_n400": (friedman, 5, 400),
    "borehole_n80": (borehole, 8, 80),
    # Drawn after the sets above, so that those stay as they were.
    "friedman_n50": (friedman, 5, 50),
    "friedman_n800": (friedman, 5, 800),
    "friedman_n1600": (friedman, 5, 1600),
    "friedman_d10_n200": (friedman, 10, 200),
    "friedman_d20_n200": (friedman, 20, 200),
    "friedman_d10_n2000": (friedman, 10, 2000),
}


def latin_hypercube(rng, n, d):
    """One random Latin hypercube: each column a permutation of the n strata."""
    strata = np.column_stack([rng.permutation(n) for _ in range(d)])
    return (strata + rng.random((n, d))) / n


def smallest_distance(x):
    diff = x[:, None, :] - x[None, :, :]
    dist2 = (diff ** 2).sum(axis=2)
    np.fill_diagonal(dist2, np.inf)
    return dist2.min()


def maximin_design(rng, n, d):
    candidates = [latin_hypercube(rng, n, d) for _ in range(CANDIDATES)]
    return max(candidates, key=smallest_distance)


def write_matrix_file(path, names, columns, title):
    """DORVE matrix file with every digit; columns go into side-by-side blocks
    of four so that no line passes the reader's 148-character limit."""
    with open(path, "w") as f:
        f.write(title + "\n")
        for start in range(0, len(names), 4):
            block = range(start, min(start + 4, len(names)))
            f.write("-" * 40 + "\n")
            f.write(" Case " + " ".join("%24s" % names[j] for j in block) + "\n")
            f.write("-" * 40 + "\n")
            for i in range(len(columns[0])):
                f.write("%5d " % (i + 1)
                        + " ".join("%24s" % repr(float(columns[j][i])) for j in block) + "\n")


def write_csv(path, names, columns):
    with open(path, "w") as f:
        f.write(",".join(names) + "\n")
        for i in range(len(columns[0])):
            f.write(",".join(repr(float(c[i])) for c in columns) + "\n")


def write_set(folder, x, y, xtest, ytest):
    os.makedirs(folder, exist_ok=True)
    xnames = ["x%d" % (j + 1) for j in range(x.shape[1])]
    write_matrix_file(os.path.join(folder, "x.mat"), xnames, list(x.T), "Design")
    write_matrix_file(os.path.join(folder, "y.mat"), ["y"], [y], "Responses")
    write_matrix_file(os.path.join(folder, "xtest.mat"), xnames, list(xtest.T), "Held-out points")
    write_csv(os.path.join(folder, "x.csv"), xnames, list(x.T))
    write_csv(os.path.join(folder, "y.csv"), ["y"], [y])
    write_csv(os.path.join(folder, "xtest.csv"), xnames, list(xtest.T))
    write_csv(os.path.join(folder, "ytest.csv"), ["y"], [ytest])
    np.savez(os.path.join(folder, "data.npz"), x=x, y=y, xtest=xtest, ytest=ytest)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out", help="folder that receives one sub-folder per set")
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("--sets", default=",".join(SETS), help="comma-separated set names")
    args = parser.parse_args()
    unknown = set(args.sets.split(",")) - set(SETS)
    if unknown:
        parser.error("unknown set %s; the sets are %s"
                     % (", ".join(sorted(unknown)), ", ".join(SETS)))
    rng = np.random.default_rng(args.seed)
    held_out = {}  # one held-out sample per function and dimension, shared by its sets
    for name in SETS:  # draw every set in a fixed order, whatever is asked for
        function, d, n = SETS[name]
        x = maximin_design(rng, n, d)
        if (function, d) not in held_out:
            held_out[(function, d)] = rng.random((HELD_OUT, d))
        if name in args.sets.split(","):
            xtest = held_out[(function, d)]
            write_set(os.path.join(args.out, name), x, function(x), xtest, function(xtest))


if __name__ == "__main__":
    main()
