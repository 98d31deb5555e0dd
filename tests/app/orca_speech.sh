#!/bin/sh
# Starts Orca with its speech written to a log (orca_speechlog.py), then the
# program on a copy of the sample folder, all in an X server and a D-Bus
# session of their own, and lets orca_speech.py drive the program by keys
# and check what Orca said.  Exits 77 (skipped) when a tool it needs is not
# installed or Orca cannot start.
#   orca_speech.sh <program> <sample folder>
set -u
program=$1
sample=$2
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb dbus-run-session xkbcomp; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
# Debian's Python, where its Orca and pyatspi are installed.
python=/usr/bin/python3
[ -x "$python" ] || { echo "SKIP: /usr/bin/python3 is not installed"; exit 77; }
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
"$python" -c 'import orca.orca_platform' 2>/dev/null || { echo "SKIP: orca is not installed (apt-get install --no-install-recommends orca)"; exit 77; }
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }

. "$here/a11y_session.sh"
export XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=0

# Inside the session the accessibility bus is started on demand; Orca goes
# first, as with a pupil who logs in with it.
dbus-run-session -- sh -c '
  work=$1 here=$2 python=$3
  "$python" "$here/orca_speechlog.py" "$work/speech.log" >"$work/orca.log" 2>&1 &
  orca=$!
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$python" "$here/orca_speech.py" \
    "$work/speech.log" "$orca" "$work/app/vedomec" "$work/program.log"
  rc=$?
  echo "--- what Orca said:"; cat "$work/speech.log"
  if [ $rc -ne 0 ] && [ $rc -ne 77 ]; then
    echo "--- Orca'"'"'s output:"; tail -n 40 "$work/orca.log"
    echo "--- the program'"'"'s output:"; cat "$work/program.log"
  elif [ $rc -eq 77 ]; then
    tail -n 20 "$work/orca.log"
  fi
  # Orca may linger after the signal; it gets a few seconds, then no more.
  kill "$orca" 2>/dev/null
  i=0
  while kill -0 "$orca" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  kill -9 "$orca" 2>/dev/null
  wait "$orca" 2>/dev/null
  exit $rc
' sh "$work" "$here" "$python"
