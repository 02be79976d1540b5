#!/usr/bin/env bash
# kalvex-calc export: pictures of systems as classic and enhanced metafiles.
# Usage: canvas.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
set -euo pipefail
CALC=$1
EXAMPLES=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

expect_line() {
    grep -qxF -- "$2" <<<"$1" || fail "missing line '$2' in:"$'\n'"$1"
}

# u16 FILE OFFSET / u32 FILE OFFSET: little-endian unsigned numbers from a file.
u16() { od -An -t u2 -j "$2" -N 2 --endian=little "$1" | tr -d ' '; }
u32() { od -An -t u4 -j "$2" -N 4 --endian=little "$1" | tr -d ' '; }

# A system of one closed rectangle 1 m wide and 0.5 m high (the edges block).
plate="$TMP/plate.asp"
perl -e '
    my @p = ([0, 0], [1, 0], [1, 0.5], [0, 0.5]);
    my $b = pack("l<", 1) . pack("C", 0) . pack("l<", 4);
    for my $i (0 .. 3) {
        my ($a, $c) = ($p[$i], $p[($i + 1) % 4]);
        $b .= pack("d<5", @$a, @$c, 0) . ("\0" x 56);
    }
    print $b;' >"$plate"
[ "$(stat -c %s "$plate")" -eq $((4 + 1 + 4 + 4 * 96)) ] || fail "plate.asp has the wrong size"

help=$("$CALC" --help)
grep -q '^  export ' <<<"$help" || fail "--help does not list export"

# The 1 m x 0.5 m rectangle at 0.004 m per pixel: 250 + 30 by 125 + 30 pixels.
out=$("$CALC" export "$plate" "$TMP/plate.wmf") || fail "export plate.wmf"
expect_line "$out" "width: 280"
expect_line "$out" "height: 155"
w="$TMP/plate.wmf"
[ "$(u32 "$w" 0)" = 2596720087 ] || fail "no placeable header"  # 0x9AC6CDD7
[ "$(u16 "$w" 6)$(u16 "$w" 8)" = 00 ] || fail "placeable box does not start at 0, 0"
[ "$(u16 "$w" 10)" = 280 ] || fail "placeable box width $(u16 "$w" 10)"
[ "$(u16 "$w" 12)" = 155 ] || fail "placeable box height $(u16 "$w" 12)"
[ "$(u16 "$w" 14)" = 96 ] || fail "not 96 units per inch"
size=$(stat -c %s "$w")
[ "$(u32 "$w" 28)" -eq $(((size - 22) / 2)) ] || fail "metafile size field"

# Any case of .wmf gives the classic format; everything else the enhanced one.
"$CALC" export "$plate" "$TMP/upper.WMF" >/dev/null || fail "export upper.WMF"
[ "$(u32 "$TMP/upper.WMF" 0)" = 2596720087 ] || fail ".WMF is not a classic metafile"
"$CALC" export "$plate" "$TMP/plate.emf" >/dev/null || fail "export plate.emf"
e="$TMP/plate.emf"
[ "$(u32 "$e" 0)" = 1 ] || fail "EMF does not start with its header record"
[ "$(u32 "$e" 40)" = 1179469088 ] || fail "EMF signature"  # " EMF"
[ "$(u32 "$e" 48)" -eq "$(stat -c %s "$e")" ] || fail "EMF size field"
[ "$(u32 "$e" 16)" = 279 ] || fail "EMF bounds right $(u32 "$e" 16)"
[ "$(u32 "$e" 20)" = 154 ] || fail "EMF bounds bottom $(u32 "$e" 20)"

# Another scale, and a shipped example.
out=$("$CALC" export "$plate" "$TMP/fine.emf" --scale 0.002)
expect_line "$out" "width: 530"
expect_line "$out" "height: 280"
out=$("$CALC" export "$EXAMPLES/hood.asp" "$TMP/hood.wmf")
expect_line "$out" "width: 280"

# An independent reader, when it is installed (Debian libwmf-bin).
if command -v wmf2svg >/dev/null 2>&1; then
    wmf2svg -o "$TMP/plate.svg" "$w" >/dev/null 2>&1 || fail "wmf2svg refused plate.wmf"
    grep -q '<svg width="280" height="155"' "$TMP/plate.svg" || fail "wmf2svg size"
    [ "$(grep -c '<polygon' "$TMP/plate.svg")" -eq 4 ] || fail "wmf2svg: not four bands"
    wmf2svg -o "$TMP/hood.svg" "$TMP/hood.wmf" >/dev/null 2>&1 || fail "wmf2svg refused hood.wmf"
fi

# --picture of the result commands: boundaries and result lines in one picture.
out=$("$CALC" flowlines "$EXAMPLES/hood.asp" --picture "$TMP/lines.wmf") || fail "flowlines --picture"
points=$(sed -n 's/^points: //p' <<<"$out")
lines=$(sed -n 's/^lines: //p' <<<"$out")
[ "$(u32 "$TMP/lines.wmf" 0)" = 2596720087 ] || fail "flowlines picture is not a classic metafile"
[ "$(stat -c %s "$TMP/lines.wmf")" -gt "$(stat -c %s "$TMP/hood.wmf")" ] ||
    fail "flowlines picture holds no more than the boundaries"
if command -v wmf2svg >/dev/null 2>&1; then
    wmf2svg -o "$TMP/lines.svg" "$TMP/lines.wmf" >/dev/null 2>&1 || fail "wmf2svg refused lines.wmf"
    wmf2svg -o "$TMP/hood.svg" "$TMP/hood.wmf" >/dev/null 2>&1
    bands=$(grep -c '<line' "$TMP/hood.svg")
    [ "$(grep -c '<line' "$TMP/lines.svg")" -eq $((bands + points - lines)) ] ||
        fail "flowlines picture: not one line per step of the result lines"
    # On hood.asp the air moves far slower than the openings: on their scale nearly every
    # step is the slowest blue, on the lines' own scale fewer are.
    "$CALC" flowlines "$EXAMPLES/hood.asp" --picture "$TMP/own.wmf" --colours lines >/dev/null ||
        fail "flowlines --colours lines"
    wmf2svg -o "$TMP/own.svg" "$TMP/own.wmf" >/dev/null 2>&1 || fail "wmf2svg refused own.wmf"
    [ "$(grep -c 'stroke:blue"' "$TMP/own.svg")" -lt "$(grep -c 'stroke:blue"' "$TMP/lines.svg")" ] ||
        fail "--colours lines does not spread the colours over the lines' speeds"
fi
"$CALC" flowlines "$EXAMPLES/hood.asp" --picture "$TMP/legend.wmf" --legend >/dev/null ||
    fail "flowlines --legend"
grep -q '|V|' "$TMP/legend.wmf" || fail "the picture with --legend shows no speed scale"
grep -q '|V|' "$TMP/lines.wmf" && fail "the picture without --legend shows a speed scale"
out=$("$CALC" particle "$EXAMPLES/hood.asp" --x 0.5 --y 0.3 --picture "$TMP/particle.emf") ||
    fail "particle --picture"
[ "$(u32 "$TMP/particle.emf" 0)" = 1 ] || fail "particle picture is not an enhanced metafile"

# SVG, PNG and PDF, read back by tools of their own.
"$CALC" flowlines "$EXAMPLES/hood.asp" --picture "$TMP/l.svg" --legend >/dev/null || fail "--picture .svg"
python3 - "$TMP/l.svg" <<'PY' || fail "the SVG picture does not parse or lacks its parts"
import sys, xml.etree.ElementTree as ET
ns = "{http://www.w3.org/2000/svg}"
root = ET.parse(sys.argv[1]).getroot()
texts = [t.text for t in root.iter(ns + "text")]
assert root.tag == ns + "svg" and int(root.get("width")) > 100, root.attrib
assert "|V|, м/с" in texts and "по линиям тока" in texts, texts
assert len(list(root.iter(ns + "polyline"))) > 100
PY
out=$("$CALC" export "$EXAMPLES/hood.asp" "$TMP/h.png" --dpi 192) || fail "export .png"
w=$(sed -n 's/^width: //p' <<<"$out")
python3 - "$TMP/h.png" "$w" <<'PY' || fail "the PNG picture does not decode or has the wrong size"
import sys, struct, zlib
b = open(sys.argv[1], "rb").read()
assert b[:8] == b"\x89PNG\r\n\x1a\n"
pos, idat = 8, b""
while pos < len(b):
    n, kind = struct.unpack(">I4s", b[pos:pos + 8])
    data = b[pos + 8:pos + 8 + n]
    assert zlib.crc32(kind + data) == struct.unpack(">I", b[pos + 8 + n:pos + 12 + n])[0]
    if kind == b"IHDR":
        width, height = struct.unpack(">II", data[:8])
    if kind == b"IDAT":
        idat += data
    pos += 12 + n
assert width == 2 * int(sys.argv[2]), (width, sys.argv[2])
assert len(zlib.decompress(idat)) == height * (1 + 3 * width)
PY
"$CALC" export "$EXAMPLES/hood.asp" "$TMP/h.pdf" >/dev/null || fail "export .pdf"
if command -v pdfinfo >/dev/null 2>&1; then
    pdfinfo "$TMP/h.pdf" | grep -q '^Pages: *1$' || fail "the PDF picture is not one page"
    pdftoppm -r 24 -png "$TMP/h.pdf" "$TMP/page" || fail "pdftoppm refused the PDF picture"
fi
# Qt comes in with the pictures' module, not at every start; a copy of the program
# without its module says so and writes nothing.
ldd "$CALC" | grep -q 'libQt6' && fail "kalvex-calc loads Qt at its start"
mkdir "$TMP/alone" && cp "$CALC" "$TMP/alone/"
set +e
err=$("$TMP/alone/kalvex-calc" export "$EXAMPLES/hood.asp" "$TMP/x.png" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "a PNG without the pictures' module does not fail"
grep -q 'kalvex-pictures.so' <<<"$err" || fail "no word of the missing module: $err"
[ ! -e "$TMP/x.png" ] || fail "a PNG without the module left a file"
"$CALC" export "$EXAMPLES/hood.asp" "$TMP/x.png" --dpi 5000 >/dev/null 2>&1
[ $? -eq 1 ] || fail "a resolution beyond 1200 dpi is not refused"
set -e
[ ! -e "$TMP/x.png" ] || fail "a refused PNG left a file"

# Failures.
set +e
"$CALC" flowline "$EXAMPLES/hood.asp" 0.5 0.3 --picture "$TMP/x.wmf" >/dev/null 2>&1
[ $? -eq 2 ] || fail "flowline takes no --picture"
"$CALC" flowlines "$EXAMPLES/hood.asp" --legend >/dev/null 2>&1
[ $? -eq 2 ] || fail "--legend without a picture is not a usage error"
"$CALC" flowlines "$EXAMPLES/hood.asp" --picture "$TMP/x.wmf" --colours fast >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown --colours is not a usage error"
"$CALC" export "$plate" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a missing picture name is not a usage error"
"$CALC" export "$plate" "$TMP/x.wmf" --scale 0 >/dev/null 2>&1
[ $? -eq 2 ] || fail "a zero scale is not a usage error"
err=$("$CALC" export "$TMP/none.asp" "$TMP/x.wmf" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "a missing system does not fail"
grep -qF "Невозможно загрузить границы из файла" <<<"$err" || fail "message: $err"
"$CALC" export "$plate" "$TMP/no/such/dir/x.wmf" >/dev/null 2>&1
[ $? -eq 1 ] || fail "an unwritable picture does not fail"
set -e
[ ! -e "$TMP/x.wmf" ] || fail "a failed export left a picture"

echo "canvas: ok"
