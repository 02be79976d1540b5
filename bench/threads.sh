#!/usr/bin/env bash
# Whole kalvex-calc commands on both cores against --threads 1, alternated:
# bench/threads.sh [ROUNDS] (5). A field of flow lines on examples/hood.asp in equal
# elements of 1 mm (3501 elements, 250 lines), and the shipped two-parameter velocity
# search (examples/task_velocity.json, equal elements of 3 mm). Prints the medians, their
# ratio, the largest difference between the lines of the two runs and both best points.
# Run by hand, on a machine with nothing else to do: other work only takes cores away.
set -euo pipefail
cd "$(dirname "$0")/.."
ROUNDS=${1:-5}
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$BUILD_DIR" -j2 --target kalvex-calc >/dev/null
CALC=$(realpath "$BUILD_DIR/kalvex-calc")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp examples/hood.asp examples/hood_probe.asp examples/task_velocity.json "$WORK/"
cd "$WORK"

seconds() { # seconds COMMAND...: the wall time of one run, its output dropped
  local from
  from=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  echo "$(date +%s.%N) - $from" | bc
}
median() { sort -n "$1" | sed -n "$(((ROUNDS + 1) / 2))p"; }
compare() { # compare NAME ARGS...: both thread counts, alternated
  local name=$1
  shift
  : >"$name.1"
  : >"$name.n"
  for _ in $(seq "$ROUNDS"); do
    seconds "$CALC" "$@" --threads 1 >>"$name.1"
    seconds "$CALC" "$@" >>"$name.n"
  done
  local one all
  one=$(median "$name.1")
  all=$(median "$name.n")
  printf '%s: one thread %.3f s, every core %.3f s, ratio %.2fx (medians of %d)\n' \
    "$name" "$one" "$all" "$(echo "$one / $all" | bc -l)" "$ROUNDS"
}

LINES=(flowlines hood.asp --method equal --base-length 0.001 --interval 0.0005 --step 0.002)
compare "field of lines" "${LINES[@]}"
"$CALC" "${LINES[@]}" --threads 1 --csv one.csv >/dev/null
"$CALC" "${LINES[@]}" --csv all.csv >/dev/null
/usr/bin/python3 - one.csv all.csv <<'PY'
import csv, sys
a = list(csv.reader(open(sys.argv[1])))[1:]
b = list(csv.reader(open(sys.argv[2])))[1:]
same = len(a) == len(b) and all(x[:2] == y[:2] for x, y in zip(a, b))
d = max((max(abs(float(x[2]) - float(y[2])), abs(float(x[3]) - float(y[3])))
         for x, y in zip(a, b)), default=0.0) if same else float("nan")
print(f"  {len(a)} points; the same lines: {same}; largest difference {d:.3g} m")
PY

SEARCH=(optimize hood_probe.asp task_velocity.json --method equal --base-length 0.003)
compare "velocity search" "${SEARCH[@]}"
echo "  one thread:  $("$CALC" "${SEARCH[@]}" --threads 1 | grep -E '^(best|value):' | tr '\n' ' ')"
echo "  every core:  $("$CALC" "${SEARCH[@]}" | grep -E '^(best|value):' | tr '\n' ' ')"
