#!/usr/bin/env bash
# kalvex-calc optimize with the shipped task files, and its refusals.
# Usage: optimise.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_line OUTPUT LINE: OUTPUT has LINE as one of its lines.
expect_line() {
    grep -qxF -- "$2" <<<"$1" || fail "missing line '$2' in:"$'\n'"$1"
}

# expect_exit CODE MESSAGE-PART ARGS...: the command fails with CODE and says MESSAGE-PART.
expect_exit() {
    local code=$1 part=$2
    shift 2
    local rc=0
    "$CALC" "$@" >"$TMP/out" 2>"$TMP/err" || rc=$?
    [ "$rc" -eq "$code" ] || fail "$* exited $rc, not $code: $(cat "$TMP/err")"
    [ ! -s "$TMP/out" ] || fail "$* printed on a failure: $(cat "$TMP/out")"
    grep -qF -- "$part" "$TMP/err" || fail "$*: no '$part' in: $(cat "$TMP/err")"
}

grep -q '^  optimize ' <<<"$("$CALC" --help)" || fail "--help does not list optimize"

# Velocity task: suction and a geometric parameter, with the grid.
out=$("$CALC" optimize "$EXAMPLES/hood_probe.asp" "$EXAMPLES/task_velocity.json") ||
    fail "velocity task"
# On one thread the search takes the same path to the same answer (its velocity from
# a solve on one thread instead of two, equal to rounding).
one=$("$CALC" optimize "$EXAMPLES/hood_probe.asp" "$EXAMPLES/task_velocity.json" --threads 1) ||
    fail "velocity task --threads 1"
[ "$(grep -v '^value: ' <<<"$one")" = "$(grep -v '^value: ' <<<"$out")" ] ||
    fail "--threads 1 gives another answer:"$'\n'"$one"
a=$(sed -n 's/^value: //p' <<<"$one")
b=$(sed -n 's/^value: //p' <<<"$out")
[ -n "$a" ] || fail "no value line"
awk -v a="$a" -v b="$b" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 1e-12 * (a < 0 ? -a : a)) }' ||
    fail "--threads 1: another velocity"
expect_line "$out" "Для обеспечения заданной скорости должны быть"
expect_line "$out" "выбраны следующие производительности отсосов:"
expect_line "$out" "Геометрические параметры должны иметь"
expect_line "$out" "следующие значения:"
grep -qE '^Отсос1 = [0-9]+\.[0-9]{3}м/с$' <<<"$out" || fail "no suction line in:"$'\n'"$out"
grep -qE '^h = -?[0-9]+\.[0-9]{3}$' <<<"$out" || fail "no geometric line in:"$'\n'"$out"
best=$(grep '^best: ' <<<"$out") || fail "no best line"
[ "$(wc -w <<<"$best")" -eq 3 ] || fail "best needs two values: $best"
value=$(sed -n 's/^value: //p' <<<"$out")
[ -n "$value" ] || fail "no value line"
# The suction line is the best suction velocity per 1 m/s at the point.
suction=$(cut -d' ' -f2 <<<"$best")
shown=$(sed -n 's/^Отсос1 = \(.*\)м\/с$/\1/p' <<<"$out")
awk -v s="$suction" -v v="$value" -v r="$shown" \
    'BEGIN { exit !(v > 0 && (s / v - r) < 0.0006 && (r - s / v) < 0.0006) }' ||
    fail "Отсос1 = $shown is not $suction / $value"
# Within its range, and above the start value (the velocity grows with suction).
awk -v s="$suction" 'BEGIN { exit !(s > 2 && s <= 4) }' || fail "suction $suction"
# The plate's lower edge (y = 0.25 + h) keeps off the point (0.3, 0.1) by at least the
# length of the graded element above it (0.0004 * 2^6 = 0.0256 m).
h=$(cut -d' ' -f3 <<<"$best")
awk -v h="$h" 'BEGIN { exit !(0.15 + h >= 0.0256) }' || fail "h = $h puts the plate on the point"
# 1 m/s at the point needs more suction than the range allows.
expect_line "$out" "(вне заданного диапазона от 0.500 до 4.000м/с)"

# A closed hood: the balancing inflow follows, the search raises the suction to its top.
cat >"$TMP/hood.json" <<'EOF'
{"speed": {"x": 0.5, "y": 0.5, "dx": 0, "dy": 1},
 "suction": [{"name": "Отсос1", "min": 1, "max": 3, "step": 0.5, "start": 1}]}
EOF
out=$("$CALC" optimize "$EXAMPLES/hood.asp" "$TMP/hood.json") || fail "hood task"
expect_line "$out" "best: 3"

# Asked for a velocity away from the slot: no suction can give it, and the report
# says so instead of a negative suction.
cat >"$TMP/away.json" <<'EOF2'
{"speed": {"x": 0, "y": 0.1, "dx": 0, "dy": 1},
 "suction": [{"name": "Отсос1", "min": 1, "max": 3, "step": 1, "start": 1}],
 "discretization": {"step": 0.002}}
EOF2
out=$("$CALC" optimize "$EXAMPLES/slot.asp" "$TMP/away.json") || fail "away task"
expect_line "$out" "Никакая производительность этих отсосов не обеспечивает"
expect_line "$out" "заданную скорость в заданном направлении."
! grep -q '^Отсос1 = ' <<<"$out" || fail "a suction figure for an unreachable velocity:"$'\n'"$out"

# Particle tasks: the report's count and the caught line agree.
for task in task_particles task_fewest; do
    case $task in
    task_particles) sys=slot.asp ;;
    task_fewest) sys=hood_probe.asp ;;
    esac
    out=$("$CALC" optimize "$EXAMPLES/$sys" "$EXAMPLES/$task.json") || fail "$task"
    expect_line "$out" "Должны быть выбраны следующие"
    expect_line "$out" "производительности отсосов:"
    caught=$(sed -n 's/^caught: //p' <<<"$out")
    [[ "$caught" =~ ^[0-9]+$ ]] || fail "$task: no caught line in:"$'\n'"$out"
    expect_line "$out" "Количество уловленных частиц: $caught"
    grep -q '^best: [0-9.e-]' <<<"$out" || fail "$task: no best line"
done

# Refusals: usage errors exit 2, everything else 1 with a message.
expect_exit 2 "expected a system file and a task file" optimize "$EXAMPLES/slot.asp"
expect_exit 2 "unknown option --tmax" optimize "$EXAMPLES/slot.asp" \
    "$EXAMPLES/task_velocity.json" --tmax 1
expect_exit 2 "--method: expected equal or graded" optimize "$EXAMPLES/slot.asp" \
    "$EXAMPLES/task_particles.json" --method fine
expect_exit 1 "nothere.json" optimize "$EXAMPLES/slot.asp" "$TMP/nothere.json"
echo '{"task": 0,' >"$TMP/broken.json"
expect_exit 1 "task file: not valid JSON" optimize "$EXAMPLES/slot.asp" "$TMP/broken.json"
echo '{"suction": [{"name": "Отсос7"}]}' >"$TMP/unknown.json"
expect_exit 1 "the model has no suction opening of this name (its openings: Отсос1)" \
    optimize "$EXAMPLES/slot.asp" "$TMP/unknown.json"
echo '{"suction": [{"name": "Отсос1", "min": 3, "max": 2}]}' >"$TMP/range.json"
expect_exit 1 "Нижний предел не может быть выше верхнего" \
    optimize "$EXAMPLES/slot.asp" "$TMP/range.json"
echo '{"geometric": [{"name": "h", "step": 0}]}' >"$TMP/step.json"
expect_exit 1 "Шаг изменения должен быть больше 0." optimize "$EXAMPLES/slot.asp" "$TMP/step.json"
echo '{"geometric": [{"name": "Param_1"}]}' >"$TMP/name.json"
expect_exit 1 "Некорректное имя параметра." optimize "$EXAMPLES/slot.asp" "$TMP/name.json"
echo '{"geometric": [{"name": "h", "formulas": [{"object": "Точка9"}]}]}' >"$TMP/object.json"
expect_exit 1 "no vertex or cylinder \"Точка9\"" optimize "$EXAMPLES/slot.asp" "$TMP/object.json"
echo '{"discretization": {"step": 0}}' >"$TMP/discr.json"
expect_exit 1 "" optimize "$EXAMPLES/slot.asp" "$TMP/discr.json"
# A discretisation option overrides the task file's value.
"$CALC" optimize "$EXAMPLES/slot.asp" "$TMP/discr.json" --base-length 0.002 >/dev/null ||
    fail "--base-length does not override the task file"
expect_exit 1 "" optimize "$EXAMPLES/slot.asp" "$EXAMPLES/task_particles.json" --base-length 0
# A closed model without exactly one inflow cannot keep its flow balanced.
printf '\0\0\0\0' >"$TMP/empty.asp"
expect_exit 1 "cannot be balanced" optimize "$TMP/empty.asp" "$EXAMPLES/task_velocity.json"
expect_exit 1 "Невозможно загрузить границы из файла" optimize "$TMP/broken.json" \
    "$EXAMPLES/task_velocity.json"

echo "optimise: ok"
