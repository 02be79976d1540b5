#!/usr/bin/env bash
# kalvex-calc flowlines / flowline / particle on the shipped examples, with their
# results files (.mod) and point tables (.csv).
# Usage: results.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
# Work on copies, so that no discretisation file beside the examples is used.
cp "$EXAMPLES"/*.asp "$TMP"/

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

expect_line() {
    grep -qxF -- "$2" <<<"$1" || fail "missing line '$2' in:"$'\n'"$1"
}

# value KEY OUTPUT: the text after "KEY: ".
value() {
    sed -n "s/^$1: //p" <<<"$2"
}

# check_outputs ASP MOD CSV LINES POINTS: the .mod is the system's bytes, the lines and
# the comment; the .csv has a header and one row per point.
check_outputs() {
    local asp=$1 mod=$2 csv=$3 lines=$4 points=$5
    [ "$(head -n 1 "$csv")" = "line,point,x,y,color" ] || fail "$csv: header"
    [ "$(($(wc -l <"$csv") - 1))" -eq "$points" ] || fail "$csv: expected $points rows"
    awk -F, 'NR > 1 && NF != 5 { exit 1 }' "$csv" || fail "$csv: a row without 5 fields"
    [ "$(tail -n +2 "$csv" | cut -d, -f1 | sort -u | wc -l)" -eq "$lines" ] ||
        fail "$csv: expected $lines lines"
    local asp_size expected
    asp_size=$(stat -c %s "$asp")
    expected=$((asp_size + 4 + 4 * lines + 24 * points + 4 + 40))
    [ "$(stat -c %s "$mod")" -eq "$expected" ] || fail "$mod: size $(stat -c %s "$mod") != $expected"
    [ "$(tail -c 44 "$mod" | head -c 4 | od -An -tu4 | tr -d ' ')" = 40 ] ||
        fail "$mod: comment length"
    [ "$(tail -c 40 "$mod" | iconv -f CP1251 -t UTF-8)" = "Комментарии к результатам моделирования:" ] ||
        fail "$mod: comment text"
    [ "$(tail -c +$((asp_size + 1)) "$mod" | head -c 4 | od -An -tu4 | tr -d ' ')" = "$lines" ] ||
        fail "$mod: line count"
}

help=$("$CALC" --help)
for c in flowlines flowline particle; do
    grep -q "^  $c " <<<"$help" || fail "--help does not list $c"
done

# Fields of flow lines on every example.
for f in "$TMP"/*.asp; do
    out=$("$CALC" flowlines "$f" --mod "$TMP/f.mod" --csv "$TMP/f.csv") || fail "flowlines $f"
    lines=$(value lines "$out")
    points=$(value points "$out")
    [ "$lines" -ge 1 ] || fail "flowlines $f: no lines"
    check_outputs "$f" "$TMP/f.mod" "$TMP/f.csv" "$lines" "$points"
    # No rotating slit is turned by flow lines: the model part is the system file.
    cmp -s -n "$(stat -c %s "$f")" "$f" "$TMP/f.mod" || fail "flowlines $f: model part changed"
    # Traced on one thread the field is the same, point for point. (The library's LU
    # rounds differently on two threads: both solve on one here.)
    "$CALC" flowlines "$f" --threads 1 --csv "$TMP/f1.csv" >/dev/null || fail "flowlines $f --threads 1"
    OPENBLAS_NUM_THREADS=1 "$CALC" flowlines "$f" --threads 3 --csv "$TMP/f3.csv" >/dev/null ||
        fail "flowlines $f --threads 3"
    cmp -s "$TMP/f1.csv" "$TMP/f3.csv" || fail "flowlines $f: --threads 3 gives other lines"
done
"$CALC" flowlines "$TMP/slot.asp" --threads 0 >/dev/null 2>&1 && fail "--threads 0 accepted"
"$CALC" flowlines "$TMP/slot.asp" --solver qr >/dev/null 2>&1 && fail "--solver qr accepted"

# The slot: one seed on its 0.1 m opening; the semi-infinite wall limits the line to
# length/step = 100 steps.
out=$("$CALC" flowlines "$TMP/slot.asp")
expect_line "$out" "lines: 1"
expect_line "$out" "points: 101"
out=$("$CALC" flowlines "$TMP/slot.asp" --interval 0.02 --length 0.5 --step 0.01)
expect_line "$out" "lines: 5"
expect_line "$out" "points: 255"
out=$("$CALC" flowlines "$TMP/slot.asp" --from sources)
expect_line "$out" "lines: 0"

# A flow line near the slot ends on the slot.
out=$("$CALC" flowline "$TMP/slot.asp" 0.1 0.1 --step 0.005 --to sink --csv "$TMP/l.csv" --mod "$TMP/l.mod")
read -r ex ey <<<"$(value end "$out")"
[ "$ey" = 0 ] || fail "flowline slot: ends at y = $ey"
awk -v x="$ex" 'BEGIN { exit !(x > -0.05 && x < 0.05) }' || fail "flowline slot: ends at x = $ex"
check_outputs "$TMP/slot.asp" "$TMP/l.mod" "$TMP/l.csv" 1 "$(value points "$out")"

# In the hood a line follows the air to the roof opening (x 0.4375 .. 0.5625, y 0.75).
out=$("$CALC" flowline "$TMP/hood.asp" 0.05 0.1 --to sink)
read -r ex ey <<<"$(value end "$out")"
[ "$ey" = 0.75 ] || fail "flowline hood: ends at y = $ey"
awk -v x="$ex" 'BEGIN { exit !(x > 0.4375 && x < 0.5625) }' || fail "flowline hood: x = $ex"
# Against the flow (the default, as the dialog) it ends on the inflow gap of the left wall (x 0, y 0 .. 0.25).
out=$("$CALC" flowline "$TMP/hood.asp" 0.05 0.1)
read -r ex ey <<<"$(value end "$out")"
awk -v x="$ex" -v y="$ey" 'BEGIN { exit !(x < 1e-9 && x > -1e-9 && y > 0 && y < 0.25) }' ||
    fail "flowline hood to source: ends at $ex $ey"

# Fine dust released near the inflow is carried to the suction opening.
out=$("$CALC" particle "$TMP/hood.asp" --x 0.1 --y 0.12 --d 0.00001 --mod "$TMP/p.mod" \
    --csv "$TMP/p.csv")
expect_line "$out" "caught: yes"
read -r ex ey <<<"$(value end "$out")"
[ "$ey" = 0.75 ] || fail "particle hood: caught at y = $ey"
check_outputs "$TMP/hood.asp" "$TMP/p.mod" "$TMP/p.csv" 1 "$(value points "$out")"
# Its flight time is (k − 1)·h for k steps, k = points − 1.
awk -v t="$(value time "$out")" -v n="$(value points "$out")" \
    'BEGIN { d = t - (n - 2) * 0.005; exit !(d < 1e-9 && d > -1e-9) }' || fail "particle time"

# The default particle in the hood is not caught within 5 s: 1000 steps.
out=$("$CALC" particle "$TMP/hood.asp" --x 0.5 --y 0.5)
expect_line "$out" "caught: no"
expect_line "$out" "points: 1001"

# With a rotating slit the .mod holds the model as turned by the flight.
out=$("$CALC" particle "$TMP/cylinder.asp" --x 0.3 --y 0.3 --tmax 0.2 --mod "$TMP/c.mod" \
    --csv "$TMP/c.csv")
check_outputs "$TMP/cylinder.asp" "$TMP/c.mod" "$TMP/c.csv" 1 "$(value points "$out")"
if cmp -s -n "$(stat -c %s "$TMP/cylinder.asp")" "$TMP/cylinder.asp" "$TMP/c.mod"; then
    fail "particle cylinder: the slit in the .mod did not turn"
fi

# Refusals: exit 1 with the program's message, no file written.
set +e
err=$("$CALC" particle "$TMP/hood.asp" --h 1e-11 --mod "$TMP/x.mod" 2>&1 >/dev/null)
rc=$?
set -e
[ $rc -eq 1 ] || fail "--h 1e-11: exit $rc"
[ "$err" = "--h: Слишком маленький шаг интегрирования." ] || fail "--h 1e-11: '$err'"
[ ! -e "$TMP/x.mod" ] || fail "--h 1e-11 wrote a file"
"$CALC" particle "$TMP/hood.asp" --h 1e-10 --tmax 1e-9 >/dev/null || fail "--h 1e-10 refused"

for args in "flowlines $TMP/hood.asp --interval 0" "flowlines $TMP/hood.asp --length -1" \
    "flowline $TMP/hood.asp 0.5 0.5 --step 0" "flowline $TMP/hood.asp 0.5 0.5 --length 0"; do
    set +e
    # shellcheck disable=SC2086
    err=$("$CALC" $args 2>&1 >/dev/null)
    rc=$?
    set -e
    [ $rc -eq 1 ] || fail "$args: exit $rc"
    [ "$err" = $'Параметры построения должны\nбыть положительными числами' ] ||
        fail "$args: '$err'"
done

# Particle options are checked as the task file checks them, each named in its refusal
# (not reported as a computing fault), and nothing is written.
for bad in "--d -1" "--d 0" "--chi 0" "--rho-air 0" "--rho -3" "--mu 0" "--restitution 5" \
    "--friction -5" "--tmax -1" "--x 2e6" "--vy -1e5"; do
    set +e
    # shellcheck disable=SC2086
    err=$("$CALC" particle "$TMP/hood.asp" $bad --mod "$TMP/y.mod" 2>&1 >/dev/null)
    rc=$?
    set -e
    [ $rc -eq 1 ] || fail "$bad: exit $rc"
    [[ "$err" == "${bad%% *}: "* ]] || fail "$bad: '$err'"
    [ ! -e "$TMP/y.mod" ] || fail "$bad: a refused trace wrote a file"
done

# Usage errors: exit 2.
for args in "flowlines $TMP/hood.asp --from up" "flowline $TMP/hood.asp 0.5 0.5 --to up" \
    "flowline $TMP/hood.asp 0.5" "particle $TMP/hood.asp --x one" "particle" \
    "flowlines $TMP/hood.asp --speed 1" "flowlines $TMP/hood.asp --method odd"; do
    set +e
    # shellcheck disable=SC2086
    "$CALC" $args >/dev/null 2>&1
    rc=$?
    set -e
    [ $rc -eq 2 ] || fail "$args: exit $rc, expected 2"
done

# A missing system: exit 1 with the loader's message.
set +e
err=$("$CALC" flowlines "$TMP/none.asp" 2>&1 >/dev/null)
rc=$?
set -e
[ $rc -eq 1 ] || fail "missing system: exit $rc"
[ "$(head -n 1 <<<"$err")" = "Невозможно загрузить границы из файла" ] || fail "missing system: '$err'"

echo "results.sh: all checks passed"
