#!/usr/bin/env bash
# The program started where no display can be reached: one line of its own and exit 1,
# whether no display is named or the one named does not answer.
set -u
KALVEX=$1
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$KALVEX" 2>&1)
rc=$?
[ $rc -eq 1 ] || fail "no display: exit $rc"
grep -qF "нет графического дисплея" <<<"$out" || fail "no display: $out"
out=$(env -u WAYLAND_DISPLAY DISPLAY=:65531 QT_QPA_PLATFORM=xcb "$KALVEX" 2>&1)
rc=$?
[ $rc -eq 1 ] || fail "unreachable display: exit $rc"
grep -qF "не удалось подключиться к графическому дисплею :65531" <<<"$out" ||
    fail "unreachable display: $out"
echo "ok"
