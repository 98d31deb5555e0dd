#!/usr/bin/env bash
# Runs a benchmark where it cannot measure and checks that it says why,
# prints no figure and exits non-zero:  check_cannot_measure.sh <benchmark> [args...]
err=$(mktemp)
trap 'rm -f "$err"' EXIT
out=$("$@" 2>"$err")
status=$?
fail() { echo "FAIL: $*"; echo "--- stdout"; echo "$out"; echo "--- stderr"; cat "$err"; exit 1; }
[ "$status" -ne 0 ] || fail "exited 0"
grep -q "cannot measure: ." "$err" || fail "did not say why it cannot measure"
if grep -Eq "[0-9] ms|ratio|%" <<<"$out"; then fail "printed a figure"; fi
echo "refused as it should: $(grep "cannot measure" "$err")"
