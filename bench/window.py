#!/usr/bin/python3
"""Drives the window for bench/window.sh through the accessibility bus: a field of flow
lines and then a particle trace, each timed from the press of "Построить" until its
dialog closes ("pressed field S") and as the program logs its run ("window field S"):
window.py STDERR_LOG (the program's pid in KALVEX_PID, its stderr in STDERR_LOG, run
with KALVEX_RUN_LOG set; FIELD_INTERVAL, FIELD_STEP, FIELD_LENGTH and PARTICLE_X,
PARTICLE_Y, PARTICLE_TMAX as the command line is given them).
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "e2e"))
import pyatspi  # noqa: E402
from window_atspi import application, find, press, wait_for  # noqa: E402

TIMEOUT = float(os.environ.get("WINDOW_TIMEOUT", "1800"))


def fill(dialog, fields):
    for name, value in fields:
        find(dialog, pyatspi.ROLE_TEXT, name).queryEditableText().setTextContents(value)


def last_run(log):
    runs = [line.split()[1] for line in open(log) if line.startswith("run ")]
    # printed in the program's locale
    return float(runs[-1].replace(",", ".")) if runs else float("nan")


def timed(app, frame, tool, title, fields):
    """Seconds from "Построить" in the dialog of the tool until the dialog closes, and
    the run's own as the program logged it."""
    press(find(frame, None, tool), blocking=False)
    dialog = wait_for("the dialog " + title, lambda: find(app, pyatspi.ROLE_DIALOG, title, 2))
    fill(dialog, fields)
    start = time.time()
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Построить"), blocking=False)
    wait_for(title + " to end", lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING),
             timeout=TIMEOUT)
    return time.time() - start, last_run(sys.argv[1])


def main():
    env = os.environ
    app = wait_for("the program", lambda: application(int(env["KALVEX_PID"])))
    frame = wait_for("the main window", lambda: find(
        app, pyatspi.ROLE_FRAME, lambda n: n.startswith("Kalvex 2 - "), 1))
    bar = wait_for("the menu bar", lambda: find(frame, pyatspi.ROLE_MENU_BAR))
    view = find(bar, pyatspi.ROLE_MENU_ITEM, "Вид", 1) or find(bar, pyatspi.ROLE_MENU, "Вид", 1)
    press(view)
    press(wait_for("Моделирование", lambda: find(view, pyatspi.ROLE_MENU_ITEM, "Моделирование",
                                                  2)), blocking=False)
    count = wait_for("modelling on the prepared discretisation", lambda: find(
        frame, pyatspi.ROLE_LABEL, lambda n: n.startswith(" Граничных элементов: ")), 120)
    print("window elements", count.name.split(":")[1].strip(), flush=True)
    # The window writes numbers with its locale's decimal comma.
    comma = lambda v: v.replace(".", ",")  # noqa: E731
    field = timed(app, frame, "Построить поле скоростей", "Построение линий тока", [
        ("Интервал между линиями, м", comma(env["FIELD_INTERVAL"])),
        ("Шаг построения линий тока, м", comma(env["FIELD_STEP"])),
        ("Длина линий тока, м", comma(env["FIELD_LENGTH"]))])
    print("pressed field %.3f\nwindow field %.4f" % field, flush=True)
    particle = timed(app, frame, "Построить траекторию частицы", "Построение траектории частицы",
                     [("X =", comma(env["PARTICLE_X"])), ("Y =", comma(env["PARTICLE_Y"])),
                      ("Максимальное время моделирования", comma(env["PARTICLE_TMAX"]))])
    print("pressed particle %.3f\nwindow particle %.4f" % particle, flush=True)


if __name__ == "__main__":
    main()
