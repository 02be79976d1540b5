#!/usr/bin/python3
"""Drives the window for bench/stall.sh through the accessibility bus and prints the
longest stall of its event loop during the first velocity and during a field of flow
lines: stall.py STDERR_LOG (the program's pid in KALVEX_PID, its stderr in STDERR_LOG,
run with KALVEX_STALL_LOG set so that it logs every gap between its timer's ticks).
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "e2e"))
import pyatspi  # noqa: E402
from window_atspi import application, box_of, find, press, wait_for  # noqa: E402


def longest(log, start, end):
    """The longest gap (s) logged between start and end (s since the epoch), with the
    three longest and where they ended (s after start) in words."""
    gaps = []
    with open(log) as f:
        for line in f:
            part = line.split()
            if len(part) == 3 and part[0] == "stall":
                at, gap = int(part[1]) / 1000.0, int(part[2]) / 1000.0
                if start <= at <= end + 1.0:
                    gaps.append((gap, at - start))
    gaps.sort(reverse=True)
    if gaps and os.environ.get("STALL_DETAIL"):
        print("  longest: " + ", ".join("%.2f s ending at %.1f s" % g for g in gaps[:3]))
    return gaps[0][0] if gaps else 0.0


def main():
    log = sys.argv[1]
    app = wait_for("the program", lambda: application(int(os.environ["KALVEX_PID"])))
    frame = wait_for("the main window", lambda: find(
        app, pyatspi.ROLE_FRAME, lambda n: n.startswith("Kalvex 2 - "), 1))
    bar = wait_for("the menu bar", lambda: find(frame, pyatspi.ROLE_MENU_BAR))
    view = find(bar, pyatspi.ROLE_MENU_ITEM, "Вид", 1) or find(bar, pyatspi.ROLE_MENU, "Вид", 1)
    press(view)
    press(wait_for("Моделирование", lambda: find(view, pyatspi.ROLE_MENU_ITEM, "Моделирование",
                                                  2)), blocking=False)
    count = wait_for("modelling on the prepared discretisation", lambda: find(
        frame, pyatspi.ROLE_LABEL, lambda n: n.startswith(" Граничных элементов: ")), 120)
    print("elements:", count.name.split(":")[1].strip(), flush=True)

    # The first velocity, through "Расчет скорости в точке" at (1; 1): the system is
    # assembled and solved.
    tool = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Рассчитать скорость в точке")
    press(tool, blocking=False)
    dialog = wait_for("the velocity dialog", lambda: find(app, pyatspi.ROLE_DIALOG,
                                                          "Расчет скорости в точке", 2))
    start = time.time()
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Вычислить"), blocking=False)
    label = wait_for("the velocity message", lambda: find(
        app, None, lambda n: "Скорость воздуха в точке" in n),
        float(os.environ.get("STALL_TIMEOUT", "1200")))
    end = time.time()
    print("first velocity: %.1f s, longest stall %.2f s" % (end - start,
                                                            longest(log, start, end)),
          flush=True)
    press(find(box_of(label), pyatspi.ROLE_PUSH_BUTTON, "OK"), blocking=False)
    wait_for("the message to close", lambda: find(
        app, None, lambda n: "Скорость воздуха в точке" in n) is None)
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Закрыть"), blocking=False)
    wait_for("the velocity dialog to close",
             lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING))

    # A field of flow lines on the solved system.
    press(find(frame, None, "Построить поле скоростей"), blocking=False)
    dialog = wait_for("the dialog", lambda: find(app, pyatspi.ROLE_DIALOG,
                                                 "Построение линий тока", 2))
    interval = os.environ.get("STALL_INTERVAL", "0.02")
    find(dialog, pyatspi.ROLE_TEXT, "Интервал между линиями, м").queryEditableText(
    ).setTextContents(interval)
    start = time.time()
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Построить"), blocking=False)
    wait_for("the field to end",
             lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING), timeout=1800)
    end = time.time()
    print("field of lines (interval %s m): %.1f s, longest stall %.2f s"
          % (interval, end - start, longest(log, start, end)), flush=True)


if __name__ == "__main__":
    main()
