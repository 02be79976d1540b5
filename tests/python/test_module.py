# The module against kalvex-calc on the shipped examples, its refusals, the vectorised
# velocity and Ctrl+C.
import os
import signal
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import kalvex
from conftest import example, num


def fields(lines):
    return dict(line.split(": ", 1) for line in lines)


def test_info_is_what_the_command_line_prints(calc):
    info = kalvex.System.load(example("hood.asp")).info()
    printed = fields(calc("info", example("hood.asp")))
    assert printed["boundaries"] == str(info["boundaries"])
    assert printed["total_flow"] == num(info["total_flow"])
    assert printed["valid"] == str(info["valid"]).lower()
    assert printed["bounds"] == " ".join(num(v) for v in info["bounds"])


def test_velocity_equals_the_command_line_to_the_last_digit(calc):
    points = [(0.05, 0.1), (0.5, 0.4), (0.9, 0.7)]
    flow = kalvex.discretize(kalvex.System.load(example("hood.asp")))
    args = [c for p in points for c in p]
    printed = calc("velocity", example("hood.asp"), *args, "--method", "graded")
    for (x, y), line in zip(points, printed):
        vx, vy = flow.velocity(x, y)
        assert line == " ".join(num(v) for v in (x, y, vx, vy))


def test_a_vectorised_call_equals_the_point_by_point_one():
    flow = kalvex.discretize(kalvex.System.load(example("slot.asp")), threads=2)
    x, y = np.meshgrid(np.linspace(-0.3, 0.3, 7), np.linspace(0.01, 0.3, 5))
    vx, vy = flow.velocity(x, y)
    assert vx.shape == x.shape
    for i in np.ndindex(x.shape):
        assert (vx[i], vy[i]) == flow.velocity(float(x[i]), float(y[i]))


def test_the_solve_without_the_matrix_gives_the_velocities_of_lu():
    system = kalvex.System.load(example("hood.asp"))
    lu = kalvex.discretize(system, base_length=0.01, solver="lu")
    fmm = kalvex.discretize(system, base_length=0.01, solver="fmm")
    for x, y in [(0.05, 0.1), (0.5, 0.4), (0.9, 0.7)]:
        a, b = np.array(lu.velocity(x, y)), np.array(fmm.velocity(x, y))
        assert np.linalg.norm(a - b) <= 1e-8 * np.linalg.norm(a)


def test_results_equal_the_command_line(calc):
    hood = kalvex.discretize(kalvex.System.load(example("hood.asp")))
    lines = hood.flowlines()
    assert calc("flowlines", example("hood.asp")) == [f"lines: {lines['lines']}",
                                                      f"points: {lines['points']}"]
    assert sum(len(p) for p in lines["paths"]) == lines["points"]
    line = hood.flowline((0.05, 0.1), to="sink")
    assert calc("flowline", example("hood.asp"), 0.05, 0.1, "--to", "sink") == [
        f"points: {line['points']}", "end: " + " ".join(num(v) for v in line["end"])]

    cyl = kalvex.discretize(kalvex.System.load(example("cylinder.asp")))
    p = cyl.particle(start=(0.3, 0.5), d=0.00001)
    assert calc("particle", example("cylinder.asp"), "--x", 0.3, "--y", 0.5, "--d",
                0.00001) == [f"time: {num(p['time'])}", "caught: yes" if p["caught"] else
                             "caught: no", f"points: {p['points']}",
                             "end: " + " ".join(num(v) for v in p["end"])]

    eff = kalvex.discretize(kalvex.System.load(example("cylinder.asp"))).efficiency(
        (-0.25, 0.625), (0.25, 0.625), 8, [0.00001, 0.0001, 0.0003])
    assert calc("efficiency", example("cylinder.asp"), "--from", -0.25, 0.625, "--to", 0.25,
                0.625, "--n", 8, "--d", "0.00001,0.0001,0.0003") == [
        f"{num(r['d'])} {r['caught']} {r['total']} {num(r['fraction'])}" for r in eff["rows"]]

    contour = kalvex.discretize(kalvex.System.load(example("slot.asp"))).contour(0.25)
    assert calc("contour", example("slot.asp"), "--speed", 0.25) == [
        f"lines: {contour['lines']}", f"points: {contour['points']}"]


def test_optimize_equals_the_command_line(calc):
    system = kalvex.System.load(example("hood_probe.asp"))
    r = kalvex.optimize(system, example("task_velocity.json"))
    printed = calc("optimize", example("hood_probe.asp"), example("task_velocity.json"))
    assert printed[-2:] == ["best: " + " ".join(num(v) for v in r["best"]),
                            f"value: {num(r['value'])}"]
    assert printed[:len(r["report"])] == r["report"]


def test_a_system_built_from_numbers_saves_and_loads(tmp_path):
    s = kalvex.System()
    s.add_closed([(0, 0), (0, 0.75), (1, 0.75), (1, 0)])
    s.set_velocity(0, 0, 1.0)
    assert s.balance(0, 2) == pytest.approx(-1.0 / 0.75 * 0.75 / 1.0)
    s.add_cylinder((0.5, 0.4), 0.1, rotation=1.0, slit=(0, 60, 0))
    path = tmp_path / "built.asp"
    here = os.getcwd()
    s.save(str(path))
    assert kalvex.System.load(str(path)).boundaries == s.boundaries
    assert os.getcwd() == here  # a script's relative paths keep their meaning
    assert s.boundaries[1]["slit"] == (0, 60, 0)


def test_refusals_carry_the_program_text(tmp_path):
    s = kalvex.System()
    s.add_closed([(0, 0), (0, 1), (1, 1), (1, 0)])
    with pytest.raises(kalvex.Refusal, match="пересекает другие границы"):
        s.add_closed([(0.5, 0.5), (0.5, 2), (2, 2)])
    with pytest.raises(kalvex.Refusal, match="пересекает другие границы"):
        s.add_semi_infinite([(-1, 0.5), (0.5, 0.5), (0.5, -1)])
    with pytest.raises(kalvex.Refusal, match="Невозможно изменить координаты центра"):
        s.add_cylinder((0.9, 0.5), 0.2)
    with pytest.raises(kalvex.Refusal, match="Ошибка при задании скорости"):
        s.set_velocity(0, 1, 2e4)
    assert len(s) == 1 and s.boundaries[0]["segments"][1]["v"] == 0
    s.set_velocity(0, 1, 1.0)
    with pytest.raises(kalvex.Refusal, match="Некорректно заданы граничные условия"):
        kalvex.discretize(s)
    with pytest.raises(kalvex.KalvexError, match="Невозможно загрузить границы из файла"):
        kalvex.System.load(str(tmp_path / "none.asp"))
    (tmp_path / "bad.asp").write_bytes(b"\x05\x00\x00\x00garbage")
    with pytest.raises(kalvex.KalvexError, match="Невозможно загрузить границы из файла"):
        kalvex.System.load(str(tmp_path / "bad.asp"))
    flow = kalvex.discretize(kalvex.System.load(example("slot.asp")))
    with pytest.raises(kalvex.KalvexError, match="Параметры построения"):
        flow.flowlines(step=0)
    with pytest.raises(kalvex.Refusal, match="Эквивалентный диаметр частицы") as d:
        flow.particle(d=-1)
    assert d.value.english.startswith("d: ")
    with pytest.raises(kalvex.Refusal, match="пределах ±1e6 м"):
        flow.velocity(2e6, 0)


def test_a_failed_save_is_an_exception(tmp_path):
    s = kalvex.System.load(example("slot.asp"))
    with pytest.raises(kalvex.KalvexError):
        s.save(str(tmp_path / "no such folder" / "slot.asp"))


def test_ctrl_c_stops_and_keeps_the_lines_so_far():
    flow = kalvex.discretize(kalvex.System.load(example("hood.asp")), threads=1)
    full = flow.flowlines(interval=0.02)
    calls = []

    def press_ctrl_c(done, total):
        calls.append(done)
        if len(calls) == 3:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt) as stopped:
        flow.flowlines(interval=0.02, progress=press_ctrl_c)
    partial = stopped.value.partial
    assert 0 < partial["lines"] < full["lines"]
    for a, b in zip(partial["paths"], full["paths"]):
        assert np.array_equal(a, b)


def test_a_real_ctrl_c_stops_a_long_call_and_keeps_what_is_done(tmp_path):
    # SIGINT from outside, as the terminal sends it, while the core is tracing with the
    # interpreter's lock released.
    script = tmp_path / "long.py"
    script.write_text(textwrap.dedent("""
        import sys, kalvex
        flow = kalvex.discretize(kalvex.System.load(sys.argv[1]), threads=1)
        flow.solve()
        def started(done, total):
            if done == 1:
                print("started", total, flush=True)
        try:
            flow.efficiency((-0.25, 0.625), (0.25, 0.625), 40, [1e-5, 1e-4],
                            progress=started)
            print("finished")
        except kalvex.Stopped as e:
            print("stopped", sum(r["total"] for r in e.partial["rows"]))
    """))
    run = subprocess.Popen([sys.executable, str(script), example("cylinder.asp")],
                           stdout=subprocess.PIPE, text=True)
    first = run.stdout.readline().split()
    assert first[0] == "started"
    run.send_signal(signal.SIGINT)
    out, _ = run.communicate(timeout=120)
    assert run.returncode == 0
    word, traced = out.split()
    assert word == "stopped" and 1 <= int(traced) < int(first[1])
