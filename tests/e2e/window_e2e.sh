#!/usr/bin/env bash
# The real program on a virtual X server, driven through the accessibility bus, as a
# screen reader sees it: window_e2e.sh KALVEX SYSTEM.asp
# Exit 77 (skipped) when the virtual display or the accessibility tools are missing.
set -euo pipefail
KALVEX=$1
SYSTEM=$2
HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3 # the system's Python carries pyatspi

skip() {
  echo "SKIP: $1 (scripts/setup installs it)"
  exit 77
}
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "at-spi2-core is not installed"
"$PY" -c "import pyatspi" 2>/dev/null || skip "python3-pyatspi is not installed"

# Xvfb picks a free display itself and writes its number to the pipe we give it.
WORK=$(mktemp -d)
mkfifo "$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp \
  3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
trap 'kill "$XVFB" 2>/dev/null || true; rm -rf "$WORK"' EXIT
N=""
read -r -t 20 N <"$WORK/display" || true
[ -n "$N" ] || { cat "$WORK/xvfb.log"; echo "Xvfb did not start"; exit 1; }

# The system is copied so that nothing the test does touches the original; the
# settings go to a private configuration folder.
cp "$SYSTEM" "$WORK/"
export DISPLAY=":$N"
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export LC_ALL=C.UTF-8
# In the sanitizer build: the accessibility and font libraries keep memory to the end,
# which is theirs to free; the program's own errors still stop it.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
exec dbus-run-session -- "$PY" "$HERE/window_atspi.py" "$KALVEX" "$WORK/$(basename "$SYSTEM")"
