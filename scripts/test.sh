#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds the
# table store with AddressSanitizer + UndefinedBehaviorSanitizer and runs its
# tests again, and runs the fuzzers for a bounded time on their seed corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"

# The Debian package builds, and starts from its menu entry in a temporary root.
bash scripts/package.sh

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEDOMEC_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$JOBS" --target vedomec_core_tests
ctest --test-dir build-asan --output-on-failure -L core -j "$JOBS"

if [ -f fuzz/CMakeLists.txt ] && grep -q add_executable fuzz/CMakeLists.txt; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEDOMEC_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$JOBS" --target fuzz_table fuzz_rtf fuzz_actor fuzz_exchange fuzz_wav fuzz_settings
  ctest --test-dir build-fuzz --output-on-failure -L fuzz
fi
