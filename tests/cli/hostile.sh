#!/usr/bin/env bash
# kalvex-calc under hostile use: files that are inputs, links and devices as outputs,
# stale discretisation files, values beyond any hood, Ctrl+C, bounded memory.
# Usage: hostile.sh PATH-TO-KALVEX-CALC EXAMPLES-DIR
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

# expect_exit CODE MESSAGE-PART ARGS...: the command fails with CODE, prints nothing on
# stdout and says MESSAGE-PART on stderr.
expect_exit() {
    local code=$1 part=$2
    shift 2
    local rc=0
    "$CALC" "$@" >"$TMP/out" 2>"$TMP/err" || rc=$?
    [ "$rc" -eq "$code" ] || fail "$* exited $rc, not $code: $(cat "$TMP/err")"
    [ ! -s "$TMP/out" ] || fail "$* printed on a failure: $(cat "$TMP/out")"
    grep -qF -- "$part" "$TMP/err" || fail "$*: no '$part' in: $(cat "$TMP/err")"
}

# polygon FILE X1 Y1 X2 Y2 ... [/ X1 Y1 ...]: closed boundaries of still walls.
polygon() {
    local file=$1
    shift
    perl -e '
        my @polys = ([]);
        for (@ARGV) { if ($_ eq "/") { push @polys, [] } else { push @{$polys[-1]}, $_ } }
        my $b = pack("l<", scalar @polys);
        for my $p (@polys) {
            my $n = @$p / 2;
            $b .= pack("C", 0) . pack("l<", $n);
            for my $i (0 .. $n - 1) {
                my $j = ($i + 1) % $n;
                $b .= pack("d<5", $p->[2*$i], $p->[2*$i+1], $p->[2*$j], $p->[2*$j+1], 0)
                    . ("\0" x 56);
            }
        }
        print $b;' "$@" >"$file"
}

hood=$TMP/hood.asp

# 1. No output replaces an input: the same name, another path, a hard or symbolic link.
ln "$hood" "$TMP/hard.asp"
ln -s hood.asp "$TMP/soft.asp"
mkdir "$TMP/sub"
for args in "flowlines $hood --csv $hood" "flowlines $hood --mod $TMP/hard.asp" \
    "flowlines $hood --picture $TMP/soft.asp" "flowline $hood 0.5 0.3 --csv $TMP/sub/../hood.asp" \
    "particle $hood --mod $TMP/soft.asp" "export $hood $TMP/hard.asp" "copy $hood $TMP/soft.asp"; do
    # shellcheck disable=SC2086
    expect_exit 1 "input" $args
    cmp -s "$hood" "$EXAMPLES/hood.asp" || fail "$args overwrote the system"
done

# 2. Outputs: through a link to its target, never over a device, a pipe or a folder;
# "-" is standard output for text only; one command's outputs are all written or none.
echo old >"$TMP/target.csv"
ln -s target.csv "$TMP/link.csv"
ln -s fresh.csv "$TMP/dangling.csv"
"$CALC" flowline "$hood" 0.5 0.3 --csv "$TMP/link.csv" >/dev/null
[ -L "$TMP/link.csv" ] || fail "the link was replaced by a file"
[ "$(head -n 1 "$TMP/target.csv")" = "line,point,x,y,color" ] || fail "the link's target not written"
"$CALC" flowline "$hood" 0.5 0.3 --mod "$TMP/dangling.csv" >/dev/null
[ -L "$TMP/dangling.csv" ] && [ -f "$TMP/fresh.csv" ] || fail "a dangling link's target not made"
mkfifo "$TMP/fifo"
expect_exit 1 "not a regular file" flowline "$hood" 0.5 0.3 --csv "$TMP/fifo"
expect_exit 1 "not a regular file" export "$hood" "$TMP/sub"
out=$("$CALC" flowline "$hood" 0.5 0.3 --csv - 2>"$TMP/err")
[ "$(head -n 1 <<<"$out")" = "line,point,x,y,color" ] || fail "--csv - is not the table"
grep -q "^points: " "$TMP/err" || fail "--csv -: the summary is not on stderr"
expect_exit 2 "standard output" flowline "$hood" 0.5 0.3 --mod -
expect_exit 1 "Не удалось записать файл" flowline "$hood" 0.5 0.3 --csv "$TMP/one.csv" \
    --mod "$TMP/no/dir/x.mod"
[ ! -e "$TMP/one.csv" ] || fail "one output written although the other failed"
ls -A "$TMP" | grep -q '\.tmp$' && fail "a temporary file was left"
long=$TMP/$(printf 'n%.0s' {1..250}).csv
"$CALC" flowline "$hood" 0.5 0.3 --csv "$long" >/dev/null || fail "a 254-character name"
[ -f "$long" ] || fail "the 254-character name was not written"

# 3. No stale or foreign discretisation file: copy removes the one beside its output,
# an older one, one of another system or one naming a cylinder twice is replaced by a
# fresh discretisation, and
# a name without .asp gets .dsc appended.
fresh=$("$CALC" velocity "$hood" 0.5 0.3 --method graded)
"$CALC" discretize "$hood" --method equal --base-length 0.05 >/dev/null
coarse=$("$CALC" velocity "$hood" 0.5 0.3 2>"$TMP/err")
[ "$coarse" != "$fresh" ] && [ ! -s "$TMP/err" ] || fail "a current .dsc was not used"
touch -d '1 hour ago' "$TMP/hood.dsc"
[ "$("$CALC" velocity "$hood" 0.5 0.3 2>"$TMP/err")" = "$fresh" ] || fail "an older .dsc was used"
grep -qF "older than its system" "$TMP/err" || fail "no notice for an older .dsc"
"$CALC" discretize "$TMP/slot.asp" --method equal --base-length 0.05 >/dev/null
cp "$TMP/slot.dsc" "$TMP/hood.dsc"
[ "$("$CALC" velocity "$hood" 0.5 0.3 2>"$TMP/err")" = "$fresh" ] || fail "a foreign .dsc was used"
grep -qF "belongs to another system" "$TMP/err" || fail "no notice for a foreign .dsc"
# Damaged element records: one flipped byte, or no elements at all.
slotv=$("$CALC" velocity "$TMP/slot.asp" 0 0.1 --method graded)
"$CALC" discretize "$TMP/slot.asp" >/dev/null
perl -0777 -pe 'substr($_, 4 + 40 * 3 + 6, 1) ^= "\x01"' "$TMP/slot.dsc" >"$TMP/flip.dsc"
mv "$TMP/flip.dsc" "$TMP/slot.dsc"
[ "$("$CALC" velocity "$TMP/slot.asp" 0 0.1 2>"$TMP/err")" = "$slotv" ] ||
    fail "a .dsc with a flipped byte was used"
grep -qF "belongs to another system" "$TMP/err" || fail "no notice for a damaged .dsc"
"$CALC" discretize "$TMP/slot.asp" >/dev/null
perl -0777 -pe 'my $n = unpack("l<", $_); substr($_, 0, 4 + 40 * $n) = pack("l<", 0)' \
    "$TMP/slot.dsc" >"$TMP/none.dsc"
mv "$TMP/none.dsc" "$TMP/slot.dsc"
[ "$("$CALC" velocity "$TMP/slot.asp" 0 0.1 2>/dev/null)" = "$slotv" ] ||
    fail "a .dsc without elements was used"
cp "$TMP/slot.asp" "$TMP/other.asp"
"$CALC" discretize "$TMP/other.asp" >/dev/null
"$CALC" copy "$hood" "$TMP/other.asp"
[ ! -e "$TMP/other.dsc" ] || fail "copy left the .dsc of the file it replaced"
"$CALC" discretize "$TMP/cylinder.asp" >/dev/null
perl -0777 -pe 'my $c = 4 + 40 * unpack("l<", $_); my $m = unpack("l<", substr($_, $c, 4));
    substr($_, $c + 4 + 48 * $m, 0) = substr($_, $c + 4, 48);
    substr($_, $c, 4) = pack("l<", $m + 1);' "$TMP/cylinder.dsc" >"$TMP/twice.dsc"
mv "$TMP/twice.dsc" "$TMP/cylinder.dsc"
"$CALC" velocity "$TMP/cylinder.asp" 0.3 0.3 >/dev/null 2>"$TMP/err" || fail "repeated cylinder"
grep -qF "names a cylinder twice" "$TMP/err" || fail "no notice for a repeated cylinder"
mkdir -p "$TMP/p/x"
cp "$TMP/slot.asp" "$TMP/p/x/a"
"$CALC" discretize "$TMP/p/x/a" >/dev/null
[ -f "$TMP/p/x/a.dsc" ] && [ ! -e "$TMP/p/dsc" ] || fail "a name without .asp"
cp "$hood" "$TMP/self.asp"
ln -s self.asp "$TMP/self.dsc"
"$CALC" velocity "$TMP/self.asp" 0.5 0.3 >/dev/null || fail "the system was read as its own .dsc"
cmp -s "$TMP/self.asp" "$hood" || fail "the system was written as its own .dsc"

# A read-only file is never replaced, whoever runs the command: its mode bits decide.
cp "$hood" "$TMP/ro.asp"
chmod 444 "$TMP/ro.asp"
expect_exit 1 "read-only" copy "$TMP/slot.asp" "$TMP/ro.asp"
cmp -s "$TMP/ro.asp" "$hood" || fail "copy replaced a read-only system"
echo old >"$TMP/ro.csv"
chmod 444 "$TMP/ro.csv"
expect_exit 1 "read-only" flowline "$hood" 0.5 0.3 --csv "$TMP/ro.csv"
[ "$(cat "$TMP/ro.csv")" = old ] || fail "a read-only table was replaced"

# 4. Readers: coordinates beyond ±1e6 m, points beyond it, a .dsc value that is not a
# number, devices and folders, numbers beyond a double in a task file.
polygon "$TMP/far.asp" 0 0 2e6 0 0 1
expect_exit 1 "Невозможно загрузить границы из файла" info "$TMP/far.asp"
expect_exit 1 "beyond" velocity "$hood" 1e308 1e308
expect_exit 1 "beyond" flowline "$hood" 0 2e6
# Lines that would leave the numbers or never start, a direction that cannot be normalised.
expect_exit 1 "the step of the lines" flowlines "$hood" --step 1e308 --mod "$TMP/inf.mod"
[ ! -e "$TMP/inf.mod" ] || fail "a results file was written for a step of 1e308"
expect_exit 1 "the step of the lines" flowline "$hood" 0.5 0.3 --step 1e308
expect_exit 1 "more than 100000" flowlines "$hood" --interval 1e-308
sed 's/"dx": -1, "dy": 0/"dx": 1e-308, "dy": 1e-308/' "$EXAMPLES/task_velocity.json" >"$TMP/dir.json"
grep -q '1e-308' "$TMP/dir.json" || fail "the direction was not set in the task"
expect_exit 1 "no finite non-zero length" optimize "$hood" "$TMP/dir.json"
"$CALC" discretize "$TMP/slot.asp" >/dev/null
perl -0777 -pe 'substr($_, 4, 8) = pack("d<", "NaN")' "$TMP/slot.dsc" >"$TMP/nan.dsc"
mv "$TMP/nan.dsc" "$TMP/slot.dsc"
expect_exit 1 "Невозможно загрузить граничные элементы" velocity "$TMP/slot.asp" 0 0.1
rm "$TMP/slot.dsc"
expect_exit 1 "not a regular file" info /dev/zero
expect_exit 1 "a folder" info "$TMP/sub"
expect_exit 1 "$TMP/none.asp: No such file" velocity "$TMP/none.asp" 0 0
echo '{"speed": {"v": 1e400}}' >"$TMP/big.json"
expect_exit 1 "task file: a number is out of range" optimize "$hood" "$TMP/big.json"
grep -qF "json.exception" "$TMP/err" && fail "the library's text: $(cat "$TMP/err")"

# 5. A model whose boundaries cross is not computed; every command has its own help.
polygon "$TMP/cross.asp" 0 0 1 0 1 1 0 1 / 0.5 0.5 1.5 0.5 1.5 1.5 0.5 1.5
grep -qx "valid: false" <<<"$("$CALC" info "$TMP/cross.asp")" || fail "crossing model is valid"
for args in "velocity $TMP/cross.asp 0.2 0.2" "flowlines $TMP/cross.asp" "particle $TMP/cross.asp" \
    "flowline $TMP/cross.asp 0.2 0.2" "discretize $TMP/cross.asp" \
    "optimize $TMP/cross.asp $EXAMPLES/task_velocity.json"; do
    # shellcheck disable=SC2086
    expect_exit 1 "cross" $args
done
for c in info copy discretize velocity flowlines flowline particle optimize export; do
    out=$("$CALC" "$c" --help) || fail "$c --help"
    grep -q "^usage: kalvex-calc $c " <<<"$out" || fail "$c --help: $out"
done
grep -q "square of the segment count" <<<"$("$CALC" info --help)" || fail "info --help"

# 6. Bounded memory: a line ends at 1000000 points with a notice; a tabulation grid
# past 1000000 models is refused before the search, with its size.
out=$("$CALC" flowline "$TMP/slot.asp" 0.05 0.5 --length 1e9 --step 1e-4 2>"$TMP/err")
grep -qx "points: 1000000" <<<"$out" || fail "long line: $out"
grep -qF "bound of 1000000 points" "$TMP/err" || fail "no notice for a cut line"
cat >"$TMP/grid.json" <<'EOF'
{"speed": {"x": 0.5, "y": 0.5, "dx": 0, "dy": 1},
 "suction": [{"name": "Отсос1", "min": 0.5, "max": 4, "step": 1e-6, "start": 1}],
 "tabulate": true}
EOF
expect_exit 1 "3500001 models" optimize "$hood" "$TMP/grid.json"

# 7. Ctrl+C: the first stops at the next check and the results so far are reported
# (the search's best point too); a second ends the process at once.
interrupt() { # SECONDS OUT-FILE ARGS...: runs, sends Ctrl+C after SECONDS, gives the exit code
    local delay=$1 out=$2
    shift 2
    "$CALC" "$@" >"$out" 2>"$TMP/err" &
    local pid=$! rc=0
    sleep "$delay"
    kill -INT "$pid"
    wait "$pid" || rc=$?
    return "$rc"
}
interrupt 1 "$TMP/out" flowlines "$hood" --interval 0.0005 --step 0.00005 --csv "$TMP/f.csv" ||
    fail "flowlines after Ctrl+C: $(cat "$TMP/err")"
grep -qF "stopped by Ctrl+C" "$TMP/err" || fail "flowlines: no stop notice"
grep -q "^lines: [1-9]" "$TMP/out" && [ -s "$TMP/f.csv" ] || fail "flowlines: no results"
sed 's/"step": 1e-6/"step": 1e-4/' "$TMP/grid.json" >"$TMP/long.json"
# Long enough for the first trials to be done on a loaded machine: a search stopped
# before any is done rightly has no best point.
interrupt 3 "$TMP/out" optimize "$hood" "$TMP/long.json" || fail "optimize after Ctrl+C"
grep -qF "search stopped" "$TMP/err" || fail "optimize: no stop notice"
grep -q "^best: [0-9]" "$TMP/out" || fail "optimize: no best point: $(cat "$TMP/out")"
# The second Ctrl+C comes while the table is written to a pipe that nobody reads.
mkfifo "$TMP/pipe"
exec 3<>"$TMP/pipe"
"$CALC" flowlines "$hood" --interval 0.0005 --step 0.0002 --csv - >&3 2>"$TMP/err" &
pid=$!
sleep 1
kill -INT "$pid"
sleep 1
kill -INT "$pid"
rc=0
wait "$pid" || rc=$?
exec 3>&-
[ "$rc" -eq 130 ] || fail "a second Ctrl+C did not end the process (exit $rc)"

echo "hostile: ok"
