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

. "$here/a11y_session.sh"

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
