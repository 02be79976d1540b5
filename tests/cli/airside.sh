#!/usr/bin/env bash
# A hood drawn the other way round: kalvex-calc computes it, but says which boundary
# has its air side facing nothing, and why a contour in it finds nothing.
# Usage: airside.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
cp "$EXAMPLES"/hood.asp "$TMP"/

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The hood's one closed region with its segments in the other order and every segment's
# ends swapped: counter-clockwise, a solid body with the air outside.
python3 - "$TMP/hood.asp" "$TMP/turned.asp" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
count, = struct.unpack_from("<i", data, 5)
size = (len(data) - 9) // count
recs = [data[9 + i * size:9 + (i + 1) * size] for i in range(count)]
recs = [r[16:32] + r[0:16] + r[32:] for r in reversed(recs)]
open(sys.argv[2], "wb").write(data[:9] + b"".join(recs))
PY

warning="kalvex-calc: warning: boundary 1: its air side faces no opening and no other boundary (drawn the other way round?)"
for cmd in "velocity $TMP/turned.asp 0.5 0.3" "flowlines $TMP/turned.asp"; do
    "$CALC" $cmd >/dev/null 2>"$TMP/err" || fail "$cmd"
    grep -qxF "$warning" "$TMP/err" || fail "$cmd: no warning in: $(cat "$TMP/err")"
    "$CALC" ${cmd/turned/hood} >/dev/null 2>"$TMP/err" || fail "${cmd/turned/hood}"
    [ ! -s "$TMP/err" ] || fail "${cmd/turned/hood} warns: $(cat "$TMP/err")"
done

# Found nothing: said so, and why.
out=$("$CALC" contour "$TMP/turned.asp" --speed 0.5 --cells 40 --box 0.1 0.1 0.9 0.6 2>"$TMP/err")
grep -qxF "lines: 0" <<<"$out" || fail "contour in the turned hood found lines"
grep -qF "kalvex-calc contour: nothing found: no point of the box lies in the air; boundary 1:" \
    "$TMP/err" || fail "contour: no reason in: $(cat "$TMP/err")"
cp "$EXAMPLES"/slot.asp "$TMP"/
"$CALC" flowlines "$TMP/slot.asp" --from sources >/dev/null 2>"$TMP/err"
grep -qxF "kalvex-calc flowlines: nothing found: the system has no opening letting air in" \
    "$TMP/err" || fail "flowlines: no reason in: $(cat "$TMP/err")"
