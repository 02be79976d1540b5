#!/usr/bin/env python3
"""A 40-case study (the grade efficiency of cylinder.asp at 40 diameters, 8 starts
each) on a local Dask cluster of 2 workers against the serial loop, in one run; prints
both times (the cluster's with its start and shutdown) and their ratio, and checks
that the rows are equal.

    PYTHONPATH=build/python python3 bench/bench_study.py [WORKERS]
"""
import os
import sys
import time

import kalvex
import kalvex.study


def main():
    workers = int(sys.argv[1]) if len(sys.argv) > 1 else 2
    system = kalvex.System.load(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                             "..", "examples", "cylinder.asp"))
    diameters = [10 ** (-6 + 3 * k / 39) for k in range(40)]

    def study(**options):
        t0 = time.perf_counter()
        rows = kalvex.study.efficiency_curve(system, (-0.25, 0.625), (0.25, 0.625), 8,
                                             diameters, **options)
        return rows, time.perf_counter() - t0

    serial, t_serial = study(scheduler="serial")
    cluster, t_cluster = study(workers=workers)
    assert cluster == serial, "the cluster's rows differ from the serial loop's"
    assert not any("error" in r for r in serial)
    print(f"cases: {len(diameters)}\nserial: {t_serial:.3f} s\n"
          f"cluster of {workers}: {t_cluster:.3f} s\n"
          f"ratio serial/cluster: {t_serial / t_cluster:.2f}\nrows equal: yes")
    return 0


# Dask's workers are spawned processes that import this file: only the main one times.
if __name__ == "__main__":
    sys.exit(main())
