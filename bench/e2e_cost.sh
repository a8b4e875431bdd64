#!/usr/bin/env bash
# Whole-process instruction counts (callgrind) of a typical run (a 300-line
# control file, the default sweep: two generated files) against copying the
# control file twice with cp.
# Usage: bench/e2e_cost.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$here/gen_control.py" 300 > typical.inp
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | awk '/Collected :/ {print $4}'
}
tavo=$(count "$build/app/tavo" 1 typical)
cp1=$(count cp typical.inp copy1.inp)
cp2=$(count cp typical.inp copy2.inp)
echo "tavo (300 lines, 2 cases): $tavo instructions"
echo "cp twice:                  $((cp1 + cp2)) instructions"
awk -v a="$tavo" -v b="$((cp1 + cp2))" 'BEGIN { printf "ratio: %.3f\n", a / b }'
