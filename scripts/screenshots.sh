#!/usr/bin/env bash
# Takes the README's pictures of what a pupil sees (the guide balloon, a test
# open, the results) from the real program on the sample tests, and of what
# a teacher sees (the editor, a class's results), with no display, into
# docs/screenshots/.  Run it whenever the look changes and
# commit the pictures; test_screenshots fails while they differ from what the
# program shows.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vedomec-screenshots
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
mkdir -p docs/screenshots
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen build/tests/vedomec-screenshots docs/screenshots \
  2>"$runtime/log" || { cat "$runtime/log" >&2; exit 1; }
# The teacher's editor and his view of a class's results (records of six
# pupils written as the pupil's program writes them), for the README and the
# guide.
cmake --build build --target editor-screenshots
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen build/tests/editor-screenshots docs/screenshots \
  2>"$runtime/log" || { cat "$runtime/log" >&2; exit 1; }
