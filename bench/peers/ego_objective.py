#!/usr/bin/python3
"""Objective program for DORVE's Minimize in the sequential-minimisation benchmark.

  ego_objective.py FUNCTION LOG dorve.temp

Reads the point (scaled to the unit cube) from the exchange file, appends the
function's value to it, and appends one line to LOG: the coordinates as read,
the value, and this process's own CPU seconds (so that the benchmark can count
the evaluations exactly and leave the objective's start-up out of DORVE's time).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from functions import BY_NAME  # noqa: E402


def main(name, log, path):
    function = BY_NAME[name]
    tokens = open(path).read().split()
    if int(tokens[0]) != function.d:
        sys.exit("ego_objective: %s has %s inputs, %s takes %d" % (path, tokens[0], name,
                                                                   function.d))
    coordinates = tokens[1:1 + function.d]
    value = function.evaluate([float(t) for t in coordinates])
    with open(path, "a") as f:
        f.write(" %.17g\n" % value)
    times = os.times()
    with open(log, "a") as f:
        f.write("%s %.17g %.6f\n" % (" ".join(coordinates), value, times.user + times.system))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: " + __doc__.splitlines()[2].strip())
    main(*sys.argv[1:])
