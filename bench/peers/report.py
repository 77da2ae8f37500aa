"""Collects the DORVE runs and the peer results into one markdown table, and
checks the numpy log-likelihood against DORVE's own on the cross-check run.

DORVE run folders (<set>/dorve_<method>/) hold out.txt (the session output),
time.txt (user, system and elapsed seconds from /usr/bin/time) and pred.csv;
fit_R.csv (the fitted R), when there, adds numpy's log-likelihood at the
same point to the notes where it differs from DORVE's in the table's digits.
The cross-check run also holds params.mat and params_R.csv.
"""
import argparse
import json
import os
import re
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from loglik import correlation_matrix, profile_loglik  # noqa: E402

# DORVE prints the log-likelihood with six decimals, and its R is ill-conditioned:
# near a singular R two Cholesky codes agree to about 1e-5 of the value.
LOGLIK_AGREEMENT = 1e-5  # relative to max(1, |loglik|)
NOTE_DIFFERENCE = 0.005  # the table shows two decimals
TRY_EVALUATION_LIMIT = 2000  # DORVE's simplex stops a try there
R_AGREEMENT = 1e-12


def rmse(pred, truth):
    return float(np.sqrt(np.mean((np.asarray(pred).ravel() - truth) ** 2)))


def printed_loglik(text):
    found = re.findall(r"^LogLikelihood:\s*(\S+)", text, re.M)
    if len(found) != 1:
        sys.exit("report: expected one LogLikelihood line in the DORVE output, found %d"
                 % len(found))
    return float(found[0])


def dorve_row(folder, method, data):
    y, ytest, d = data["y"], data["ytest"], data["x"].shape[1]
    text = open(os.path.join(folder, "out.txt")).read()
    times = open(os.path.join(folder, "time.txt")).read().split()
    user, system, elapsed = (float(v) for v in times[:3])
    peak_mb = float(times[3]) / 1024.0 if len(times) > 3 else None
    pred = read_csv_matrix(os.path.join(folder, "pred.csv"))[:, 0]
    tries = [int(e) for e in re.findall(r"^MLE-Try.*Evals:\s*(\d+)", text, re.M)]
    notes = ["%d evaluations" % sum(tries)] if tries else []
    # A try's Evals is d + 1 plus the minimiser's count; DORVE warns only when
    # the minimiser passes the limit, not when it stops exactly on it.
    at_limit = sum(1 for e in tries if e - (d + 1) >= TRY_EVALUATION_LIMIT)
    if at_limit:
        notes.append("tries at the %d-evaluation limit: %d" % (TRY_EVALUATION_LIMIT, at_limit))
    loglik = printed_loglik(text)
    if os.path.exists(os.path.join(folder, "fit_R.csv")):  # numpy's view of the same point
        mine, ll_note = profile_loglik(read_csv_matrix(os.path.join(folder, "fit_R.csv")), y)
        if mine is None or abs(mine - loglik) > NOTE_DIFFERENCE:
            notes.append("numpy on DORVE's R: %s" % ("-" if mine is None else "%.2f" % mine))
        notes += [ll_note] if ll_note else []
    return {"tool": "DORVE (%s)" % method, "cpu": user + system, "wall": elapsed,
            "loglik": loglik, "rmse": rmse(pred, ytest), "mem": peak_mb,
            "note": ", ".join(notes)}


def read_csv_matrix(path):
    return np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)


def read_params(path):
    """alpha and theta from a CorrelationParameters matrix file of one y."""
    lines = open(path).read().splitlines()
    dashes = [i for i, line in enumerate(lines) if line.startswith("--")]
    column = {name.split(".")[0]: i for i, name in enumerate(lines[dashes[0] + 1].split())}
    rows = [line.split() for line in lines[dashes[1] + 1:] if line.split()]
    return (np.array([float(r[column["Alpha"]]) for r in rows]),
            np.array([float(r[column["Theta"]]) for r in rows]))


def cross_check(out, run, data):
    """DORVE's printed log-likelihood against numpy's on DORVE's fitted R,
    and DORVE's R at written-out parameters against numpy's correlation."""
    folder = os.path.join(out, run)
    text = open(os.path.join(folder, "out.txt")).read()
    fit_r = read_csv_matrix(os.path.join(folder, "fit_R.csv"))
    mine, _ = profile_loglik(fit_r, data["y"])
    theirs = printed_loglik(text)
    alpha, theta = read_params(os.path.join(folder, "params.mat"))
    dorve_r = read_csv_matrix(os.path.join(folder, "params_R.csv"))
    r_gap = float(np.abs(correlation_matrix(data["x"], alpha, theta) - dorve_r).max())
    if mine is None:
        sys.exit("report: the cross-check failed: DORVE's fitted R is not positive definite")
    lines = ["Cross-check on %s: log-likelihood of DORVE's fitted R in numpy %.7f, DORVE printed "
             "%.6f (difference %.1e); R rebuilt in numpy from the written alpha and theta "
             "differs from DORVE's R by at most %.1e."
             % (run, mine, theirs, abs(mine - theirs), r_gap)]
    if abs(mine - theirs) > LOGLIK_AGREEMENT * max(1.0, abs(theirs)) or r_gap > R_AGREEMENT:
        sys.exit("report: the cross-check failed\n" + lines[0])
    return lines


def cell(value, fmt):
    return "-" if value is None else fmt % value


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out", help="benchmark folder")
    parser.add_argument("--sets", required=True)
    parser.add_argument("--methods", required=True)
    parser.add_argument("--peers", default="", help="peers that ran")
    parser.add_argument("--missing", default="", help="peers that are not installed")
    parser.add_argument("--cross-check", required=True, help="DORVE run folder to cross-check")
    args = parser.parse_args()
    table = ["| set | tool | CPU s | wall s | loglik | held-out RMSE | peak MB | notes |",
             "|---|---|---|---|---|---|---|---|"]
    for name in args.sets.split(","):
        folder = os.path.join(args.out, name)
        data = np.load(os.path.join(folder, "data.npz"))
        rows = [dorve_row(os.path.join(folder, "dorve_" + m), m, data)
                for m in args.methods.split(",")]
        rows += [json.load(open(os.path.join(folder, p + ".json")))
                 for p in args.peers.split(",") if p]
        rows += [{"tool": p, "cpu": None, "wall": None, "loglik": None, "rmse": None,
                  "note": "not installed"} for p in args.missing.split(",") if p]
        for r in rows:
            table.append("| %s | %s | %s | %s | %s | %s | %s | %s |" % (
                name, r["tool"], cell(r["cpu"], "%.2f"), cell(r["wall"], "%.2f"),
                cell(r["loglik"], "%.2f"), cell(r["rmse"], "%.4f"), cell(r.get("mem"), "%.0f"),
                r["note"]))
    set_name = args.cross_check.split("/")[0]
    check = cross_check(args.out, args.cross_check,
                        np.load(os.path.join(args.out, set_name, "data.npz")))
    print("\n".join(table + [""] + check))


if __name__ == "__main__":
    main()
