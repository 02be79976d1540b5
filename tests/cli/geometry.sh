#!/usr/bin/env bash
# kalvex-calc info / copy on the shipped examples.
# Usage: geometry.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
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

# --help lists both commands.
help=$("$CALC" --help)
grep -q '^  info ' <<<"$help" || fail "--help does not list info"
grep -q '^  copy ' <<<"$help" || fail "--help does not list copy"

# Every example: all contract lines, valid, and copied byte for byte.
for f in "$EXAMPLES"/*.asp; do
    out=$("$CALC" info "$f") || fail "info $f"
    [ "$(wc -l <<<"$out")" -eq 7 ] || fail "info $f: expected 7 lines:"$'\n'"$out"
    for key in boundaries segments total_flow valid has_semi_infinite inflow_count bounds; do
        grep -q "^$key: " <<<"$out" || fail "info $f: no $key"
    done
    expect_line "$out" "valid: true"
    "$CALC" copy "$f" "$TMP/copy.asp" || fail "copy $f"
    cmp "$f" "$TMP/copy.asp" || fail "copy of $f differs"
done

# Known values of particular examples.
out=$("$CALC" info "$EXAMPLES/hood.asp")
expect_line "$out" "boundaries: 1"
expect_line "$out" "segments: 7"
expect_line "$out" "total_flow: 0"
expect_line "$out" "has_semi_infinite: false"
expect_line "$out" "inflow_count: 1"
expect_line "$out" "bounds: 0 0.75 1 0"

out=$("$CALC" info "$EXAMPLES/slot.asp")
expect_line "$out" "segments: 3"
expect_line "$out" "total_flow: 0.10000000000000001"
expect_line "$out" "has_semi_infinite: true"
expect_line "$out" "inflow_count: 0"
expect_line "$out" "bounds: -1.1000000000000001 0 1.1000000000000001 0"

out=$("$CALC" info "$EXAMPLES/cylinder.asp")
expect_line "$out" "boundaries: 2"
expect_line "$out" "segments: 5"

# An empty system: four zero bytes, no bounds; copy keeps it at four bytes.
printf '\0\0\0\0' >"$TMP/empty.asp"
out=$("$CALC" info "$TMP/empty.asp")
expect_line "$out" "boundaries: 0"
expect_line "$out" "total_flow: 0"
expect_line "$out" "valid: true"
expect_line "$out" "bounds: none"
"$CALC" copy "$TMP/empty.asp" "$TMP/empty2.asp"
cmp "$TMP/empty.asp" "$TMP/empty2.asp" || fail "empty copy differs"

# Usage errors: exit 2.
set +e
"$CALC" info >/dev/null 2>&1
[ $? -eq 2 ] || fail "info without a file should exit 2"
"$CALC" info a.asp b.asp >/dev/null 2>&1
[ $? -eq 2 ] || fail "info with two files should exit 2"
"$CALC" copy "$EXAMPLES/slot.asp" >/dev/null 2>&1
[ $? -eq 2 ] || fail "copy with one file should exit 2"
"$CALC" info "$EXAMPLES/slot.asp" --bogus 1 >/dev/null 2>&1
[ $? -eq 2 ] || fail "unknown option should exit 2"

# Failures: exit 1 with the program's message; a failed copy writes nothing.
err=$("$CALC" info "$TMP/missing.asp" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "missing file should exit 1"
[ "$(head -n 1 <<<"$err")" = "Невозможно загрузить границы из файла" ] || fail "missing file message: $err"
printf '\0\0\0' >"$TMP/short.asp"
err=$("$CALC" copy "$TMP/short.asp" "$TMP/out.asp" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "short file should exit 1"
[ "$(head -n 1 <<<"$err")" = "Невозможно загрузить границы из файла" ] || fail "short file message: $err"
[ ! -e "$TMP/out.asp" ] || fail "failed copy wrote its output"
err=$("$CALC" copy "$EXAMPLES/slot.asp" "$TMP/no/such/dir.asp" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "unwritable output should exit 1"
grep -q "^Не удалось записать файл" <<<"$err" || fail "write failure message: $err"
set -e

echo "geometry CLI: OK"
