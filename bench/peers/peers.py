"""Fits one peer library on one data set and writes its result as JSON.

openturns: KrigingAlgorithm, constant trend, SquaredExponential covariance
(the Gaussian member of DORVE's power-exponential family), default optimiser.
sklearn: GaussianProcessRegressor, ConstantKernel * anisotropic RBF,
normalize_y, a few optimiser restarts.
Both search the length-scales within LENGTH_SCALE_BOUNDS (the inputs lie in
the unit cube). With their own defaults each one stops far off on these sets:
openturns caps the scales at twice the input range, and sklearn's
[1e-5, 1e5] box sends its optimiser to tiny length-scales (RMSE 4.8 on
friedman_n100).
CPU and wall time cover the fit only (peak memory the whole process); the log-likelihood is recomputed in
DORVE's convention at the fitted length-scales (see loglik.py). Where R is not
positive definite there, the note gives the value on R plus the small nugget
the peer itself adds to the diagonal (as a share of its variance).
"""
import argparse
import json
import os
import resource
import sys
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from loglik import correlation_matrix, gaussian_theta, profile_loglik  # noqa: E402

SKLEARN_RESTARTS = 4
LENGTH_SCALE_BOUNDS = (1e-2, 1e3)


def fit_openturns(x, y, xtest, seed):
    import openturns as ot
    ot.RandomGenerator.SetSeed(seed)
    d = x.shape[1]
    algo = ot.KrigingAlgorithm(ot.Sample(x), ot.Sample(y[:, None]),
                               ot.SquaredExponential([1.0] * d, [1.0]),
                               ot.ConstantBasisFactory(d).build())
    algo.setOptimizationBounds(ot.Interval([LENGTH_SCALE_BOUNDS[0]] * d,
                                           [LENGTH_SCALE_BOUNDS[1]] * d))
    cpu, wall = time.process_time(), time.perf_counter()
    algo.run()
    cpu, wall = time.process_time() - cpu, time.perf_counter() - wall
    result = algo.getResult()
    scales = np.array(result.getCovarianceModel().getScale())
    pred = np.array(result.getMetaModel()(ot.Sample(xtest))).ravel()
    nugget = result.getCovarianceModel().getNuggetFactor()
    return cpu, wall, scales, pred, "SquaredExponential", nugget


def fit_sklearn(x, y, xtest, seed):
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.gaussian_process.kernels import RBF, ConstantKernel
    d = x.shape[1]
    kernel = ConstantKernel() * RBF(np.ones(d), LENGTH_SCALE_BOUNDS)
    gp = GaussianProcessRegressor(kernel, normalize_y=True,
                                  n_restarts_optimizer=SKLEARN_RESTARTS, random_state=seed)
    cpu, wall = time.process_time(), time.perf_counter()
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        gp.fit(x, y)
    cpu, wall = time.process_time() - cpu, time.perf_counter() - wall
    for w in caught:
        print("sklearn warning: %s" % w.message, file=sys.stderr)
    scales = np.array(gp.kernel_.k2.length_scale, dtype=float).ravel()
    note = "C*RBF, %d restarts" % SKLEARN_RESTARTS
    if caught:
        note += ", warnings in sklearn.log: %d" % len(caught)
    nugget = gp.alpha / gp.kernel_.k1.constant_value
    return cpu, wall, scales, gp.predict(xtest), note, nugget


PEERS = {"openturns": fit_openturns, "sklearn": fit_sklearn}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("peer", choices=sorted(PEERS))
    parser.add_argument("folder", help="data set folder written by data.py")
    parser.add_argument("result", help="JSON file to write")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    data = np.load(os.path.join(args.folder, "data.npz"))
    fit = PEERS[args.peer](data["x"], data["y"], data["xtest"], args.seed)
    cpu, wall, scales, pred, note, nugget = fit
    theta = gaussian_theta(scales)
    r = correlation_matrix(data["x"], np.zeros(len(theta)), theta)
    loglik, ll_note = profile_loglik(r, data["y"])
    if loglik is None:
        with_nugget, _ = profile_loglik(r + nugget * np.eye(len(r)), data["y"])
        if with_nugget is not None:
            ll_note += "; on R + %.0e I: %.2f" % (nugget, with_nugget)
    # The whole process's peak, in MB (ru_maxrss is in kB on Linux).
    peak_mb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    result = {
        "tool": args.peer, "cpu": cpu, "wall": wall, "loglik": loglik, "mem": peak_mb,
        "rmse": float(np.sqrt(np.mean((np.asarray(pred).ravel() - data["ytest"]) ** 2))),
        "note": "; ".join(s for s in (note, ll_note) if s), "theta": theta.tolist(),
    }
    with open(args.result, "w") as f:
        json.dump(result, f, indent=1)


if __name__ == "__main__":
    main()
