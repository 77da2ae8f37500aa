"""The markdown table of the sequential-minimisation benchmark (ego_bench.py).

A result holds the start design's responses ("start") and the responses the
method asked for, in order ("values"). Per function and method, medians over
the seeds of:
- evaluations, counting the start design, until the best value is within 1%
  of the function's minimum over its box (a run that never gets there counts
  as more than its budget; "> N" when the median is such a run);
- for d >= 8, the gap left after 40 added evaluations,
  (best - minimum) / (best of the start design - minimum);
- CPU seconds per run (DORVE's process without the objective's, the peers'
  loop).
"""
import statistics

GAP_FROM_DIMENSION = 8
GAP_AFTER = 40  # added evaluations


def evaluations_to_target(function, result):
    best = min(result["start"])
    if best <= function.target():
        return len(result["start"])
    for i, value in enumerate(result["values"]):
        best = min(best, value)
        if best <= function.target():
            return len(result["start"]) + i + 1
    return None


def gap_after(function, result, added):
    start = min(result["start"])
    best = min([start] + result["values"][:added])
    return (best - function.minimum) / (start - function.minimum)


def median_count(counts, ceiling):
    """Median with runs that never reached the target above everything."""
    ranked = sorted(float("inf") if c is None else c for c in counts)
    middle = statistics.median(ranked)
    if middle == float("inf"):
        return "> %d" % ceiling
    return "%g" % middle


def stop_cell(runs, budget):
    early = [r for r in runs if len(r["values"]) < budget]
    if not early:
        return "0/%d" % len(runs)
    kinds = sorted({r["stop"] for r in early})
    return "%d/%d (%s)" % (len(early), len(runs),
                           ", ".join("%s %d" % (k, sum(r["stop"] == k for r in early))
                                     for k in kinds))


def function_rows(function, seeds, methods, available, results, budget):
    ceiling = function.start_runs + budget
    title = "%s (d = %d, %d + %d)" % (function.title, function.d, function.start_runs, budget)
    rows = {"evaluations to 1%": [], "gap after %d" % GAP_AFTER: [], "CPU s per run": [],
            "stopped before the budget": []}
    for method in methods:
        runs = [results[(function.name, s, method.name)] for s in seeds
                if (function.name, s, method.name) in results]
        if method.name not in available or not runs:
            cell = "n/a" if method.name not in available else "-"
            for row in rows.values():
                row.append(cell)
            continue
        counts = [evaluations_to_target(function, r) for r in runs]
        reached = sum(c is not None for c in counts)
        rows["evaluations to 1%"].append("%s (%d/%d)" % (median_count(counts, ceiling), reached,
                                                          len(runs)))
        rows["gap after %d" % GAP_AFTER].append(
            "%.3g" % statistics.median(gap_after(function, r, GAP_AFTER) for r in runs))
        rows["CPU s per run"].append("%.1f" % statistics.median(r["cpu"] for r in runs))
        rows["stopped before the budget"].append(stop_cell(runs, budget))
    if function.d < GAP_FROM_DIMENSION:
        del rows["gap after %d" % GAP_AFTER]
    lines = []
    for i, (name, cells) in enumerate(rows.items()):
        lines.append("| %s | %s | %s |" % (title if i == 0 else "", name, " | ".join(cells)))
    return lines


def early_stops(functions, seeds, methods, results, budget_of):
    lines = []
    for function in functions:
        for seed in seeds:
            for method in methods:
                r = results.get((function.name, seed, method.name))
                if r and len(r["values"]) < budget_of(function):
                    lines.append("- %s, seed %d, %s: after %d of %d evaluations, best %.6g: %s"
                                 % (function.title, seed, method.title, len(r["values"]),
                                    budget_of(function), min(r["start"] + r["values"]),
                                    r["reason"]))
    return lines


def per_seed(functions, seeds, methods, results):
    lines = ["| function | method | " + " | ".join("seed %d" % s for s in seeds) + " |",
             "|---|---|" + "---|" * len(seeds)]
    for function in functions:
        for method in methods:
            cells = []
            for seed in seeds:
                r = results.get((function.name, seed, method.name))
                if r is None:
                    cells.append("-")
                    continue
                count = evaluations_to_target(function, r)
                cells.append("%s, best %.6g" % ("-" if count is None else count,
                                                min(r["start"] + r["values"])))
            if any(c != "-" for c in cells):
                lines.append("| %s | %s | %s |" % (function.title, method.title, " | ".join(cells)))
    return lines


def cpu_totals(functions, seeds, methods, available, results):
    """Total CPU seconds per method over the runs every method has, with the
    ratio to the first method's."""
    shown = [m for m in methods if m.name in available]
    pairs = [(f.name, s) for f in functions for s in seeds
             if all((f.name, s, m.name) in results for m in shown)]
    if not pairs or not shown:
        return []
    totals = [sum(results[(f, s, m.name)]["cpu"] for f, s in pairs) for m in shown]
    loads = [results[(f, s, m.name)].get("load", 0.0) for f, s in pairs for m in shown]
    base = totals[0] or 1.0
    return ["CPU seconds over the %d function-and-seed pairs every method ran (ratio to %s): %s."
            % (len(pairs), shown[0].title,
               "; ".join("%s %.1f (%.2f)" % (m.title, t, t / base) for m, t in zip(shown, totals))),
            "Load average when the runs ended: %.2f to %.2f." % (min(loads), max(loads))]


def table(functions, seeds, methods, available, results, smoke_budget, versions):
    def budget_of(function):
        return smoke_budget if smoke_budget else function.budget
    header = "| function (d, start + added runs) | median over %d seeds | %s |" % (
        len(seeds), " | ".join(m.title for m in methods))
    lines = [header, "|---|---|" + "---|" * len(methods)]
    for function in functions:
        lines += function_rows(function, seeds, methods, available, results, budget_of(function))
    lines += ["", "Evaluations count the start design; (k/n): the seeds that got within 1%% of the "
              "minimum; > N: the median run did not within its N evaluations; gap: (best - "
              "minimum) / (best of the start design - minimum) after %d added evaluations; CPU: "
              "DORVE's process without its objective program's, the peers' loop; stopped: runs "
              "that ended before their budget (converged: DORVE's convergence rule; search: the "
              "criterion search gave up)." % GAP_AFTER]
    lines += ["", "Minima over the box: " + "; ".join(
        "%s %.10g (%s)" % (f.title, f.minimum, f.minimum_source) for f in functions) + "."]
    peers = sorted({m.peer for m in methods if m.peer})
    lines += ["", "Peers: " + ", ".join("%s %s" % (p, versions.get(p, "not installed"))
                                        for p in peers) + "."]
    lines += [""] + cpu_totals(functions, seeds, methods, available, results)
    stops = early_stops(functions, seeds, methods, results, budget_of)
    if stops:
        lines += ["", "Runs that stopped before the budget:"] + stops
    lines += ["", "Per seed: evaluations to 1% (- not reached) and the best value found.", ""]
    lines += per_seed(functions, seeds, methods, results)
    return "\n".join(lines) + "\n"
