"""DORVE's predictions against scikit-learn's predict(return_std=True) on the
same models, side by side in one run, one thread each.

Runs build-bench/bench/predict_bench (krigblup on 10,000 and 100,000 points
at n = 200 and 1000, d = 5, Gaussian correlation with theta = 10), which
writes each model's data (X, y, theta, the points) to the output folder;
then fits scikit-learn's GaussianProcessRegressor on the same X and y with
the same correlation held fixed (ConstantKernel(1, fixed) * RBF with length
scale 1 / sqrt(2 theta), fixed, no optimiser) and times predict with
return_std=True on the same points. Both tools have their model's
factorisation in hand before the clock starts (DORVE's decomposition, and
scikit-learn's Cholesky factor from fit). CPU seconds are compared, so that
other load on the machine slows neither side. Prints a markdown table with the
ratio DORVE / scikit-learn (also written to <out>/predict_table.md).

  /usr/bin/python3 bench/peers/predict_peers.py [--bench build-bench/bench/predict_bench]
      [--out build-bench/predict] [--repeats 3]
"""
import argparse
import json
import os
import subprocess
import sys
import time

import numpy as np

SETS = [(200, 10000), (200, 100000), (1000, 10000), (1000, 100000)]


def read_model(path):
    raw = np.fromfile(path, dtype=np.float64)
    n, d, points = (int(v) for v in raw[:3])
    at = 3
    x = raw[at:at + n * d].reshape(n, d)
    at += n * d
    y = raw[at:at + n]
    at += n
    theta = raw[at:at + d]
    at += d
    xpred = raw[at:at + points * d].reshape(points, d)
    return x, y, theta, xpred


def dorve_times(bench, out):
    env = dict(os.environ, DORVE_PREDICT_DATA=out, OPENBLAS_NUM_THREADS="1")
    result = subprocess.run([bench, "--benchmark_filter=BM_predict/", "--benchmark_format=json"],
                            env=env, check=True, capture_output=True, text=True)
    times = {}
    for b in json.loads(result.stdout)["benchmarks"]:
        _, n, points, threads = b["name"].split("/")[:4]
        scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        # One thread: its CPU time; two: the wall time they take together.
        key = "cpu_time" if threads == "1" else "real_time"
        times[(int(n), int(points), int(threads))] = b[key] * scale
    return times


def sklearn_time(x, y, theta, xpred, repeats):
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.gaussian_process.kernels import RBF, ConstantKernel
    scale = 1.0 / np.sqrt(2.0 * theta)
    kernel = ConstantKernel(1.0, "fixed") * RBF(scale, "fixed")
    gp = GaussianProcessRegressor(kernel, optimizer=None).fit(x, y)
    best = None
    for _ in range(repeats):
        start = time.process_time()
        gp.predict(xpred, return_std=True)
        elapsed = time.process_time() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bench", default="build-bench/bench/predict_bench")
    parser.add_argument("--out", default="build-bench/predict")
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    out = os.path.abspath(args.out)
    try:
        import sklearn
        from threadpoolctl import threadpool_limits, threadpool_info
    except ImportError:
        sys.exit("predict_peers: needs python3-sklearn (apt-get install python3-sklearn)")
    dorve = dorve_times(args.bench, out)
    rows = ["| n | points | DORVE CPU s | scikit-learn CPU s | DORVE / scikit-learn "
            "| DORVE, Threads = 2, wall s |",
            "|---|---|---|---|---|---|"]
    with threadpool_limits(limits=1):
        blas = ", ".join("%s %s" % (i["internal_api"], i.get("architecture", ""))
                         for i in threadpool_info() if i["user_api"] == "blas")
        models = {}
        for n, points in SETS:
            if n not in models:
                models[n] = read_model(os.path.join(out, "model_n%d.bin" % n))
            x, y, theta, xpred = models[n]
            theirs = sklearn_time(x, y, theta, xpred[:points], args.repeats)
            mine = dorve[(n, points, 1)]
            rows.append("| %d | %d | %.3f | %.3f | %.2f | %.3f |"
                        % (n, points, mine, theirs, mine / theirs, dorve[(n, points, 2)]))
    rows += ["", "CPU seconds, one thread each (so a busy machine slows neither); "
             "scikit-learn %s (BLAS: %s), best of %d; DORVE: Google Benchmark's mean. The "
             "last column is DORVE's wall time with the points shared out among two threads."
             % (sklearn.__version__, blas, args.repeats)]
    text = "\n".join(rows)
    with open(os.path.join(out, "predict_table.md"), "w") as f:
        f.write(text + "\n")
    print(text)


if __name__ == "__main__":
    main()
