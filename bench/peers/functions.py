"""The test functions of the sequential-minimisation benchmark, on the unit cube.

Every function takes u in [0, 1]^d and maps it onto its own box first. The
code uses the math module for single points (the objective program, the peers'
loops) and runs as well on numpy columns when the module passed as `m` is
numpy (data.py's borehole sets), so one definition serves both. This module
imports nothing heavier than math: the objective program starts once per
evaluation.

MINIMA holds each function's minimum over its box and how it is known;
ego_minima.py checks them with a multi-start local search.
"""
import math

BRANIN_BOX = [(-5.0, 10.0), (0.0, 15.0)]
GOLDSTEIN_PRICE_BOX = [(-2.0, 2.0), (-2.0, 2.0)]

HARTMANN3_A = [[3.0, 10.0, 30.0], [0.1, 10.0, 35.0], [3.0, 10.0, 30.0], [0.1, 10.0, 35.0]]
HARTMANN3_P = [[0.3689, 0.1170, 0.2673], [0.4699, 0.4387, 0.7470],
               [0.1091, 0.8732, 0.5547], [0.0381, 0.5743, 0.8828]]
HARTMANN6_A = [[10.0, 3.0, 17.0, 3.5, 1.7, 8.0], [0.05, 10.0, 17.0, 0.1, 8.0, 14.0],
               [3.0, 3.5, 1.7, 10.0, 17.0, 8.0], [17.0, 8.0, 0.05, 10.0, 0.1, 14.0]]
HARTMANN6_P = [[0.1312, 0.1696, 0.5569, 0.0124, 0.8283, 0.5886],
               [0.2329, 0.4135, 0.8307, 0.3736, 0.1004, 0.9991],
               [0.2348, 0.1451, 0.3522, 0.2883, 0.3047, 0.6650],
               [0.4047, 0.8828, 0.8732, 0.5743, 0.1091, 0.0381]]
HARTMANN_C = [1.0, 1.2, 3.0, 3.2]

# Wing weight of a light aircraft (lb): Sw, Wfw, A, Lambda (degrees), q, taper,
# t/c, Nz, Wdg, Wp.
WING_WEIGHT_BOX = [(150.0, 200.0), (220.0, 300.0), (6.0, 10.0), (-10.0, 10.0), (16.0, 45.0),
                   (0.5, 1.0), (0.08, 0.18), (2.5, 6.0), (1700.0, 2500.0), (0.025, 0.08)]

TRID_D = 15
TRID_HALF_WIDTH = float(TRID_D ** 2)

# Water flow through a borehole (m3/yr): rw, radius of the borehole (m); r,
# radius of influence (m); Tu, Tl, transmissivities of the upper and lower
# aquifers (m2/yr); Hu, Hl, their potentiometric heads (m); L, length of the
# borehole (m); Kw, hydraulic conductivity of the borehole (m/yr).
BOREHOLE_BOX = [(0.05, 0.15), (100.0, 50000.0), (63070.0, 115600.0), (990.0, 1110.0),
                (63.1, 116.0), (700.0, 820.0), (1120.0, 1680.0), (9855.0, 12045.0)]


def scaled(u, box):
    """u in the unit cube mapped onto box, coordinate by coordinate."""
    return [lo + t * (hi - lo) for t, (lo, hi) in zip(u, box)]


def branin(u, m=math):
    x1, x2 = scaled(u, BRANIN_BOX)
    q = x2 - 5.1 / (4.0 * m.pi ** 2) * x1 ** 2 + 5.0 / m.pi * x1 - 6.0
    return q ** 2 + 10.0 * (1.0 - 1.0 / (8.0 * m.pi)) * m.cos(x1) + 10.0


def goldstein_price(u, m=math):
    x1, x2 = scaled(u, GOLDSTEIN_PRICE_BOX)
    a = 1.0 + (x1 + x2 + 1.0) ** 2 * (19.0 - 14.0 * x1 + 3.0 * x1 ** 2 - 14.0 * x2
                                      + 6.0 * x1 * x2 + 3.0 * x2 ** 2)
    b = 30.0 + (2.0 * x1 - 3.0 * x2) ** 2 * (18.0 - 32.0 * x1 + 12.0 * x1 ** 2 + 48.0 * x2
                                             - 36.0 * x1 * x2 + 27.0 * x2 ** 2)
    return a * b


def hartmann(u, a, p, m=math):
    total = 0.0
    for c, a_row, p_row in zip(HARTMANN_C, a, p):
        total = total - c * m.exp(-sum(aj * (uj - pj) ** 2 for aj, uj, pj in zip(a_row, u, p_row)))
    return total


def hartmann3(u, m=math):
    return hartmann(u, HARTMANN3_A, HARTMANN3_P, m)


def hartmann6(u, m=math):
    return hartmann(u, HARTMANN6_A, HARTMANN6_P, m)


def wing_weight(u, m=math):
    sw, wfw, a, lam_deg, q, taper, tc, nz, wdg, wp = scaled(u, WING_WEIGHT_BOX)
    c = m.cos(lam_deg * m.pi / 180.0)
    return (0.036 * sw ** 0.758 * wfw ** 0.0035 * (a / c ** 2) ** 0.6 * q ** 0.006
            * taper ** 0.04 * (100.0 * tc / c) ** -0.3 * (nz * wdg) ** 0.49 + sw * wp)


def borehole(u, m=math):
    rw, r, tu, hu, tl, hl, length, kw = scaled(u, BOREHOLE_BOX)
    log_ratio = m.log(r / rw)
    return (2.0 * m.pi * tu * (hu - hl)
            / (log_ratio * (1.0 + 2.0 * length * tu / (log_ratio * rw ** 2 * kw) + tu / tl)))


def trid15(u, m=math):
    """The Trid function on [-225, 225]^15 (the box [-d^2, d^2]): a convex
    quadratic whose minimum lies inside the box, at the bottom of a narrow
    valley (its Hessian's condition number is about 100)."""
    x = scaled(u, [(-TRID_HALF_WIDTH, TRID_HALF_WIDTH)] * TRID_D)
    return (sum((t - 1.0) ** 2 for t in x)
            - sum(x[i] * x[i - 1] for i in range(1, TRID_D)))


class TestFunction:
    def __init__(self, name, title, evaluate, d, start_runs, budget, minimum, minimum_source):
        self.name = name
        self.title = title
        self.evaluate = evaluate
        self.d = d
        self.start_runs = start_runs
        self.budget = budget  # added evaluations
        self.minimum = minimum
        self.minimum_source = minimum_source

    def target(self):
        """Values at or below this are within 1% of the minimum."""
        return self.minimum + 0.01 * abs(self.minimum)


FUNCTIONS = [
    TestFunction("branin", "Branin", branin, 2, 21, 60, 5.0 / (4.0 * math.pi),
                 "at (-pi, 12.275), (pi, 2.275) and (3 pi, 2.475)"),
    TestFunction("goldstein_price", "Goldstein-Price", goldstein_price, 2, 21, 100, 3.0,
                 "at (0, -1)"),
    TestFunction("hartmann3", "Hartmann-3", hartmann3, 3, 31, 60, -3.862779787332663,
                 "at (0.114589, 0.555649, 0.852547)"),
    TestFunction("hartmann6", "Hartmann-6", hartmann6, 6, 61, 100, -3.3223680114155147,
                 "at (0.20169, 0.150011, 0.476874, 0.275332, 0.311652, 0.6573)"),
    TestFunction("borehole", "borehole", borehole, 8, 80, 40, 7.819676328755232,
                 "at a vertex of the box: the flow rises with rw, Tu, Hu, Tl and Kw and falls"
                 " with r, Hl and L, so rw, Tu, Hu, Tl, Kw at their lower and r, Hl, L at"
                 " their upper bounds"),
    TestFunction("wing_weight", "wing weight", wing_weight, 10, 100, 40, 123.25367170091785,
                 "the weight falls with t/c and rises with every other input but the sweep"
                 " angle, whose cosine is largest at 0 degrees: t/c at its upper bound, Lambda"
                 " = 0, the others at their lower bounds"),
    TestFunction("trid15", "Trid", trid15, TRID_D, 10 * TRID_D, 40,
                 -TRID_D * (TRID_D + 4) * (TRID_D - 1) / 6.0,
                 "-d (d + 4) (d - 1) / 6 at x_i = i (d + 1 - i), inside the box: the gradient"
                 " vanishes there and the quadratic is convex"),
]
BY_NAME = {f.name: f for f in FUNCTIONS}
