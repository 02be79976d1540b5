#!/usr/bin/env bash
# The longest stall of the window's event loop (the time it handles no event, so that
# neither a repaint nor "Отмена" gets through) during the first velocity and a field of
# flow lines, on a large discretisation: bench/stall.sh [SYSTEM.asp] [BASE_LENGTH]
# (examples/hood.asp, 0.000175 m: about 20 000 elements). Run by hand, on a virtual X
# server with an accessibility bus; prints its figures. STALL_INTERVAL sets the field's
# interval between lines (0.02 m); STALL_DETAIL=1 also prints the three longest stalls.
set -euo pipefail
cd "$(dirname "$0")/.."
SYSTEM=$(realpath "${1:-examples/hood.asp}")
BASE=${2:-0.000175}
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$BUILD_DIR" -j2 --target kalvex kalvex-calc >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
NAME=$(basename "$SYSTEM" .asp)
cp "$SYSTEM" "$WORK/$NAME.asp"
# The discretisation beside the system, as the window loads it on entering modelling.
"$BUILD_DIR/kalvex-calc" discretize "$WORK/$NAME.asp" --method equal --base-length "$BASE" \
  --out "$WORK/$NAME.dsc" >/dev/null
export BIN=$(realpath "$BUILD_DIR/kalvex") SCENE_SYSTEM="$WORK/$NAME.asp" LOG="$WORK/stderr"
export DRIVER=$(realpath bench/stall.py) KALVEX_STALL_LOG=1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK"
xvfb-run -a -s "-screen 0 1280x800x24 -noreset" dbus-run-session -- bash -c '
  "$BIN" "$SCENE_SYSTEM" 2>"$LOG" &
  export KALVEX_PID=$!
  status=0
  /usr/bin/python3 "$DRIVER" "$LOG" || status=$? # the system Python carries pyatspi
  kill $KALVEX_PID 2>/dev/null || true
  wait $KALVEX_PID 2>/dev/null || true
  exit $status'
