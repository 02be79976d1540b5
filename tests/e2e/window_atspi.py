"""Drives the running program through AT-SPI: window_atspi.py KALVEX SYSTEM.asp

Reads the caption, opens a menu, opens and closes the about box, switches to modelling
(discretising through its dialog) and reads the velocity the velocity tool reports for a
click, switches back, selects a boundary with
a real click, applies a velocity in the segment window, and leaves through "Файл" >
"Выход", answering the save prompt. Run inside a D-Bus session with a display (see
window_e2e.sh).
"""

import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

TITLE = "Расчет систем аспирации"


def fail(text):
    print("FAIL: " + text, flush=True)
    raise SystemExit(1)


def wait_for(what, probe, timeout=30.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = probe()
        except GLib.Error:
            found = None
        if found:
            return found
        time.sleep(0.2)
    fail("not found in time: " + what)


def find(node, role, name=None, depth=12):
    """The first descendant with the role (any when None) and the name (a string, or a
    test of the name), breadth first."""
    level = [node]
    for _ in range(depth):
        following = []
        for acc in level:
            for i in range(acc.childCount):
                child = acc.getChildAtIndex(i)
                if child is None:
                    continue
                named = name is None or (name(child.name) if callable(name) else
                                         child.name == name)
                if (role is None or child.getRole() == role) and named:
                    return child
                following.append(child)
        level = following
    return None


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def press(acc, blocking=True):
    """Runs the accessible's first action. A command that opens a modal box answers
    only when the box closes, so for those the call is left to time out."""
    action = acc.queryAction()
    if blocking:
        action.doAction(0)
        return
    Atspi.set_timeout(1500, -1)
    try:
        action.doAction(0)
    except GLib.Error:
        pass
    finally:
        Atspi.set_timeout(-1, -1)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def enabled(acc):
    return acc.getState().contains(pyatspi.STATE_ENABLED)


def click(acc, x, y, button=1):
    """A real mouse click at (x, y) inside the accessible, through the X server."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    Atspi.generate_mouse_event(box.x + x, box.y + y, "b%dc" % button)


def type_into(field, text):
    """Types as a person does: a click into the field, the old text erased with keys."""
    click(field, 8, 8)
    wait_for("the focus in the field",
             lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
    Atspi.generate_keyboard_event(0xFF57, None, Atspi.KeySynthType.SYM)  # End
    for _ in range(len(text_of(field))):
        Atspi.generate_keyboard_event(0xFF08, None, Atspi.KeySynthType.SYM)  # BackSpace
    Atspi.generate_keyboard_event(0, text, Atspi.KeySynthType.STRING)
    wait_for("the typed text", lambda: text_of(field) == text)


def box_of(acc):
    while acc is not None and acc.getRole() not in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT):
        acc = acc.parent
    return acc


def calculator_velocity(kalvex, system, x, y):
    """Vx and Vy at (x, y) as the command-line calculator beside the program gives them,
    or None when it is not there."""
    calc = os.path.join(os.path.dirname(kalvex), "kalvex-calc")
    if not os.access(calc, os.X_OK):
        return None
    out = subprocess.run([calc, "velocity", system, str(x), str(y)], check=True,
                         capture_output=True, text=True).stdout.split()
    return float(out[2]), float(out[3])


def modelling(app, frame, kalvex, system):
    """Modelling on the saved system: the dialog discretises it, the velocity tool
    reports the air velocity at a clicked point; then back to editing."""
    bar = find(frame, pyatspi.ROLE_MENU_BAR)
    view = find(bar, pyatspi.ROLE_MENU_ITEM, "Вид", 1) or find(bar, pyatspi.ROLE_MENU, "Вид", 1)
    if view is None:
        fail("no menu Вид")

    def choose(caption, blocking):
        press(view)
        item = wait_for("the item " + caption,
                        lambda: find(view, pyatspi.ROLE_MENU_ITEM, caption, 2))
        press(item, blocking=blocking)

    choose("Моделирование", False)
    dialog = wait_for("the discretisation dialog",
                      lambda: find(app, pyatspi.ROLE_DIALOG, "Дискретизация границы", 2))
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Выполнить"), blocking=False)
    count = wait_for("the element count in the status bar", lambda: find(
        frame, pyatspi.ROLE_LABEL, lambda n: n.startswith(" Граничных элементов: ")))
    print("modelling:" + count.name, flush=True)

    # The system opened fitted to the window; the default view maps pixels plainly.
    press(find(frame, pyatspi.ROLE_PUSH_BUTTON, "Восстановить изображение"))
    press(find(frame, None, "Рассчитать скорость в точке щелчком по чертежу"))
    canvas = find(frame, None, "Чертеж системы")
    # Pixel (250, 300) of the default view is the world point (1, 0.4).
    click(canvas, 250, 300)
    head = "Скорость воздуха в точке (1.000;0.400):"
    label = wait_for("the velocity message", lambda: find(app, None, lambda n: head in n))
    text = label.name
    lines = text.split("\n")
    if (len(lines) != 4 or not lines[1].startswith("Vx = ") or not lines[2].startswith("Vy = ")
            or not lines[3].startswith("|V| = ")):
        fail("velocity message %r" % text)
    expected = calculator_velocity(kalvex, system, 1, 0.4)
    if expected is not None:
        shown = (float(lines[1][5:-4]), float(lines[2][5:-4]))
        if any(abs(a - b) > 0.0015 for a, b in zip(shown, expected)):
            fail("velocity %r, the calculator gives %r" % (shown, expected))
    print("velocity tool: " + " / ".join(lines), flush=True)
    box = box_of(label)
    if box is None:
        fail("the velocity message is not in a box")
    press(find(box, pyatspi.ROLE_PUSH_BUTTON, "OK"), blocking=False)
    wait_for("the velocity message to close",
             lambda: find(app, None, lambda n: head in n) is None)

    Atspi.generate_keyboard_event(0xFF1B, None, Atspi.KeySynthType.SYM)
    choose("Редактирование", True)
    Atspi.generate_keyboard_event(0xFF1B, None, Atspi.KeySynthType.SYM)
    wait_for("editing again", lambda: find(frame, pyatspi.ROLE_LABEL, " Редактирование"))
    print("back to editing", flush=True)


def main():
    kalvex, system = sys.argv[1], sys.argv[2]
    proc = subprocess.Popen([kalvex, system])
    try:
        app = wait_for("the program on the accessibility bus", lambda: application(proc.pid))
        if app.name != TITLE:
            fail("application name %r" % app.name)

        caption = "Kalvex 2 - " + os.path.basename(system)
        frame = wait_for("the main window", lambda: find(app, pyatspi.ROLE_FRAME, caption, 1))
        print("caption:", frame.name, flush=True)

        # A menu of the menu bar opens and lists its commands.
        bar = wait_for("the menu bar", lambda: find(frame, pyatspi.ROLE_MENU_BAR))
        help_menu = find(bar, pyatspi.ROLE_MENU_ITEM, "Справка", 1) or find(
            bar, pyatspi.ROLE_MENU, "Справка", 1)
        if help_menu is None:
            fail("no menu Справка")
        press(help_menu)
        about = wait_for("the item О программе",
                         lambda: find(app, pyatspi.ROLE_MENU_ITEM, "О программе"))
        if find(app, pyatspi.ROLE_MENU_ITEM, "Помощь") is None:
            fail("the help menu has no Помощь")
        print("menu: Справка > Помощь, О программе", flush=True)

        # The about box: the version and its OK button.
        press(about, blocking=False)
        box = wait_for("the about box", lambda: find(app, pyatspi.ROLE_DIALOG, "О программе", 2))
        if find(box, pyatspi.ROLE_LABEL, "Версия 2.0") is None:
            fail("the about box does not say Версия 2.0")
        ok = find(box, pyatspi.ROLE_PUSH_BUTTON, "OK")
        if ok is None:
            fail("the about box has no OK button")
        press(ok)
        wait_for("the about box to close",
                 lambda: find(app, pyatspi.ROLE_DIALOG, "О программе", 2) is None)
        print("about box: Версия 2.0, closed with OK", flush=True)
        # An item run through the accessibility bus leaves its menu open: Escape closes it.
        Atspi.generate_keyboard_event(0xFF1B, None, Atspi.KeySynthType.SYM)
        wait_for("the help menu to close", lambda: not find(
            app, pyatspi.ROLE_MENU_ITEM, "О программе").getState().contains(
                pyatspi.STATE_SHOWING))

        modelling(app, frame, kalvex, system)

        # The select tool and a click on the floor of the hood (the world point (0.5, 0)
        # at pixel (125, 400) of the canvas in the initial view): the boundary commands
        # of "Правка" come alive.
        delete = find(bar, pyatspi.ROLE_MENU_ITEM, "Удалить границу")
        if delete is None or enabled(delete):
            fail("Удалить границу should be there and disabled without a selection")
        press(find(frame, None, "Выбрать"))
        canvas = find(frame, None, "Чертеж системы")
        if canvas is None:
            fail("no canvas")
        click(canvas, 125, 400)
        wait_for("Удалить границу enabled by the selection", lambda: enabled(delete))
        print("canvas: a click selected the floor, Правка > Удалить границу enabled",
              flush=True)

        # The segment window shows the floor's velocity; a new one is applied with
        # "Принять" and shown back in the program's format (C locale: a point).
        window = find(app, None, "Прямолин. область", 1)
        if window is None:
            fail("no segment window")
        speed = find(window, pyatspi.ROLE_TEXT, lambda n: n.strip() == "V =")
        if speed is None:
            fail("no velocity field named by its label V =")
        wait_for("the floor's velocity in the field", lambda: text_of(speed) == "0.000")
        type_into(speed, "0.5")
        press(find(window, pyatspi.ROLE_PUSH_BUTTON, "Принять"))
        wait_for("the applied velocity shown back", lambda: text_of(speed) == "0.500")
        print("segment window: V = 0.5 applied, shows 0.500", flush=True)

        # Leaving through the menu: the changed system is offered for saving; "Нет"
        # leaves without writing it.
        file_menu = find(bar, pyatspi.ROLE_MENU_ITEM, "Файл", 1) or find(
            bar, pyatspi.ROLE_MENU, "Файл", 1)
        press(file_menu)
        leave = wait_for("the item Выход", lambda: find(app, pyatspi.ROLE_MENU_ITEM, "Выход"))
        before = open(system, "rb").read()
        press(leave, blocking=False)
        question = "Сохранить изменения в файле %s?" % os.path.basename(system)
        prompt = wait_for("the save prompt", lambda: find(app, None, lambda n: question in n))
        box = prompt
        while box is not None and box.getRole() not in (pyatspi.ROLE_DIALOG,
                                                         pyatspi.ROLE_ALERT):
            box = box.parent
        if box is None:
            fail("the save prompt is not in a box")
        no = find(box, pyatspi.ROLE_PUSH_BUTTON, lambda n: n in ("Нет", "No"))
        if no is None:
            fail("the save prompt has no button Нет")
        press(no, blocking=False)
        try:
            code = proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            fail("the program did not end after Выход")
        if code != 0:
            fail("the program ended with %d" % code)
        if open(system, "rb").read() != before:
            fail("the system file changed although the user said Нет")
        print("left through Выход: the save prompt answered Нет, the file untouched",
              flush=True)
        print("window end to end: ok", flush=True)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


if __name__ == "__main__":
    main()
