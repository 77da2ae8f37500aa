"""Sequential minimisation from the same start designs: DORVE's Minimize with
three settings against the expected-improvement loops of OpenTURNS and
scikit-learn (ego_loops.py). Writes one result file per function, seed and
method under <out>/ego/ and the table (ego_report.py) to <out>/ego_table.md.

A result is kept and reused while its key holds: for DORVE the checksum of
the binary, the session and the start design; for a peer its settings, its
library's version and the start design. So a rebuilt binary redoes DORVE's
runs and leaves the peers' alone; --force redoes what is asked.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import data  # noqa: E402
import ego_report  # noqa: E402
from ego_loops import SETTINGS  # noqa: E402
from functions import BY_NAME, FUNCTIONS  # noqa: E402

PYTHON = os.environ.get("PYTHON", "/usr/bin/python3")
SMOKE = {"functions": "branin", "seeds": "1", "budget": 5}


class Method:
    def __init__(self, name, title, peer=None, options=()):
        self.name = name
        self.title = title
        self.peer = peer  # None for DORVE
        self.options = list(options)  # (option, value) lines of a DORVE session


METHODS = [
    Method("dorve-default", "DORVE defaults"),
    Method("dorve-mle", "DORVE MleMethod = gradient", options=[("MleMethod", "gradient")]),
    Method("dorve-gradient", "DORVE + CriterionOptimMethod = gradient",
           options=[("MleMethod", "gradient"), ("CriterionOptimMethod", "gradient")]),
    # The same with tolerances that let a run spend its budget: the default
    # ones stop a run once the criterion is below 0.001 of the target.
    Method("dorve-budget", "DORVE + tolerances 1e-6, 1e-12",
           options=[("StoppingRelativeTolerance", "0.000001"),
                    ("StoppingAbsoluteTolerance", "1e-12"),
                    ("MleMethod", "gradient"), ("CriterionOptimMethod", "gradient")]),
    Method("openturns", "OpenTURNS EGO", peer="openturns"),
    Method("sklearn", "scikit-learn EI", peer="sklearn"),
]
METHOD_BY_NAME = {m.name: m for m in METHODS}


def file_digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def info_text(dorve):
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "info.cmd"), "w") as f:
            f.write("Info\nQuit\n")
        return subprocess.run([dorve, "info.cmd"], cwd=folder, capture_output=True,
                              text=True, check=True).stdout


def knows_option(info, option, value):
    """Info lists an option's values as 'Name = {a|b} ...' (the braces may
    span lines); '{number}' takes any value."""
    found = re.search(r"^%s\s*=\s*\{([^}]*)\}" % re.escape(option), info, re.M)
    values = [v.strip() for v in found.group(1).split("|")] if found else []
    return value in values or values == ["number"]


# ---- start designs -------------------------------------------------------

def design_folder(out, function, seed):
    return os.path.join(out, function.name, "seed%d" % seed)


def write_design(out, function, seed):
    """The maximin Latin hypercube of this function and seed (the same for
    every method), as CSV for DORVE and as a numpy archive for the peers;
    written only when the folder does not hold it yet, so that a run that
    reads it is never raced."""
    folder = design_folder(out, function, seed)
    rng = np.random.default_rng([seed, zlib.crc32(function.name.encode())])
    x = data.maximin_design(rng, function.start_runs, function.d)
    y = np.array([function.evaluate(list(row)) for row in x])
    digest = hashlib.sha256(x.tobytes() + y.tobytes()).hexdigest()
    archive = os.path.join(folder, "design.npz")
    if os.path.exists(archive):
        kept = np.load(archive)
        if np.array_equal(kept["x"], x) and np.array_equal(kept["y"], y):
            return folder, digest, y
    os.makedirs(folder, exist_ok=True)
    names = ["x%d" % (j + 1) for j in range(function.d)]
    data.write_csv(os.path.join(folder, "X.csv"), names, list(x.T))
    data.write_csv(os.path.join(folder, "y.csv"), ["y"], [y])
    with open(os.path.join(folder, "xdescription.mat"), "w") as f:
        f.write("--\nVariable Min Max\n--\n")
        f.writelines("%s 0 1\n" % name for name in names)
    np.savez(archive, x=x, y=y)
    return folder, digest, y


# ---- one run -------------------------------------------------------------

def run_child(argv, cwd, stdout, stderr):
    """Runs argv to its end; returns (exit status, CPU seconds of the child and
    of every process it waited for, wall seconds)."""
    wall = time.perf_counter()
    child = subprocess.Popen(argv, cwd=cwd, stdout=stdout, stderr=stderr)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    return child.returncode, usage.ru_utime + usage.ru_stime, time.perf_counter() - wall


def dorve_session(method, extra_options, budget):
    lines = ["X < ../X.csv", "y < ../y.csv", "XDescription < ../xdescription.mat"]
    lines += extra_options
    lines += ["%s = %s" % option for option in method.options]
    lines += ["ObjectiveFunction = ./objective", "MaxEvaluations = %d" % budget, "Minimize",
              "Quit"]
    return "\n".join(lines) + "\n"


def stop_of(text, evaluations, budget):
    """How a Minimize run ended, from its output: (kind, the line that says why)."""
    lines = text.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("Minimize stops:"):
            return "budget", line
        if line.startswith("Sorry, the objective returned"):
            return "objective", line
        if line.startswith("Final MaxCriterion"):
            after = [w for w in lines[i + 1:i + 4] if w.startswith("WARNING:")]
            if after:
                return "search", after[0][len("WARNING:"):].strip()
            return "converged", "converged: three iterations in a row below the stopping " \
                                "tolerance (%s)" % line.strip()
    return "error", "no stop line after %d of %d evaluations" % (evaluations, budget)


def run_dorve(method, dorve, function, folder, budget, extra_options):
    run = os.path.join(folder, method.name)
    shutil.rmtree(run, ignore_errors=True)
    os.makedirs(run)
    session = dorve_session(method, extra_options, budget)
    with open(os.path.join(run, "session.cmd"), "w") as f:
        f.write(session)
    objective = os.path.join(run, "objective")
    with open(objective, "w") as f:
        f.write('#!/bin/sh\nexec "%s" "%s" %s evaluations.log "$1"\n'
                % (PYTHON, os.path.join(HERE, "ego_objective.py"), function.name))
    os.chmod(objective, 0o755)
    with open(os.path.join(run, "stderr.txt"), "w") as err:
        status, cpu, wall = run_child([dorve, "session.cmd", "out.txt"], run,
                                      subprocess.DEVNULL, err)
    text = open(os.path.join(run, "out.txt")).read()
    for refusal in ("Cannot parse this line", "Sorry, command ignored"):
        if refusal in text:
            sys.exit("ego_bench: DORVE refused a line of %s/session.cmd (see out.txt)" % run)
    values, objective_cpu = [], 0.0
    if os.path.exists(os.path.join(run, "evaluations.log")):
        for line in open(os.path.join(run, "evaluations.log")):
            words = line.split()
            values.append(float(words[-2]))
            objective_cpu += float(words[-1])
    stop, reason = stop_of(text, len(values), budget)
    if status != 0:
        reason += "; exit status %d" % status
    return {"values": values, "cpu": cpu - objective_cpu, "process_cpu": cpu, "wall": wall,
            "stop": stop, "reason": reason, "session": session}


def run_peer(method, function, folder, budget, seed):
    run = os.path.join(folder, method.name)
    os.makedirs(run, exist_ok=True)
    result = os.path.join(run, "loop.json")
    argv = [PYTHON, os.path.join(HERE, "ego_loops.py"), method.peer, function.name,
            os.path.join(folder, "design.npz"), result, "--budget", str(budget),
            "--seed", str(seed)]
    with open(os.path.join(run, "stderr.txt"), "w") as err:
        status, cpu, wall = run_child(argv, run, subprocess.DEVNULL, err)
    if status != 0:
        sys.exit("ego_bench: %s failed on %s (see %s/stderr.txt)" % (method.peer, function.name,
                                                                     run))
    loop = json.load(open(result))
    return {"values": loop["values"], "cpu": loop["cpu"], "process_cpu": cpu, "wall": wall,
            "stop": loop["stop"], "reason": loop["note"]}


def peer_version(peer):
    return subprocess.run([PYTHON, "-c", "import %s; print(%s.__version__)" % (peer, peer)],
                          capture_output=True, text=True, check=True).stdout.strip()


def run_key(method, context, function, seed, budget, design_digest):
    key = {"function": function.name, "seed": seed, "budget": budget, "design": design_digest}
    if method.peer:
        key.update(settings=SETTINGS[method.peer], version=context["versions"][method.peer])
    else:
        key.update(binary=context["binary"],
                   session=dorve_session(method, context["options"], budget))
    return key


def lookup(method, context, function, seed, budget):
    """(the stored result when its key still holds, or None; the key; the
    design folder; the start design's responses)."""
    folder, digest, start_y = write_design(context["out"], function, seed)
    key = run_key(method, context, function, seed, budget, digest)
    path = os.path.join(folder, method.name + ".json")
    stored = json.load(open(path)) if os.path.exists(path) else {}
    return (stored if stored.get("key") == key else None), key, folder, start_y


def ensure_run(method, context, function, seed, budget, force):
    """The result of one run, from the cache when its key still holds."""
    cached, key, folder, start_y = lookup(method, context, function, seed, budget)
    if cached and not force:
        return cached
    print("%s on %s, seed %d ..." % (method.title, function.name, seed), flush=True)
    if method.peer:
        result = run_peer(method, function, folder, budget, seed)
    else:
        result = run_dorve(method, context["dorve"], function, folder, budget, context["options"])
    result.update(key=key, start=start_y.tolist(), load=os.getloadavg()[0])
    with open(os.path.join(folder, method.name + ".json"), "w") as f:
        json.dump(result, f, indent=1)
    return result


def list_argument(text, known, what):
    names = [n for n in text.split(",") if n]
    unknown = [n for n in names if n not in known]
    if unknown:
        sys.exit("ego_bench: unknown %s %s; known: %s" % (what, ", ".join(unknown),
                                                          ", ".join(known)))
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--dorve", default="build/dorve")
    parser.add_argument("--out", default="build-bench/peers")
    parser.add_argument("--functions", default=",".join(f.name for f in FUNCTIONS))
    parser.add_argument("--seeds", default="1,2,3")
    parser.add_argument("--methods", default=",".join(m.name for m in METHODS),
                        help="the methods to run; the table shows every method's results")
    parser.add_argument("--option", action="append", default=[],
                        help="a line for every DORVE session before Minimize "
                             "(default: Threads = 1)")
    parser.add_argument("--force", action="store_true", help="redo the runs asked for")
    parser.add_argument("--smoke", action="store_true",
                        help="Branin, seed 1, 5 added evaluations, in <out>/ego_smoke")
    args = parser.parse_args()
    if args.smoke:
        args.functions, args.seeds = SMOKE["functions"], SMOKE["seeds"]
    functions = [BY_NAME[n] for n in list_argument(args.functions, list(BY_NAME), "function")]
    seeds = [int(s) for s in args.seeds.split(",")]
    asked = list_argument(args.methods, list(METHOD_BY_NAME), "method")
    dorve = os.path.abspath(args.dorve)
    info = info_text(dorve)
    available = [m.name for m in METHODS
                 if all(knows_option(info, option, value) for option, value in m.options)]
    peers = {m.peer for m in METHODS if m.peer}
    versions = {}
    for peer in sorted(peers):
        try:
            versions[peer] = peer_version(peer)
        except subprocess.CalledProcessError:
            print("ego_bench: %s is not installed; its column stays empty" % peer)
    available = [m for m in available if METHOD_BY_NAME[m].peer in (None, *versions)]
    out = os.path.abspath(args.out)
    context = {"out": os.path.join(out, "ego_smoke" if args.smoke else "ego"), "dorve": dorve,
               "binary": file_digest(dorve), "options": args.option or ["Threads = 1"],
               "versions": versions}
    print("Load before: %.2f" % os.getloadavg()[0], flush=True)
    results = {}
    for function in functions:
        budget = SMOKE["budget"] if args.smoke else function.budget
        for seed in seeds:
            for method in METHODS:
                if method.name not in available:
                    continue
                if method.name in asked:
                    result = ensure_run(method, context, function, seed, budget, args.force)
                else:  # shown when an earlier run of the same key is there
                    result = lookup(method, context, function, seed, budget)[0]
                if result:
                    results[(function.name, seed, method.name)] = result
    print("Load after: %.2f" % os.getloadavg()[0], flush=True)
    table = ego_report.table(functions, seeds, METHODS, available, results,
                             SMOKE["budget"] if args.smoke else None, versions)
    name = "ego_smoke_table.md" if args.smoke else "ego_table.md"
    with open(os.path.join(out, name), "w") as f:
        f.write(table)
    print(table, end="")


if __name__ == "__main__":
    main()
