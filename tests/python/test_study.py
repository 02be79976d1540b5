# Studies on a two-worker local cluster against the serial loop.
import csv
import json

import pytest

import kalvex
import kalvex.study as study
from conftest import example

TASK = example("task_velocity.json")


def test_a_cluster_study_equals_the_serial_loop_and_reports_a_failed_case(tmp_path):
    system = kalvex.System.load(example("hood_probe.asp"))
    values = {"Отсос1": [2.0, 4.0], "h": [-0.3, -0.1]}
    serial = study.sweep(system, TASK, values, scheduler="serial")
    assert study.sweep(system, TASK, values, workers=2) == serial
    failed = [r for r in serial if "error" in r]
    assert [r["h"] for r in failed] == [-0.3, -0.3]
    assert "пересекает другие границы" in failed[0]["error"]
    one = kalvex._core._task_point(system, open(TASK, encoding="utf-8").read(),
                                   {"Отсос1": 4.0, "h": -0.1})
    assert serial[-1]["value"] == one["value"]
    # The plate's edge on the point: no trial, and the row says why.
    with pytest.raises(kalvex.Refusal, match="лежит на границе"):
        kalvex._core._task_point(system, open(TASK, encoding="utf-8").read(),
                                 {"Отсос1": 4.0, "h": -0.15})
    study.write_csv(serial, tmp_path / "rows.csv")
    with open(tmp_path / "rows.csv", newline="", encoding="utf-8") as f:
        assert [r["error"] for r in csv.DictReader(f)] == [r.get("error", "") for r in serial]


def test_ctrl_c_keeps_the_finished_rows():
    system = kalvex.System.load(example("cylinder.asp"))

    def press_ctrl_c(done, total):
        if done == 2:
            raise KeyboardInterrupt

    with pytest.raises(kalvex.Stopped) as stopped:
        study.efficiency_curve(system, (-0.25, 0.625), (0.25, 0.625), 4,
                               [1e-5, 1e-4, 3e-4, 5e-4], workers=2, progress=press_ctrl_c)
    rows = stopped.value.partial
    assert len(rows) == 2
    whole = kalvex.discretize(system).efficiency((-0.25, 0.625), (0.25, 0.625), 4,
                                                 [r["d"] for r in rows])["rows"]
    assert [r["fraction"] for r in rows] == [w["fraction"] for w in whole]


def test_the_grid_is_the_searchs_and_a_table_is_written_whole(tmp_path):
    system = kalvex.System.load(example("hood_probe.asp"))
    with open(TASK, encoding="utf-8") as f:
        task = json.load(f)
    task["tab_scaler"] = 2
    grid = study.task_grid(system, task)
    assert grid["Отсос1"] == [0.5, 1.5, 2.5, 3.5]
    assert len(grid["h"]) == 3
    target = tmp_path / "rows.csv"
    target.write_text("old")
    target.chmod(0o444)
    with pytest.raises(kalvex.KalvexError):
        study.write_csv([{"a": 1.0}], target)
    assert target.read_text() == "old"
