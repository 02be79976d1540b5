#!/usr/bin/env bash
# A field of flow lines and a particle trace in the window against the same kalvex-calc
# runs, alternated: bench/window.sh [SYSTEM.asp] [BASE_LENGTH] [ROUNDS]
# (examples/cylinder.asp, equal elements of 0.002 m, 3 rounds). Run by hand, on a
# virtual X server with an accessibility bus; prints each run and the medians' ratios.
# The window's run is timed by the program itself (KALVEX_RUN_LOG), drawing as it goes,
# and from "Построить" until its dialog closes as seen over the bus; the command as a
# whole process. Both load the same discretisation file and solve afresh.
# FIELD_INTERVAL (0.02), FIELD_STEP (0.01), FIELD_LENGTH (1), PARTICLE_X (0.3),
# PARTICLE_Y (0.6) and PARTICLE_TMAX (5) set the runs.
set -euo pipefail
cd "$(dirname "$0")/.."
SYSTEM=$(realpath "${1:-examples/cylinder.asp}")
BASE=${2:-0.002}
ROUNDS=${3:-3}
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$BUILD_DIR" -j2 --target kalvex kalvex-calc >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
NAME=$(basename "$SYSTEM" .asp)
cp "$SYSTEM" "$WORK/$NAME.asp"
CALC=$(realpath "$BUILD_DIR/kalvex-calc")
"$CALC" discretize "$WORK/$NAME.asp" --method equal --base-length "$BASE" \
  --out "$WORK/$NAME.dsc"
export FIELD_INTERVAL=${FIELD_INTERVAL:-0.02} FIELD_STEP=${FIELD_STEP:-0.01}
export FIELD_LENGTH=${FIELD_LENGTH:-1} PARTICLE_X=${PARTICLE_X:-0.3} PARTICLE_Y=${PARTICLE_Y:-0.6}
export PARTICLE_TMAX=${PARTICLE_TMAX:-5}
export BIN=$(realpath "$BUILD_DIR/kalvex") SCENE_SYSTEM="$WORK/$NAME.asp" LOG="$WORK/stderr"
export DRIVER=$(realpath bench/window.py) KALVEX_RUN_LOG=1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK"
seconds() { # the wall-clock time of a command, its output discarded
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
OUT="$WORK/runs"
for ((r = 1; r <= ROUNDS; r++)); do
  echo "command field $(seconds "$CALC" flowlines "$WORK/$NAME.asp" --interval "$FIELD_INTERVAL" \
    --step "$FIELD_STEP" --length "$FIELD_LENGTH" --from sinks)" | tee -a "$OUT"
  echo "command particle $(seconds "$CALC" particle "$WORK/$NAME.asp" --x "$PARTICLE_X" \
    --y "$PARTICLE_Y" --tmax "$PARTICLE_TMAX")" | tee -a "$OUT"
  xvfb-run -a -s "-screen 0 1280x800x24 -noreset" dbus-run-session -- bash -c '
    "$BIN" "$SCENE_SYSTEM" 2>"$LOG" &
    export KALVEX_PID=$!
    status=0
    /usr/bin/python3 "$DRIVER" "$LOG" || status=$? # the system Python carries pyatspi
    kill $KALVEX_PID 2>/dev/null || true
    wait $KALVEX_PID 2>/dev/null || true
    exit $status' | tee -a "$OUT"
done
python3 - "$OUT" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    who, what, value = line.split()[:3]
    if what in ("field", "particle"):
        runs.setdefault((who, what), []).append(float(value))
for what in ("field", "particle"):
    w = statistics.median(runs[("window", what)])
    c = statistics.median(runs[("command", what)])
    print("%s: window %.3f s, command %.3f s, window/command %.2f (medians of %d)"
          % (what, w, c, w / c, len(runs[("window", what)])))
PY
