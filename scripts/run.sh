#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the sample
# application folder that the build lays out next to the binary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
exec build/bin/vedomec
