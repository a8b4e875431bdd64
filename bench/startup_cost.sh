#!/usr/bin/env bash
# Whole-process instruction counts (callgrind) of a run that only starts the
# run-time and stops, against an empty C++ program.  Target: at most 1.2x.
# Usage: bench/startup_cost.sh [build-dir]
set -euo pipefail
build=${1:-build}
count() {
  local out
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | grep -E 'Collected :' | awk '{print $4}')
  echo "$out"
}
empty=$(count "$build/bench/empty_program")
stop=$(count "$build/bench/stop_program")
echo "empty C++ program: $empty instructions"
echo "start and STOP:    $stop instructions"
awk -v a="$stop" -v b="$empty" 'BEGIN { printf "ratio: %.3f (target <= 1.2)\n", a / b }'
