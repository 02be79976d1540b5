#!/usr/bin/env python3
"""Velocity at N points (default 10^6) from Python against the same points through
`kalvex-calc velocity` (in runs of 20000 points, as many as its arguments hold),
in one run; prints both times and their ratio.

    PYTHONPATH=build/python python3 bench/bench_python_velocity.py build/kalvex-calc [N]
"""
import os
import subprocess
import sys
import time

import numpy as np

import kalvex

calc = os.path.abspath(sys.argv[1])
n = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
system_file = os.path.join(os.path.dirname(__file__), "..", "examples", "slot.asp")
rng = np.random.default_rng(1)
x = rng.uniform(-0.5, 0.5, n)
y = rng.uniform(0.01, 0.5, n)

t0 = time.perf_counter()
vx, vy = kalvex.discretize(kalvex.System.load(system_file)).velocity(x, y)
t_py = time.perf_counter() - t0

# The command line takes its points as arguments: in runs that fit the argument space.
chunk = 20_000
t0 = time.perf_counter()
for start in range(0, n, chunk):
    args = [calc, "velocity", system_file, "--method", "graded"]
    args += [format(c, ".17g") for k in range(start, min(n, start + chunk))
             for c in (x[k], y[k])]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout.split()
    assert float(out[2]) == vx[start] and float(out[3]) == vy[start]
t_cli = time.perf_counter() - t0
print(f"points: {n}\npython: {t_py:.3f} s\nkalvex-calc: {t_cli:.3f} s\n"
      f"ratio kalvex-calc/python: {t_cli / t_py:.2f}")
