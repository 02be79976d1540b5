#!/usr/bin/python3
"""Sets a modelling scene in the running program for scripts/screenshot, through the
accessibility bus: shot_scene.py flowlines|particle (the program's pid in KALVEX_PID).

Switches to modelling (discretising with the dialog's defaults), then builds a field of
flow lines or traces a particle with the dialog's defaults, and waits until it is drawn.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "e2e"))
import time  # noqa: E402

import pyatspi  # noqa: E402
from gi.repository import Atspi  # noqa: E402
from window_atspi import application, find, press, wait_for  # noqa: E402

# Where the model goes: below the tool windows, one zoom step larger.
DRAG = ((60, 330), (400, 500))


def main():
    scene = sys.argv[1]
    app = wait_for("the program", lambda: application(int(os.environ["KALVEX_PID"])))
    frame = wait_for("the main window", lambda: find(
        app, pyatspi.ROLE_FRAME, lambda n: n.startswith("Kalvex 2 - "), 1))
    bar = wait_for("the menu bar", lambda: find(frame, pyatspi.ROLE_MENU_BAR))
    view = find(bar, pyatspi.ROLE_MENU_ITEM, "Вид", 1) or find(bar, pyatspi.ROLE_MENU, "Вид", 1)
    press(view)
    press(wait_for("Моделирование", lambda: find(view, pyatspi.ROLE_MENU_ITEM, "Моделирование",
                                                  2)), blocking=False)
    dialog = wait_for("the discretisation dialog",
                      lambda: find(app, pyatspi.ROLE_DIALOG, "Дискретизация границы", 2))
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Выполнить"), blocking=False)
    wait_for("modelling", lambda: find(frame, pyatspi.ROLE_LABEL,
                                       lambda n: n.startswith(" Граничных элементов: ")))
    press(find(frame, None, "Увеличить изображение"))
    canvas = find(frame, None, "Чертеж системы")
    box = canvas.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    (x0, y0), (x1, y1) = DRAG
    Atspi.generate_mouse_event(box.x + x0, box.y + y0, "b1p")
    for k in range(1, 11):
        Atspi.generate_mouse_event(box.x + x0 + (x1 - x0) * k // 10,
                                   box.y + y0 + (y1 - y0) * k // 10, "abs")
        time.sleep(0.05)
    Atspi.generate_mouse_event(box.x + x1, box.y + y1, "b1r")
    time.sleep(0.5)

    tool, caption = {
        "flowlines": ("Построить поле скоростей", "Построение линий тока"),
        "particle": ("Построить траекторию частицы", "Построение траектории частицы"),
    }[scene]
    press(find(frame, None, tool), blocking=False)
    dialog = wait_for("the dialog", lambda: find(app, pyatspi.ROLE_DIALOG, caption, 2))
    if scene == "flowlines":
        # Denser than the default, so that the field shows.
        find(dialog, pyatspi.ROLE_TEXT, "Интервал между линиями, м").queryEditableText(
        ).setTextContents("0.02")
    else:
        # Blown in through the inlet on the left wall.
        for label, value in (("X =", "0.05"), ("Y =", "0.2"), ("Vx =", "3")):
            find(dialog, pyatspi.ROLE_TEXT, label).queryEditableText().setTextContents(value)
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Построить"), blocking=False)
    # The dialog is kept for its next opening: it is hidden, not gone.
    wait_for("the build to end",
             lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING), timeout=300)


if __name__ == "__main__":
    main()
