#!/usr/bin/env python3
"""Capture velocity of the slot in hood_probe.asp against its suction velocity, one
curve per flange height h: a sweep of task_velocity.json on Dask. Prints the table
(failed cases with their reason) and writes the plot.

    PYTHONPATH=build/python python3 examples/study_slot.py [OUT.png] [--serial]
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
    out = os.path.abspath(args[0] if args else "study_slot.png")
    task = os.path.join(here, "task_velocity.json")

    suction = [0.5 * k for k in range(1, 9)]
    heights = [-0.2, -0.15, -0.12, -0.1, -0.08]
    system = kalvex.System.load(os.path.join(here, "hood_probe.asp"))
    rows = kalvex.study.sweep(system, task, {"Отсос1": suction, "h": heights},
                              scheduler="serial" if "--serial" in sys.argv else None)

    print(f"{'Отсос1':>7} {'h':>6} {'v, m/s':>9}")
    for r in rows:
        tail = f"{r['value']:9.4f}" if "error" not in r else "  error: " + \
            " ".join(r["error"].split())
        print(f"{r['Отсос1']:7.2f} {r['h']:6.2f} {tail}")
    failed = [r for r in rows if "error" in r]
    print(f"{len(rows) - len(failed)} of {len(rows)} cases computed, {len(failed)} failed")

    fig, ax = plt.subplots(figsize=(7, 4.5))
    for h in heights:
        ok = [r for r in rows if r["h"] == h and "error" not in r]
        if ok:
            ax.plot([r["Отсос1"] for r in ok], [r["value"] for r in ok], "o-", label=f"h = {h:g} m")
    ax.set_xlabel("suction velocity of the slot, m/s")
    ax.set_ylabel("capture velocity at (0.3, 0.1), m/s")
    ax.set_title("hood_probe.asp: capture velocity against suction")
    ax.grid(True, alpha=0.3)
    ax.legend()
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
