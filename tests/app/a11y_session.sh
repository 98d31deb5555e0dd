# Sourced by atspi_walk.sh and orca_speech.sh after they set `program` and
# `sample`: a folder of its own (`work`, removed on exit) with a copy of the
# sample folder and the program in `$work/app`, an X server on a free
# display, and a runtime folder and home inside `work`.
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/app" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
cp -R "$sample"/. "$work/app/"
cp "$program" "$work/app/vedomec"

# Xvfb prints the display it took once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
unset QT_QPA_PLATFORM
