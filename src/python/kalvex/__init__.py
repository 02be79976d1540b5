"""Kalvex 2 from Python: plane potential flow of air in local-exhaust hoods.

The module wraps the program's core: the same discretisation, solve, flow lines,
particle traces, contours, capture efficiency and optimal-parameter search as the
window and ``kalvex-calc``, with the same defaults and the same refusals.

    import kalvex
    system = kalvex.System.load("examples/hood.asp")
    flow = kalvex.discretize(system)             # graded, base length 0.0004 m, ...
    vx, vy = flow.velocity(x_array, y_array)     # any shape, one call
    lines = flow.flowlines()                     # dict: lines, points, paths, colors
    best = kalvex.optimize(system, "examples/task_velocity.json")

Errors: ``KalvexError`` (a RuntimeError) carries the program's own Russian message;
``Refusal`` (also a ValueError) is an input one of the program's rules refused, with
the English twin in ``.english``. Long calls release the GIL; Ctrl+C stops them and
raises ``Stopped`` (a KeyboardInterrupt) whose ``.partial`` holds the results so far.
Every long call takes ``progress=callable(done, total)``; an exception raised there
stops the call the same way.
"""

import json as _json
import os as _os

from ._core import (  # noqa: F401
    Discretized,
    KalvexError,
    Refusal,
    Stopped,
    System,
    discretize,
    write_file,
)
from . import _core

__all__ = ["System", "Discretized", "discretize", "optimize", "KalvexError", "Refusal",
           "Stopped", "write_file"]


def optimize(system, task, *, method=None, base_length=None, scaler=None, cyl_step=None,
             infinite_scaler=None, infinite_count=None, solver="auto", threads=0,
             progress=None):
    """The optimal-parameter search of ``kalvex-calc optimize``.

    ``task`` is a task file's path or its content as a dict (docs/optimize-task.md).
    Discretisation options given here take over from the task's, one by one.
    Returns a dict: ``report`` (the report lines), ``best`` (one value per parameter,
    suction first), ``value`` (task 0) or ``caught`` (tasks 1, 2), ``evaluations``,
    ``stopped``.
    """
    disc = {"method": method, "base_length": base_length, "scaler": scaler,
            "cyl_step": cyl_step, "infinite_scaler": infinite_scaler,
            "infinite_count": infinite_count}
    if isinstance(task, dict):
        return _core._optimize_text(system, _json.dumps(task), disc, solver, threads,
                                    progress)
    return _core._optimize_file(system, _os.fspath(task), disc, solver, threads, progress)
