#!/usr/bin/env bash
# kalvex-calc contour / efficiency / field: the capture-velocity contour of a flanged
# slot against its formula, capture fractions against single particle runs, and the
# velocity field read back by another program.
# Usage: design.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
cp "$EXAMPLES"/*.asp "$TMP"/

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

value() {
    sed -n "s/^$1: //p" <<<"$2"
}

# expect_exit CODE TEXT ARGS...: the command ends with CODE and says TEXT on stderr.
expect_exit() {
    local code=$1 text=$2 rc=0
    shift 2
    "$CALC" "$@" >/dev/null 2>"$TMP/err" || rc=$?
    [ "$rc" -eq "$code" ] || fail "$* exited $rc, expected $code"
    grep -qF -- "$text" "$TMP/err" || fail "$*: no '$text' in: $(cat "$TMP/err")"
}

help=$("$CALC" --help)
for c in contour efficiency field; do
    grep -q "^  $c SYSTEM.asp" <<<"$help" || fail "--help does not list $c"
done
"$CALC" contour --help | grep -q "capture velocity" || fail "contour --help"
"$CALC" efficiency --help | grep -q "d caught total fraction" || fail "efficiency --help"
"$CALC" field --help | grep -q "STRUCTURED_POINTS" || fail "field --help"

slot=$TMP/slot.asp
cylinder=$TMP/cylinder.asp

# 1. The contour of 0.25 m/s around the slot (b = 0.1 m, V = 1 m/s) crosses the axis
# x = 0 where (2V/pi) atan(b/(2y)) = 0.25, within 0.5 %; a closed table and files.
out=$("$CALC" contour "$slot" --speed 0.25 --box -0.3 -0.05 0.31 0.3 --cells 121 \
    --csv "$TMP/c.csv" --mod "$TMP/c.mod" --picture "$TMP/c.emf")
[ "$(value lines "$out")" = 1 ] || fail "contour: lines: $out"
points=$(value points "$out")
[ "$(($(wc -l <"$TMP/c.csv") - 1))" -eq "$points" ] || fail "contour: csv rows"
[ -s "$TMP/c.mod" ] && [ -s "$TMP/c.emf" ] || fail "contour: --mod or --picture missing"
awk -F, 'NR > 1 { if (NR > 2 && (px < 0) != ($3 < 0)) { n++; y = py + ($4 - py) * (0 - px) / ($3 - px) }
                   if ($4 <= 0) below = 1; px = $3; py = $4 }
         END { exact = 0.1 / (2 * sin(atan2(1, 1) / 2) / cos(atan2(1, 1) / 2))
               d = y - exact; if (d < 0) d = -d
               if (n != 1 || d > 0.005 * exact || below) {
                   printf "crossings %d at %.17g, formula %.17g, below %d\n", n, y, exact, below
                   exit 1 } }' "$TMP/c.csv" || fail "contour: axis crossing"
# The default box, "-" for the table, bad values.
out=$("$CALC" contour "$slot" --speed 0.25 --csv - 2>"$TMP/err")
[ "$(head -n 1 <<<"$out")" = "line,point,x,y,color" ] || fail "contour --csv -"
grep -q "^lines: 1$" "$TMP/err" || fail "contour: default box: $(cat "$TMP/err")"
expect_exit 2 "--speed is required" contour "$slot"
expect_exit 2 "--speed" contour "$slot" --speed 0
expect_exit 2 "--box needs 4 values" contour "$slot" --speed 1 --box 0 0 1
expect_exit 2 "the corners must differ" contour "$slot" --speed 1 --box 0 0 0 1
expect_exit 2 "--cells" contour "$slot" --speed 1 --cells 0
expect_exit 1 "not overwritten" contour "$slot" --speed 1 --csv "$slot"

# 2. Capture fractions equal the count of single particle runs from the same starts
# (the middles of 4 parts of the line: x = -0.1875, -0.0625, 0.0625, 0.1875). Above the
# turning slit cylinder the fraction falls with size: fine dust follows the air round
# into the slit, heavy dust falls on the cylinder and rebounds away.
out=$("$CALC" efficiency "$cylinder" --from -0.25 0.625 --to 0.25 0.625 --n 4 \
    --d 0.00001,0.0003 --tmax 2 --csv "$TMP/e.csv")
for d in 0.00001 0.0003; do
    caught=0
    for x in -0.1875 -0.0625 0.0625 0.1875; do
        r=$("$CALC" particle "$cylinder" --x "$x" --y 0.625 --d "$d" --tmax 2)
        [ "$(value caught "$r")" = yes ] && caught=$((caught + 1))
    done
    row=$(awk -v d="$d" '$1 + 0 == d + 0' <<<"$out")
    [ "$(cut -d' ' -f2,3 <<<"$row")" = "$caught 4" ] || fail "efficiency d=$d: '$row', single runs $caught"
done
awk 'NR == 1 { f = $4 } NR == 2 { exit !($4 < f) }' <<<"$out" || fail "cylinder: no fall: $out"
[ "$(head -n 1 "$TMP/e.csv")" = "d,caught,total,fraction" ] || fail "efficiency csv header"
[ "$(tail -n +2 "$TMP/e.csv" | tr , ' ')" = "$out" ] || fail "efficiency csv rows"
# Over the slot the fraction rises with size: released 0.6 m up, fine dust drifts with
# the slow air and has not arrived after 5 s, heavy dust falls into the opening.
out=$("$CALC" efficiency "$slot" --from -0.04 0.6 --to 0.04 0.6 --n 4 --d 0.000001,0.0001)
[ "$(cut -d' ' -f2 <<<"$out" | tr '\n' ' ')" = "0 4 " ] || fail "slot: no rise: $out"
# Switching positions: heavy dust 0.1 m over the slot is caught only near it.
out=$("$CALC" efficiency "$slot" --from -0.2 0.1 --to 0.2 0.1 --n 8 --d 0.001 --edges)
[ "$(grep -c '^edge: ' <<<"$out")" = 2 ] || fail "edges: $out"
awk '/^edge: / { n++; side = (n == 1) ? "missed-caught" : "caught-missed"
                  x = (n == 1) ? -$3 : $3
                  if ($2 != 0.001 || x < 0.05 || x > 0.15 || $5 != side) exit 1 }' <<<"$out" ||
    fail "edges: $out"
# Ctrl+C: the rows count the particles traced so far.
"$CALC" efficiency "$cylinder" --from -0.25 0.625 --to 0.25 0.625 --n 100000 --d 0.0003 \
    >"$TMP/stop.out" 2>"$TMP/stop.err" &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid" || fail "efficiency after Ctrl+C exited $?"
grep -qF "stopped by Ctrl+C" "$TMP/stop.err" || fail "efficiency: no stop notice"
awk 'NF != 4 || $3 >= 100000 || $3 < 1 { exit 1 }' "$TMP/stop.out" ||
    fail "efficiency after Ctrl+C: $(cat "$TMP/stop.out")"
expect_exit 2 "--d is required" efficiency "$slot" --from 0 0.1 --to 1 0.1 --n 3
expect_exit 2 "unknown option --x" efficiency "$slot" --from 0 0.1 --to 1 0.1 --n 3 --d 1e-4 --x 1
expect_exit 1 "--d: must be positive" efficiency "$slot" --from 0 0.1 --to 1 0.1 --n 3 --d 1e-4,0

# 3. The field: the VTK file read back by another program gives the values of the
# table and of "velocity" at the same points; nodes outside the air are marked.
out=$("$CALC" field "$TMP/hood_probe.asp" --box -0.5 -0.25 1 1 --n 7 6 --vtk "$TMP/f.vtk")
[ "$(value nodes "$out")" = 42 ] || fail "field: nodes: $out"
air=$(value air "$out")
"$CALC" field "$TMP/hood_probe.asp" --box -0.5 -0.25 1 1 --n 7 6 --csv "$TMP/f.csv" >/dev/null
[ "$(head -n 1 "$TMP/f.csv")" = "x,y,vx,vy,speed,air" ] || fail "field csv header"
[ "$(awk -F, 'NR > 1 { n += $6 } END { print n }' "$TMP/f.csv")" = "$air" ] || fail "field: air count"
awk -F, 'NR > 1 && $2 < 0 && $6 != 0 { exit 1 }' "$TMP/f.csv" || fail "field: air below the floor"
# Three nodes in the air against single velocity queries.
while IFS=, read -r x y vx vy _ a; do
    [ "$("$CALC" velocity "$TMP/hood_probe.asp" "$x" "$y")" = "$x $y $vx $vy" ] ||
        fail "field: node $x $y differs from velocity"
done < <(awk -F, 'NR > 1 && $6 == 1' "$TMP/f.csv" | sed -n '1p;5p;9p')
expect_exit 2 "expected one of --csv and --vtk" field "$slot" --box 0 0 1 1 --n 3 3
expect_exit 2 "expected one of --csv and --vtk" field "$slot" --box 0 0 1 1 --n 3 3 --csv a --vtk b
expect_exit 2 "--n" field "$slot" --box 0 0 1 1 --n 1 3 --csv "$TMP/x.csv"

PY=/usr/bin/python3
if ! "$PY" -c 'import meshio' 2>/dev/null; then
    echo "design.sh: meshio (Debian python3-meshio) is absent; the VTK file was not read back" >&2
    exit 0
fi
"$PY" - "$TMP/f.vtk" "$TMP/f.csv" <<'EOF' || fail "the VTK file read back differs"
import csv, sys
import meshio
m = meshio.read(sys.argv[1])
rows = list(csv.DictReader(open(sys.argv[2])))
assert len(m.points) == len(rows) == 42, (len(m.points), len(rows))
v, s, a = m.point_data["velocity"], m.point_data["speed"], m.point_data["air"]
for k, r in enumerate(rows):
    assert abs(m.points[k][0] - float(r["x"])) < 1e-12 and abs(m.points[k][1] - float(r["y"])) < 1e-12, k
    assert v[k][0] == float(r["vx"]) and v[k][1] == float(r["vy"]) and v[k][2] == 0, k
    assert s[k][0] == float(r["speed"]) and int(a[k][0]) == int(r["air"]), k
EOF
echo "design.sh: all checks passed"
