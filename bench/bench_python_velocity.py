#!/usr/bin/env python3
"""Velocity at N points (default 10^6) from Python against the same points through
`kalvex-calc velocity`, in one run; prints both times and their ratio.

    PYTHONPATH=build/python python3 bench/bench_python_velocity.py build/kalvex-calc [N]
"""
import os
import subprocess
import sys
import time

import numpy as np

import kalvex

calc = sys.argv[1]
n = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
system_file = os.path.join(os.path.dirname(__file__), "..", "examples", "slot.asp")
rng = np.random.default_rng(1)
x = rng.uniform(-0.5, 0.5, n)
y = rng.uniform(0.01, 0.5, n)

t0 = time.perf_counter()
vx, vy = kalvex.discretize(kalvex.System.load(system_file)).velocity(x, y)
t_py = time.perf_counter() - t0

args = [calc, "velocity", system_file, "--method", "graded"]
args += [format(c, ".17g") for pair in zip(x, y) for c in pair]
t0 = time.perf_counter()
out = subprocess.run(args, check=True, capture_output=True, text=True).stdout.split()
t_cli = time.perf_counter() - t0
assert float(out[2]) == vx[0] and float(out[3]) == vy[0]
print(f"points: {n}\npython: {t_py:.3f} s\nkalvex-calc: {t_cli:.3f} s\n"
      f"ratio kalvex-calc/python: {t_cli / t_py:.2f}")
