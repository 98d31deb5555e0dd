#!/bin/sh
# Starts the program on a copy of the sample folder, in an X server and a
# D-Bus session of its own with Qt's AT-SPI bridge always on, and walks what
# a screen reader sees with atspi_walk.py.  Exits 77 (skipped) when a tool it
# needs is not installed.
#   atspi_walk.sh <program> <sample folder>
set -u
program=$1
sample=$2
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb dbus-run-session; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
# The system's Python, where Debian installs pyatspi, before any other.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/app" "$work/runtime"
chmod 700 "$work/runtime"
cp -R "$sample"/. "$work/app/"
cp "$program" "$work/app/vedomec"

# An X server on a free display; it prints the display once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work"
unset QT_QPA_PLATFORM

# Inside the session the accessibility bus is started on demand.
dbus-run-session -- sh -c '
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$1/app/vedomec" >"$1/program.log" 2>&1 &
  program=$!
  "$3" "$2/atspi_walk.py" "$program"
  rc=$?
  if ! kill -0 "$program" 2>/dev/null; then
    echo "the program ended early:"
    cat "$1/program.log"
  elif [ $rc -ne 0 ]; then
    cat "$1/program.log"
  fi
  kill "$program" 2>/dev/null
  wait "$program" 2>/dev/null
  exit $rc
' sh "$work" "$here" "$python"
