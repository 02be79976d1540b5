#!/usr/bin/env python3
"""Grade-efficiency curve of cylinder.asp: the caught fraction of particles released
along a line above the hood, one Dask case per diameter. Prints the table and writes
the plot.

    PYTHONPATH=build/python python3 examples/efficiency.py [OUT.png] [--serial]
"""
import io
import os
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt

import kalvex
import kalvex.study


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in sys.argv[1:] if a != "--serial"]
    out = os.path.abspath(args[0] if args else "efficiency.png")

    diameters = [1e-6, 3e-6, 1e-5, 2e-5, 5e-5, 1e-4, 2e-4, 5e-4]
    starts = 8
    system = kalvex.System.load(os.path.join(here, "cylinder.asp"))
    rows = kalvex.study.efficiency_curve(
        system, (-0.25, 0.625), (0.25, 0.625), starts, diameters,
        scheduler="serial" if "--serial" in sys.argv else None)

    print(f"{'d, um':>7} {'caught':>7} {'fraction':>9}")
    for r in rows:
        if "error" in r:
            print(f"{r['d'] * 1e6:7.1f}   error: " + " ".join(r["error"].split()))
        else:
            print(f"{r['d'] * 1e6:7.1f} {r['caught']:3d}/{r['total']:<3d} {r['fraction']:9.3f}")

    ok = [r for r in rows if "error" not in r]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot([r["d"] * 1e6 for r in ok], [r["fraction"] for r in ok], "o-")
    ax.set_xscale("log")
    ax.set_ylim(-0.05, 1.05)
    ax.set_xlabel("particle diameter, µm")
    ax.set_ylabel("fraction caught")
    ax.set_title(f"cylinder.asp: grade efficiency, {starts} starts "
                 "from (-0.25, 0.625) to (0.25, 0.625)")
    ax.grid(True, which="both", alpha=0.3)
    fig.tight_layout()
    # Drawn into memory first, then written whole as the program writes its files.
    png = io.BytesIO()
    fig.savefig(png, format="png", dpi=120)
    kalvex.write_file(out, png.getvalue())
    print("plot:", out)
    return 0


# Dask's workers are spawned processes that import this file: only the main one studies.
if __name__ == "__main__":
    sys.exit(main())
