#!/usr/bin/env bash
# kalvex-calc discretize / velocity on the example systems.
# Usage: solver.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Numbers of a "X Y Vx Vy" line, checked with awk.
check() { # LINE AWK-CONDITION MESSAGE
    awk -v l="$1" 'BEGIN { split(l, f, " "); exit !('"$2"') }' || fail "$3: '$1'"
}

help=$("$CALC" --help)
grep -q '^  discretize ' <<<"$help" || fail "--help does not list discretize"
grep -q '^  velocity ' <<<"$help" || fail "--help does not list velocity"

for name in slot hood cylinder hood_probe; do
    cp "$EXAMPLES/$name.asp" "$TMP/$name.asp"
done

# discretize writes the .dsc beside the system (last three characters replaced).
out=$("$CALC" discretize "$TMP/slot.asp") || fail "discretize slot"
grep -qxE 'elements: [0-9]+' <<<"$out" || fail "no element count: $out"
n=$(sed -n 's/^elements: //p' <<<"$out")
[ -f "$TMP/slot.dsc" ] || fail "slot.dsc not written"
# File layout: count, 40 bytes per element, cylinder count 0, flag, edges block.
[ "$(od -An -t d4 -N 4 --endian=little "$TMP/slot.dsc" | tr -d ' ')" = "$n" ] || fail "count field"
size=$(stat -c %s "$TMP/slot.dsc")
[ "$size" -eq $((4 + 40 * n + 4 + 1 + 4 + 1 + 4 + 3 * 96)) ] || fail "slot.dsc size $size"

# --out and the options; the equal method with 0.01 m elements.
out=$("$CALC" discretize "$TMP/hood.asp" --method equal --base-length 0.01 --out "$TMP/h.dsc")
[ "$out" = "elements: 350" ] || fail "hood equal 0.01: $out"
[ -f "$TMP/h.dsc" ] && [ ! -f "$TMP/hood.dsc" ] || fail "--out not honoured"

# velocity: one line per point. On the slot's axis: (2V/pi) atan(b/(2x)) towards the slot.
out=$("$CALC" velocity "$TMP/slot.asp" 0 0.1 0 0.5) || fail "velocity slot"
[ "$(wc -l <<<"$out")" -eq 2 ] || fail "two points, two lines: $out"
line1=$(sed -n 1p <<<"$out")
check "$line1" 'f[1] == 0 && f[2] == 0.1' "coordinates echoed"
check "$line1" 'f[4] < -0.292 && f[4] > -0.298' "slot axis velocity at 0.1"
check "$(sed -n 2p <<<"$out")" 'f[4] < -0.0615 && f[4] > -0.0645' "slot axis velocity at 0.5"

# The .dsc beside the system is used when no option is given: a damaged one fails.
printf 'abc' >"$TMP/slot.dsc"
if out=$("$CALC" velocity "$TMP/slot.asp" 0 0.1 2>"$TMP/err"); then
    fail "a damaged .dsc was not noticed"
fi
grep -qF "Невозможно загрузить граничные элементы" "$TMP/err" || fail "message: $(cat "$TMP/err")"
# ...but with an option the system is discretised anew.
out=$("$CALC" velocity "$TMP/slot.asp" 0 0.1 --base-length 0.0004) || fail "options override"
check "$out" 'f[4] < -0.29' "slot velocity with options"

# Hood: air enters through the low gap in the left wall at 1 m/s.
out=$("$CALC" velocity "$TMP/hood.asp" 0.01 0.125) || fail "velocity hood"
check "$out" 'f[3] > 0.8 && f[3] < 1.2' "hood inflow"
# The iterative solve, forced on a few hundred elements, gives LU's velocities to 1e-9.
lu=$("$CALC" velocity "$TMP/hood.asp" 0.01 0.125 0.3 0.1 --base-length 0.01 --solver lu) ||
    fail "velocity lu"
it=$("$CALC" velocity "$TMP/hood.asp" 0.01 0.125 0.3 0.1 --base-length 0.01 --solver iterative) ||
    fail "velocity iterative"
paste -d' ' <(echo "$lu") <(echo "$it") | awk '{
    d = ($3 - $7) ^ 2 + ($4 - $8) ^ 2; v = $3 ^ 2 + $4 ^ 2
    if (!(v > 0 && d <= 1e-18 * v)) bad = 1 } END { exit bad }' ||
    fail "iterative and LU differ: $lu / $it"
# So does the solve without the matrix, to 1e-8.
fm=$("$CALC" velocity "$TMP/hood.asp" 0.01 0.125 0.3 0.1 --base-length 0.01 --solver fmm) ||
    fail "velocity fmm"
paste -d' ' <(echo "$lu") <(echo "$fm") | awk '{
    d = ($3 - $7) ^ 2 + ($4 - $8) ^ 2; v = $3 ^ 2 + $4 ^ 2
    if (!(v > 0 && d <= 1e-16 * v)) bad = 1 } END { exit bad }' ||
    fail "fmm and LU differ: $lu / $fm"
# Rotating slit cylinder and the probe: finite numbers.
for name in cylinder hood_probe; do
    out=$("$CALC" velocity "$TMP/$name.asp" 0.3 0.3 -0.2 0.1) || fail "velocity $name"
    [ "$(wc -l <<<"$out")" -eq 2 ] || fail "$name lines"
    check "$(sed -n 1p <<<"$out")" 'f[3] == f[3] + 0 && f[3] != "nan" && f[4] != "nan"' "$name"
done

# Refused parameters: exit 1 with the reason; usage errors: exit 2.
set +e
"$CALC" discretize "$TMP/slot.asp" --scaler 1 >/dev/null 2>"$TMP/err"
[ $? -eq 1 ] || fail "scaler 1 not refused"
grep -qF "Множитель для конечных ребер" "$TMP/err" || fail "scaler message: $(cat "$TMP/err")"
"$CALC" discretize "$TMP/cylinder.asp" --cyl-step 1 >/dev/null 2>"$TMP/err"
[ $? -eq 1 ] || fail "cylinder step not refused"
"$CALC" discretize "$TMP/hood.asp" --method equal --base-length 1e-7 >/dev/null 2>"$TMP/err"
[ $? -eq 1 ] || fail "huge count not refused"
grep -qF "Слишком много граничных элементов: 35000000" "$TMP/err" || fail "count message: $(cat "$TMP/err")"
"$CALC" discretize "$TMP/slot.asp" --method fancy >/dev/null 2>&1
[ $? -eq 2 ] || fail "bad method is a usage error"
"$CALC" velocity "$TMP/slot.asp" 0 >/dev/null 2>&1
[ $? -eq 2 ] || fail "odd coordinate count is a usage error"
"$CALC" velocity "$TMP/missing.asp" 0 0 >/dev/null 2>"$TMP/err"
[ $? -eq 1 ] || fail "missing system"
grep -qF "Невозможно загрузить границы из файла" "$TMP/err" || fail "missing system message"
# A system named otherwise than *.asp gets ".dsc" appended; its elements never
# overwrite it, not even through --out or a link.
cp "$TMP/slot.asp" "$TMP/named.dsc"
"$CALC" discretize "$TMP/named.dsc" >/dev/null || fail "discretize named.dsc"
[ -f "$TMP/named.dsc.dsc" ] || fail "named.dsc: its elements are not in named.dsc.dsc"
ln -s named.dsc "$TMP/link.dsc"
for out in "$TMP/named.dsc" "$TMP/link.dsc"; do
    "$CALC" discretize "$TMP/named.dsc" --out "$out" >/dev/null 2>"$TMP/err"
    [ $? -eq 1 ] || fail "discretize over its own system ($out)"
done
cmp -s "$TMP/slot.asp" "$TMP/named.dsc" || fail "system file overwritten"
set -e
echo "solver.sh: all passed"
