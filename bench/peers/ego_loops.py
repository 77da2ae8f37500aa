"""One peer's expected-improvement loop on one function from one start design;
writes the responses it asked for, in order, its CPU seconds and how it
ended as JSON.

openturns: EfficientGlobalOptimization from a KrigingAlgorithm (constant
basis, anisotropic Matern 5/2), its default expected-improvement search (a
multi-start from uniform points) and its default refit at every evaluation.
Its own convergence tolerances are set to 0 so that it spends the same budget
as the others (with its defaults it may stop once its absolute, relative or
residual error falls below 1e-5: on Branin after 19 of 60 evaluations).
When its criterion search fails ("None of the local searches succeeded") the
run ends there, as a user's would. The length-scale bounds are widened as in the fit
comparison: its default upper bound of twice the design's range holds smooth
responses (the wing weight, the borehole) at the bound.
sklearn: a loop written as a user would write it: GaussianProcessRegressor
(constant times anisotropic Matern 5/2, normalize_y), refitted after every
evaluation from the previous hyperparameters plus a few random restarts; the
expected improvement over the best value so far maximised by L-BFGS-B from
the best of many uniform candidates and from random starts; the best point
found is evaluated next.
CPU seconds cover the loop, from the first fit to the last evaluation.
"""
import argparse
import json
import os
import sys
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from functions import BY_NAME  # noqa: E402

SETTINGS = {
    "openturns": {"covariance": "Matern 5/2", "scale_factor": 1000.0, "tolerances": 0.0},
    "sklearn": {"kernel": "C*Matern 5/2", "restarts": 4, "length_scale_bounds": [1e-2, 1e3],
                "candidates": 5000, "best_candidate_starts": 3, "random_starts": 7},
}


def openturns_loop(function, x, y, budget, seed, evaluate):
    import openturns as ot
    ot.Log.Show(ot.Log.NONE)
    settings = SETTINGS["openturns"]
    ot.ResourceMap.SetAsScalar("GeneralLinearModelAlgorithm-DefaultOptimizationScaleFactor",
                               settings["scale_factor"])
    ot.RandomGenerator.SetSeed(seed)
    d = function.d
    model = ot.PythonFunction(d, 1, lambda u: [evaluate(list(u))])
    problem = ot.OptimizationProblem(model)
    problem.setBounds(ot.Interval([0.0] * d, [1.0] * d))
    kriging = ot.KrigingAlgorithm(ot.Sample(x), ot.Sample(y[:, None]),
                                  ot.MaternModel([1.0] * d, [1.0], 2.5),
                                  ot.ConstantBasisFactory(d).build())
    kriging.run()
    algo = ot.EfficientGlobalOptimization(problem, kriging.getResult())
    algo.setMaximumEvaluationNumber(budget)
    algo.setMaximumAbsoluteError(settings["tolerances"])
    algo.setMaximumRelativeError(settings["tolerances"])
    algo.setMaximumResidualError(settings["tolerances"])
    try:
        algo.run()
    except RuntimeError as error:  # its criterion search gave up: the run ends there
        return "search", str(error).strip()
    return "", "%d evaluations" % algo.getResult().getEvaluationNumber()


def expected_improvement(gp, u, ymin):
    from scipy.stats import norm
    mean, std = gp.predict(np.atleast_2d(u), return_std=True)
    std = np.maximum(std, 1e-12)
    z = (ymin - mean) / std
    return (ymin - mean) * norm.cdf(z) + std * norm.pdf(z)


def next_point(gp, ymin, d, rng):
    from scipy.optimize import minimize
    settings = SETTINGS["sklearn"]
    candidates = rng.random((settings["candidates"], d))
    ei = expected_improvement(gp, candidates, ymin)
    order = np.argsort(-ei)
    best_u, best_ei = candidates[order[0]], ei[order[0]]
    starts = list(candidates[order[:settings["best_candidate_starts"]]])
    starts += list(rng.random((settings["random_starts"], d)))
    for start in starts:
        found = minimize(lambda u: -expected_improvement(gp, u, ymin)[0], start,
                         method="L-BFGS-B", bounds=[(0.0, 1.0)] * d)
        if -found.fun > best_ei:
            best_u, best_ei = np.clip(found.x, 0.0, 1.0), -found.fun
    return best_u


def sklearn_loop(function, x, y, budget, seed, evaluate):
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.gaussian_process.kernels import ConstantKernel, Matern
    settings = SETTINGS["sklearn"]
    d = function.d
    rng = np.random.default_rng(seed)
    kernel = ConstantKernel() * Matern(np.ones(d), settings["length_scale_bounds"], nu=2.5)
    warned = 0
    for _ in range(budget):
        gp = GaussianProcessRegressor(kernel, normalize_y=True,
                                      n_restarts_optimizer=settings["restarts"],
                                      random_state=int(rng.integers(2 ** 31)))
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            gp.fit(x, y)
        warned += len(caught)
        kernel = gp.kernel_  # the next fit starts from here
        u = next_point(gp, y.min(), d, rng)
        x = np.vstack([x, u])
        y = np.append(y, evaluate(list(u)))
    return "", "%d fits warned" % warned if warned else ""


LOOPS = {"openturns": openturns_loop, "sklearn": sklearn_loop}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("peer", choices=sorted(LOOPS))
    parser.add_argument("function", choices=sorted(BY_NAME))
    parser.add_argument("design", help="numpy archive with the start design x and y")
    parser.add_argument("result", help="JSON file to write")
    parser.add_argument("--budget", type=int, required=True, help="evaluations to add")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    function = BY_NAME[args.function]
    design = np.load(args.design)
    values = []

    def evaluate(u):
        values.append(function.evaluate(u))
        return values[-1]

    cpu = time.process_time()
    stop, note = LOOPS[args.peer](function, design["x"], design["y"], args.budget, args.seed,
                                  evaluate)
    cpu = time.process_time() - cpu
    if not stop:
        stop = "budget" if len(values) >= args.budget else "early"
    with open(args.result, "w") as f:
        json.dump({"values": values[:args.budget], "cpu": cpu, "calls": len(values),
                   "stop": stop, "note": note}, f, indent=1)


if __name__ == "__main__":
    main()
