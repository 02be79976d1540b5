# Drawings written by an independent DXF library imported through kalvex-calc, and our
# exports read back with it.
import glob
import math
import os
import subprocess

import ezdxf
import pytest

import kalvex
from conftest import CALC, EXAMPLES

EPS = 1e-9


def run(*args):
    return subprocess.run([CALC, *map(str, args)], capture_output=True, text=True)


def drawing(units=4):
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = units  # 0: none given
    return doc, doc.modelspace()


def segments_of(system):
    """Undirected segments of every straight-edged boundary, and the circles."""
    segs, circles = [], []
    for b in system.boundaries:
        if b["kind"] == "cylinder":
            circles.append((*b["centre"], b["radius"]))
        else:
            segs += [(s["p1"], s["p2"], s["v"]) for s in b["segments"]]
    return segs, circles


def same_segment(a, b):
    def close(p, q):
        return math.dist(p, q) <= EPS
    return (close(a[0], b[0]) and close(a[1], b[1])) or (close(a[0], b[1]) and close(a[1], b[0]))


def assert_same_segments(got, want):
    assert len(got) == len(want)
    for w in want:
        assert any(same_segment(g, w) for g in got), w


def signed_area(points):
    return sum(points[i - 1][0] * p[1] - p[0] * points[i - 1][1]
               for i, p in enumerate(points)) / 2


def vertices(boundary):
    return [s["p1"] for s in boundary["segments"]]


def test_lines_arcs_and_circles_become_regions_and_cylinders(tmp_path):
    doc, msp = drawing()
    # A room drawn counter-clockwise from loose lines.
    room = [(0, 0), (1000, 0), (1000, 500), (0, 500)]
    for i in range(4):
        msp.add_line(room[i], room[(i + 1) % 4])
    msp.add_lwpolyline([(100, 100), (300, 100), (300, 200)], close=True)
    msp.add_circle((700, 250), 50)
    # A half circle closed by three lines, given out of order and reversed.
    msp.add_line((550, 250), (450, 250))
    msp.add_arc((500, 300), 50, 0, 180)
    msp.add_line((450, 300), (450, 250))
    msp.add_line((550, 250), (550, 300))
    doc.saveas(tmp_path / "in.dxf")

    r = run("import-dxf", tmp_path / "in.dxf", tmp_path / "out.asp")
    assert r.returncode == 0, r.stderr
    system = kalvex.System.load(str(tmp_path / "out.asp"))
    kinds = sorted(b["kind"] for b in system.boundaries)
    assert kinds == ["closed", "closed", "closed", "cylinder"]

    closed = [b for b in system.boundaries if b["kind"] == "closed"]
    room_b = max(closed, key=lambda b: abs(signed_area(vertices(b))))
    assert signed_area(vertices(room_b)) < 0  # clockwise: the air inside
    assert_same_segments([(s["p1"], s["p2"]) for s in room_b["segments"]],
                         [((0, 0), (1, 0)), ((1, 0), (1, 0.5)), ((1, 0.5), (0, 0.5)),
                          ((0, 0.5), (0, 0))])
    arc = [b for b in closed if len(b["segments"]) > 4][0]
    assert len(arc["segments"]) == 10 + 3  # a half circle in ten pieces
    on_arc = [p for p in vertices(arc) if p[1] > 0.3 + EPS]
    assert all(abs(math.dist(p, (0.5, 0.3)) - 0.05) <= EPS for p in on_arc)
    assert signed_area(vertices(arc)) > 0  # a body: the air outside

    (cyl,) = [b for b in system.boundaries if b["kind"] == "cylinder"]
    assert math.dist(cyl["centre"], (0.7, 0.25)) <= EPS and abs(cyl["radius"] - 0.05) <= EPS


def test_units_come_from_the_drawing_or_the_option(tmp_path):
    doc, msp = drawing(units=0)
    msp.add_lwpolyline([(0, 0), (10, 0), (10, 5)], close=True)
    doc.saveas(tmp_path / "plain.dxf")
    r = run("import-dxf", tmp_path / "plain.dxf", tmp_path / "out.asp")
    assert r.returncode == 1 and "--units" in r.stderr
    assert not (tmp_path / "out.asp").exists()

    assert run("import-dxf", tmp_path / "plain.dxf", tmp_path / "out.asp",
               "--units", "in").returncode == 0
    segs, _ = segments_of(kalvex.System.load(str(tmp_path / "out.asp")))
    assert any(same_segment(s, ((0, 0), (0.254, 0))) for s in segs)


def test_open_chains_only_when_asked(tmp_path):
    doc, msp = drawing()
    msp.add_line((0, 0), (2000, 0))  # a floor
    doc.saveas(tmp_path / "floor.dxf")
    out = tmp_path / "out.asp"
    r = run("import-dxf", tmp_path / "floor.dxf", out)
    assert r.returncode == 1 and "--open-chains semi-infinite" in r.stderr
    assert not out.exists()
    assert run("import-dxf", tmp_path / "floor.dxf", out,
               "--open-chains", "semi-infinite").returncode == 0
    (floor,) = kalvex.System.load(str(out)).boundaries
    assert floor["kind"] == "semi-infinite"
    assert math.dist(floor["segments"][0]["p1"], (0, 0)) <= EPS
    assert math.dist(floor["segments"][-1]["p2"], (2, 0)) <= EPS


def test_everything_that_cannot_be_imported_is_listed_at_once(tmp_path):
    doc, msp = drawing()
    msp.add_lwpolyline([(0, 0), (100, 0), (100, 100), (0, 100)], close=True)
    msp.add_lwpolyline([(50, 50), (150, 50), (150, 150), (50, 150)], close=True)  # crosses
    msp.add_spline([(0, 200), (50, 250), (100, 200)])
    msp.add_text("Зонт")
    doc.saveas(tmp_path / "bad.dxf")
    out = tmp_path / "out.asp"
    out.write_bytes(b"old")
    r = run("import-dxf", tmp_path / "bad.dxf", out)
    assert r.returncode == 1
    lines = r.stderr.splitlines()
    assert lines[0] == "cannot import the drawing:"
    assert "spline: 1" in lines and "text: 1" in lines
    assert any("crosses another boundary" in line for line in lines)
    assert out.read_bytes() == b"old"


def test_blocks_are_resolved(tmp_path):
    doc, msp = drawing(units=6)
    block = doc.blocks.new("HOOD")
    block.add_lwpolyline([(0, 0), (1, 0), (1, 1)], close=True)
    msp.add_blockref("HOOD", (5, 5), dxfattribs={"xscale": 2, "yscale": 2, "rotation": 90})
    doc.saveas(tmp_path / "block.dxf")
    assert run("import-dxf", tmp_path / "block.dxf", tmp_path / "out.asp").returncode == 0
    segs, _ = segments_of(kalvex.System.load(str(tmp_path / "out.asp")))
    assert_same_segments([s[:2] for s in segs],
                         [((5, 5), (5, 7)), ((5, 7), (3, 7)), ((3, 7), (5, 5))])


def read_export(path):
    doc = ezdxf.readfile(path)
    assert doc.header["$INSUNITS"] == 6
    segs, circles = [], []
    for e in doc.modelspace():
        if e.dxftype() == "CIRCLE":
            circles.append((e.dxf.center.x, e.dxf.center.y, e.dxf.radius))
            continue
        assert e.dxftype() == "LWPOLYLINE"
        pts = list(e.get_points("xy"))
        pairs = list(zip(pts, pts[1:])) + ([(pts[-1], pts[0])] if e.closed else [])
        segs += [(a, b, e.dxf.layer) for a, b in pairs]
    return segs, circles


@pytest.mark.parametrize("name", sorted(os.path.basename(f)
                                        for f in glob.glob(os.path.join(EXAMPLES, "*.asp"))))
def test_exports_read_back_equal(tmp_path, name):
    src = os.path.join(EXAMPLES, name)
    out = tmp_path / "out.dxf"
    r = run("export-dxf", src, out)
    assert r.returncode == 0, r.stderr
    got, got_circles = read_export(out)
    want, want_circles = segments_of(kalvex.System.load(src))
    assert_same_segments(got, want)
    for g in got:
        (w,) = [w for w in want if same_segment(g, w)]
        assert g[2] == ("SUCTION" if w[2] > 0 else "BOUNDARIES")
    assert len(got_circles) == len(want_circles)
    for g, w in zip(got_circles, want_circles):
        assert max(abs(a - b) for a, b in zip(g, w)) <= EPS

    # And back: the same geometry.
    assert run("import-dxf", out, tmp_path / "back.asp",
               "--open-chains", "semi-infinite").returncode == 0
    back, back_circles = segments_of(kalvex.System.load(str(tmp_path / "back.asp")))
    assert_same_segments([b[:2] for b in back], [w[:2] for w in want])
    assert len(back_circles) == len(want_circles)


def test_export_never_over_its_input(tmp_path):
    src = tmp_path / "hood.asp"
    src.write_bytes(open(os.path.join(EXAMPLES, "hood.asp"), "rb").read())
    r = run("export-dxf", src, src)
    assert r.returncode == 1 and "not overwritten" in r.stderr
    assert src.read_bytes() == open(os.path.join(EXAMPLES, "hood.asp"), "rb").read()
