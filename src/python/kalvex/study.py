"""Studies: many independent computations of kalvex, run as Dask tasks.

Without ``scheduler`` a study starts a local cluster on this machine; with
``scheduler="tcp://host:8786"`` it runs on that cluster, unchanged (its workers need
the kalvex package). Every case is computed as it would be alone in one process, so
the rows equal those of the serial loop (``scheduler="serial"``). A case that fails is
a row with its ``error`` text; Ctrl+C raises ``kalvex.Stopped`` whose ``.partial``
holds the rows finished so far.

    rows = kalvex.study.sweep(system, "task.json", {"Отсос1": [1, 2, 3], "h": [0, 0.05]})
    kalvex.study.write_csv(rows, "sweep.csv")

Command line: ``python3 -m kalvex.study SYSTEM.asp TASK.json [--scheduler ADDR]
[--workers N] [--csv FILE]`` sweeps every parameter of the task over its range.
"""

import argparse
import csv
import io
import itertools
import json
import os
import sys

import kalvex

__all__ = ["run", "sweep", "efficiency_curve", "batch", "task_grid", "write_csv"]


def _task_text(task):
    if isinstance(task, dict):
        return json.dumps(task)
    with open(os.fspath(task), encoding="utf-8") as f:
        return f.read()


def _guarded(func, case):
    try:
        return func(case)
    except KeyboardInterrupt:
        raise
    except Exception as e:  # a failed case is a row, not a lost study
        return {"error": str(e)}


def _bar(done, total, out=sys.stderr):
    width = 30
    filled = width * done // max(total, 1)
    out.write(f"\r[{'#' * filled}{'.' * (width - filled)}] {done}/{total}")
    if done == total:
        out.write("\n")
    out.flush()


def run(func, cases, *, scheduler=None, workers=2, progress=None):
    """Runs ``func(case)`` for every case; returns one dict per case, in case order.

    ``func`` must be importable by the workers (a module-level function); each row is
    ``func``'s dict with the case's own keys first. ``scheduler``: None for a local
    cluster of ``workers`` processes, "serial" for a loop in this process, or a
    scheduler's address. ``progress``: True for a bar on stderr, or a
    callable(done, total); an exception it raises stops the study like Ctrl+C.
    """
    cases = list(cases)
    rows = [None] * len(cases)
    report = _bar if progress is True else progress

    def take(i, row):
        # Keys starting with "_" are the case's data, not its description.
        own = {k: v for k, v in cases[i].items() if not k.startswith("_")}
        rows[i] = {**own, **row}
        if report:
            report(sum(r is not None for r in rows), len(cases))

    def finished():
        return [r for r in rows if r is not None]

    if scheduler == "serial":
        try:
            for i, case in enumerate(cases):
                take(i, _guarded(func, case))
        except KeyboardInterrupt:
            raise _stopped(finished())
        return rows

    from distributed import Client, LocalCluster, as_completed

    cluster = None
    if scheduler is None:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
    client = Client(cluster if cluster is not None else scheduler)
    futures = []
    try:
        futures = client.map(_guarded, [func] * len(cases), cases, pure=False)
        index = {f.key: i for i, f in enumerate(futures)}
        for future in as_completed(futures):
            take(index[future.key], future.result())
    except KeyboardInterrupt:
        client.cancel(futures)
        raise _stopped(finished())
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return rows


def _stopped(rows):
    e = kalvex.Stopped("study stopped; the finished rows are in .partial")
    e.partial = rows
    return e


# ---------------------------------------------------------------- the studies

def _point_case(case):
    system = kalvex.System.from_bytes(case["_system"])
    values = {k: v for k, v in case.items() if not k.startswith("_")}
    return kalvex._core._task_point(system, case["_task"], values)


def task_grid(system, task):
    """Every parameter of a task on ``system`` (suction openings, then geometric
    parameters) with the values the search's tabulation gives it (``tab_scaler``
    included), as a dict of lists. A grid of more models than the search takes is
    refused (kalvex.Refusal)."""
    return dict(kalvex._core._task_grid(system, _task_text(task)))


def sweep(system, task, values, **options):
    """A grid over the task's parameters: ``values`` maps names (``Отсос1``, a
    geometric parameter) to lists; every combination is one case, moved through the
    task file's formulas and evaluated as one trial of the search (task 0: ``value``,
    the velocity along the direction at the point; tasks 1, 2: ``caught``)."""
    data = system.to_bytes()
    text = _task_text(task)
    names = list(values)
    cases = [{**dict(zip(names, combo)), "_system": data, "_task": text}
             for combo in itertools.product(*(values[n] for n in names))]
    return run(_point_case, cases, **options)


def _efficiency_case(case):
    system = kalvex.System.from_bytes(case["_system"])
    flow = kalvex.discretize(system, threads=1)
    (row,) = flow.efficiency(case["_from"], case["_to"], case["_n"], [case["d"]],
                             **case["_particle"])["rows"]
    return {"caught": row["caught"], "total": row["total"], "fraction": row["fraction"]}


def efficiency_curve(system, start_from, start_to, n, diameters, particle=None, **options):
    """The grade-efficiency curve: one case per diameter, ``n`` particles released
    along start_from-start_to (the ``efficiency`` call's particle keywords in
    ``particle``)."""
    data = system.to_bytes()
    cases = [{"d": d, "_system": data, "_from": tuple(start_from), "_to": tuple(start_to),
              "_n": n, "_particle": dict(particle or {})} for d in diameters]
    return run(_efficiency_case, cases, **options)


def _info_case(case):
    return kalvex.System.load(case["file"]).info()


def batch(files, **options):
    """``info`` of every system file, one row per file."""
    return run(_info_case, [{"file": os.fspath(f)} for f in files], **options)


def write_csv(rows, path):
    """Writes the rows as CSV (the union of their keys as columns, floats with 17
    digits), replacing the file whole or not at all."""
    keys = []
    for r in rows:
        for k in r or {}:
            if k not in keys:
                keys.append(k)
    text = io.StringIO(newline="")
    w = csv.DictWriter(text, fieldnames=keys)
    w.writeheader()
    for r in rows:
        if r is not None:
            w.writerow({k: (format(v, ".17g") if isinstance(v, float) else v)
                        for k, v in r.items()})
    kalvex.write_file(os.fspath(path), text.getvalue().encode("utf-8"))


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m kalvex.study",
                                 description="Sweeps every parameter of an optimize task "
                                             "over its range on Dask and prints the table.")
    ap.add_argument("system")
    ap.add_argument("task")
    ap.add_argument("--scheduler", default=None,
                    help="a scheduler's address (default: a local cluster)")
    ap.add_argument("--workers", type=int, default=2)
    ap.add_argument("--csv", default=None, help="also write the table to this file")
    a = ap.parse_args(argv)
    system = kalvex.System.load(a.system)
    try:
        rows = sweep(system, a.task, task_grid(system, a.task), scheduler=a.scheduler,
                     workers=a.workers, progress=True)
    except kalvex.Stopped as e:
        rows = e.partial
        print("stopped by Ctrl+C; the finished rows follow", file=sys.stderr)
    # Every row's columns: the first row may be a failed case without figures.
    keys = [k for k in dict.fromkeys(k for r in rows for k in r) if k != "error"]
    print(" ".join(keys))
    for r in rows:
        # The program's messages break their lines with "\r".
        error = r.get("error", "").replace("\r", " ")
        print(" ".join(str(r.get(k, "")) for k in keys) + (f" error: {error}" if error else ""))
    if a.csv:
        write_csv(rows, a.csv)
    return 0


if __name__ == "__main__":
    sys.exit(main())
