#!/usr/bin/env python3
# Writes random but valid 152-line parameter files, for byte-identity comparisons of two
# builds of survseq (see compare_runs.sh next to this file).
#
# Usage:
#   tests/tools/random_designs.py OUTDIR [--count N] [--seed S]
#
#   OUTDIR   directory to write into (created if missing); files are named
#            design_0001.par, design_0002.par, ... and existing files of that name are
#            overwritten.
#   --count  number of files (default 300)
#   --seed   seed of the generator (default 1); the same seed and count always give the
#            same files, byte for byte.
#
# Every file names its report `report.out` (line 14). The designs cover every boundary
# method (error split, Lan-DeMets with use functions 1-4, Haybittle, given boundaries),
# 1-12 looks (now and then up to 15), 1-5 statistics with various rho and tau, both ways of
# giving the treatment arm (survival curve, hazard ratios), censoring curves, drop-in and
# drop-out, one- and two-sided tests, and now and then a value that the reader repairs
# (a 0 count, code or last cut point, a last survival value of 0, a hazard ratio of 0, a
# b of 1 or less, a boundary value of 0, the accrual line's zeros). The files also use the
# reader's freedoms now and then: commas between values, exponents, values past the
# needed ones and text after them. Cut points and analysis times always strictly increase
# and survival values never rise. Each design is kept cheap: 20-200 trials per iteration
# and at most a few thousand patients at the upper accrual rate, so a few hundred designs
# run in a few minutes.
#
# Standard library only.

import argparse
import math
import os
import random
import statistics
import sys

REPORT_NAME = "report.out"
LINE_COUNT = 152


def fmt(value, digits=6):
    """A real as a short decimal, trailing zeros cut (0.2500 -> 0.25, 3.0 -> 3)."""
    text = f"{value:.{digits}f}".rstrip("0").rstrip(".")
    return text if text not in ("", "-0") else "0"


class Writer:
    """Collects the data lines by line number and styles them now and then."""

    def __init__(self, rng):
        self.rng = rng
        self.lines = {}

    def put(self, line, values):
        rng = self.rng
        texts = []
        for v in values:
            if isinstance(v, str):
                texts.append(v)
            elif isinstance(v, int):
                texts.append(str(v))
            elif rng.random() < 0.04 and v != 0:
                texts.append(f"{v:.6E}")  # the same value with an exponent
            else:
                texts.append(fmt(v))
        separator = ", " if rng.random() < 0.08 else " "
        text = separator.join(texts)
        roll = rng.random()
        if roll < 0.03:
            text += "  99 98"  # values past the needed ones are ignored
        elif roll < 0.06:
            text += "   <- data"  # so is text after them
        self.lines[line] = text

    def render(self, title):
        out = []
        for n in range(1, LINE_COUNT + 1):
            if n in self.lines:
                out.append(self.lines[n])
            elif n == 1:
                out.append(title)
            else:
                out.append(f"-- line {n + 1} follows" if (n + 1) in self.lines else "--")
        return "\n".join(out) + "\n"


def increasing(rng, count, low, high):
    """`count` strictly increasing cut points in (low, high], rounded to 2 decimals."""
    while True:
        points = sorted(round(rng.uniform(low, high), 2) for _ in range(count))
        if all(b > a for a, b in zip(points, points[1:])) and points[0] > 0:
            return points


def non_rising(rng, count, low, high):
    """`count` survival values in [low, high] that never rise, 4 decimals."""
    values = sorted((round(rng.uniform(low, high), 4) for _ in range(count)), reverse=True)
    return values


def survival_at(cuts, values, x):
    """Piecewise-exponential survival of a curve at x, the last hazard carried on."""
    points = [(0.0, 1.0)] + [(c, max(v, 1e-5)) for c, v in zip(cuts, values)]
    for (x0, s0), (x1, s1) in zip(points, points[1:]):
        if x <= x1:
            return s0 * math.exp(math.log(s1 / s0) * (x - x0) / (x1 - x0))
    (x0, s0), (x1, s1) = points[-2], points[-1]
    return s1 * math.exp(math.log(s1 / s0) * (x - x1) / (x1 - x0))


def pick(rng, weighted):
    """One value of [(weight, value), ...]."""
    total = sum(w for w, _ in weighted)
    roll = rng.uniform(0, total)
    for w, v in weighted:
        roll -= w
        if roll <= 0:
            return v
    return weighted[-1][1]


def design(rng, index):
    w = Writer(rng)

    # Boundary method (line 11): 0 is repaired to Lan-DeMets.
    method = pick(rng, [(24, 1), (30, 2), (22, 3), (22, 4), (2, 0)])
    w.put(11, [method])
    w.put(14, [f"'{REPORT_NAME}'" if rng.random() < 0.5 else REPORT_NAME])
    seed = pick(rng, [(3, 0), (60, -rng.randint(1, 99_999_999)), (37, rng.randint(1, 99_999_999))])
    w.put(17, [seed])

    # Looks (lines 20, 23). A count of 0 or less is repaired to 1.
    looks = pick(rng, [(3, 0), (12, 1), (70, rng.randint(2, 12)), (8, rng.randint(13, 15))])
    k = max(looks, 1)
    w.put(20, [looks])
    final_time = round(rng.uniform(8, 60), 1)
    if k == 1:
        times = [final_time]
        if rng.random() < 0.15:
            times = [0]  # repaired to 10
            final_time = 10.0
    else:
        times = increasing(rng, k - 1, final_time * 0.2, final_time * 0.97) + [final_time]
    w.put(23, times)

    # Statistics (lines 26, 30, 33). 0 is repaired to 1.
    stats = pick(rng, [(3, 0), (40, 1), (20, 2), (15, 3), (10, 4), (12, 5)])
    m = max(stats, 1)
    w.put(26, [stats])
    weights = [0, 0, 0.5, 1, 2, 0.25]
    # The first statistic sizes the trial: mostly the log-rank test.
    w.put(30, [0 if j == 0 and rng.random() < 0.7 else rng.choice(weights) for j in range(m)])
    w.put(33, [0 if j == 0 and rng.random() < 0.7 else rng.choice(weights) for j in range(m)])

    # Alpha (line 40; 0 is repaired to 0.05); the trials per iteration (line 37) are
    # chosen with the accrual below.
    alpha = pick(rng, [(4, 0), (40, 0.05), (25, 0.025), (15, 0.1), (16, round(rng.uniform(0.01, 0.2), 3))])
    a = alpha if alpha > 0 else 0.05
    w.put(40, [alpha])
    sides = pick(rng, [(45, 1), (50, 2), (5, 0)])
    w.put(43, [sides])

    # e's (line 49): a split of alpha for method 1, now and then one that does not add up.
    if method == 1 or rng.random() < 0.3:
        parts = [rng.uniform(0.2, 1.0) * (i + 1) for i in range(k)]
        target = a if rng.random() < 0.85 else a * rng.uniform(0.5, 1.5)
        scale = target / sum(parts)
        es = [round(p * scale, 5) for p in parts]
        if method == 1 and rng.random() < 0.8:
            es[-1] = round(target - sum(es[:-1]), 6)  # adds up to alpha within rounding
        w.put(49, es)
    else:
        w.put(49, [0] * k)

    # b (line 54): 1 or less is replaced by 3; a small b is raised by the search.
    w.put(54, [pick(rng, [(8, 0), (4, 1), (60, round(rng.uniform(2.0, 4.5), 2)),
                          (28, round(rng.uniform(1.05, 2.0), 2))])])

    # Given boundaries (line 61): below 0.00001 becomes 1.96.
    if method == 4 or rng.random() < 0.2:
        cs = [round(rng.uniform(1.6, 5.0), 3) for _ in range(k - 1)] + [round(rng.uniform(1.6, 2.6), 3)]
        cs = [0 if rng.random() < 0.1 else c for c in cs]
        w.put(61, cs)
    else:
        w.put(61, [0] * k)

    # Use function (line 70): 0 or less becomes 1; 7 is taken as the linear function.
    w.put(70, [pick(rng, [(22, 1), (22, 2), (22, 3), (22, 4), (5, 0), (3, -2), (4, 7)])])

    # Control arm survival (lines 74, 78, 83); its median is near the analysis times.
    nb = pick(rng, [(3, 0), (45, 1), (40, rng.randint(2, 5)), (12, rng.randint(6, 20))])
    nbu = max(nb, 1)
    w.put(74, [nb])
    horizon = final_time * rng.uniform(0.5, 2.0)
    if nbu == 1 and rng.random() < 0.12:
        base_cuts_written = [0]
        base_cuts = [10.0]
    else:
        base_cuts = increasing(rng, nbu, horizon * 0.1, horizon)
        base_cuts_written = base_cuts
    w.put(78, base_cuts_written)
    base_s = non_rising(rng, nbu, 0.15, 0.95)
    base_written = list(base_s)
    if rng.random() < 0.06:
        base_written[-1] = 0  # repaired to 0.00001
        base_s[-1] = 1e-5
    w.put(83, base_written)

    # Treatment arm (lines 100, 103, 108, 113).
    nh = pick(rng, [(3, 0), (55, 1), (35, rng.randint(2, 4)), (7, rng.randint(5, 20))])
    nhu = max(nh, 1)
    w.put(100, [nh])
    if nhu == 1 and rng.random() < 0.1:
        w.put(103, [0])  # equal spacing up to 10
        hr_cuts = [10.0]
    else:
        hr_cuts = increasing(rng, nhu, final_time * 0.1, final_time * 1.5)
        w.put(103, hr_cuts)
    # With hazard ratios of 1 or less the treatment arm never falls below the control arm.
    treatment_cuts, treatment_s = base_cuts, base_s
    kind = pick(rng, [(40, 1), (40, 2), (5, 1.5), (5, 1.6), (5, 2.5), (5, 0)])
    w.put(108, [kind])
    hrs = [round(rng.uniform(0.3, 0.85), 3) for _ in range(nhu)]
    if nhu > 1 and rng.random() < 0.3:
        hrs[0] = 1.0  # an effect that starts late
    if kind > 1.5:
        hrs = [0 if rng.random() < 0.05 else h for h in hrs]  # 0 becomes 1
        w.put(113, hrs)
        kept = [h if h > 0 else 1.0 for h in hrs]
        effect = math.exp(sum(math.log(h) for h in kept) / len(kept))
    else:
        # Survival of the treatment arm: the control curve raised to the ratio of each
        # interval, kept from rising.
        values, running, prev = [], 1.0, 0.0
        for cut, h in zip(hr_cuts, hrs):
            s_prev = survival_at(base_cuts, base_s, prev)
            s_cut = survival_at(base_cuts, base_s, cut)
            running *= (s_cut / s_prev) ** h if s_prev > 0 else 1.0
            values.append(running)
            prev = cut
        written, last = [], 1.0
        for v in values:
            v = min(round(max(v, 1e-5), 5), last)
            written.append(v)
            last = v
        if written[-1] < 0.001 and rng.random() < 0.5:
            written[-1] = 0  # repaired to 0.00001
        w.put(113, written)
        treatment_cuts, treatment_s = hr_cuts, written
        at = min(final_time, hr_cuts[-1])
        # Far out the survivals can underflow to 0, and a flat control curve has no
        # hazard to compare with: then the effect counts as none.
        treated = survival_at(hr_cuts, written, at)
        control = survival_at(base_cuts, base_s, at)
        effect = (math.log(treated) / math.log(control)
                  if 0.0 < treated and 0.0 < control < 1.0 else 1.0)

    # Accrual and trials per iteration (lines 88, 37), and the power (line 95). The rate
    # that gives the power is guessed from the events a log-rank test needs at this
    # effect, and most brackets hold the guess; some lie wholly above or below it. The
    # work of a run grows with trials x looks x statistics x patients, which is kept
    # under a budget.
    power = pick(rng, [(40, 0.8), (30, 0.9), (30, round(rng.uniform(0.5, 0.95), 2))])
    w.put(95, [power])
    effect = min(max(effect, 0.2), 0.95)
    z = statistics.NormalDist()
    a_side = a / 2 if sides != 1 else a
    budget = rng.uniform(2e5, 5e5)
    events = 4 * (z.inv_cdf(1 - a_side) + z.inv_cdf(power)) ** 2 / math.log(effect) ** 2
    if rng.random() < 0.05:
        period, lower, upper = 10.0, 10.0, 50.0
        w.put(88, [0, 0, 0])  # 10, 10, 50
    else:
        period = round(final_time * rng.uniform(0.3, 0.9), 1)
        grid = [period * (i + 0.5) / 20 for i in range(20)]
        share = sum(1 - (survival_at(base_cuts, base_s, final_time - e) +
                         survival_at(base_cuts, base_s, final_time - e) ** effect) / 2
                    for e in grid) / len(grid)
        # Looks, censoring and late effects cost power that the guess leaves out.
        guess = 2.5 * events / max(share, 0.02) / period
        placement = pick(rng, [(80, "around"), (10, "above"), (10, "below")])
        if placement == "around":
            upper, lower = guess * rng.uniform(1.5, 4.0), guess * rng.uniform(0.2, 0.7)
        elif placement == "above":
            upper, lower = guess * rng.uniform(3.0, 6.0), guess * rng.uniform(1.5, 2.5)
        else:
            upper, lower = guess * rng.uniform(0.25, 0.6), guess * rng.uniform(0.05, 0.2)
        most = min(4000, budget / (20 * k * m))  # patients at the upper rate
        upper = min(max(upper, 150 / period), max(most, 150) / period)
        lower = min(lower, upper * 0.9)
        upper, lower = round(upper, 1), max(round(lower, 1), 0.1)
        w.put(88, [period, lower, upper])
    work = k * m * upper * period
    trials = max(20, min(rng.randint(20, 200), int(budget / work)))
    w.put(37, [trials])

    # Censoring curves (lines 118-135): count 0 and a last cut point of 0 are repaired.
    for count_line in (118, 129):
        nc = pick(rng, [(5, 0), (60, 1), (30, rng.randint(2, 3)), (5, rng.randint(4, 8))])
        ncu = max(nc, 1)
        w.put(count_line, [nc])
        if ncu == 1 and rng.random() < 0.1:
            w.put(count_line + 3, [0])  # equal spacing up to 20
        else:
            w.put(count_line + 3, increasing(rng, ncu, final_time * 0.2, final_time * 2.0))
        cens = non_rising(rng, ncu, 0.6, 1.0)
        if rng.random() < 0.03:
            cens[-1] = 0
        w.put(count_line + 6, cens)

    # Drop-in and drop-out (lines 140-152): mostly none, now and then a few percent. A
    # patient who switches draws new event times until one falls past the switch, which
    # takes about 1/S draws when the new arm's survival S there is small: no switching
    # where S is below 5%.
    switched_to = {140: (treatment_cuts, treatment_s), 148: (base_cuts, base_s)}
    for count_line in (140, 148):
        nd = pick(rng, [(5, 0), (60, 1), (30, rng.randint(2, 3)), (5, rng.randint(4, 8))])
        ndu = max(nd, 1)
        w.put(count_line, [nd])
        offset = 2
        times = increasing(rng, ndu, final_time * 0.05, final_time)
        w.put(count_line + offset, times)
        if rng.random() < 0.4:
            rates = [0] * ndu
        else:
            rates = [round(rng.uniform(0, 0.12), 3) for _ in range(ndu)]
        cuts, values = switched_to[count_line]
        rates = [r if survival_at(cuts, values, t) >= 0.05 else 0 for r, t in zip(rates, times)]
        w.put(count_line + 2 * offset, rates)

    return w.render(f"random design {index}")


def main():
    parser = argparse.ArgumentParser(description="Write random survseq parameter files.")
    parser.add_argument("outdir")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    rng = random.Random(args.seed)
    for i in range(1, args.count + 1):
        text = design(rng, i)
        with open(os.path.join(args.outdir, f"design_{i:04d}.par"), "w", encoding="ascii") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
