#!/usr/bin/env bash
# Instructions per copied line of tavo's copy loop, counted by callgrind (a
# count, not a time: the same binary and input give the same figure however
# busy the machine is).  A 30,000-line control file is swept over 5 cases
# (150,000 copied lines) with FORT_BUFFERED=yes; the run with an empty sweep
# (the scan alone) is subtracted, so the figure is what one line of the copy
# costs: its READ, its WRITE and the program's work between them.
#
# Usage: bench/copy_cost.sh BUILD-DIR [LIMIT]
# With LIMIT the script fails when the figure is above it (the cost gate);
# it also runs the stdio peer when the build has one, for comparison.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: copy_cost.sh BUILD-DIR [LIMIT]}" && pwd)
limit=${2:-}
command -v valgrind >/dev/null || { echo "copy_cost.sh: valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-cost.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$here/gen_control.py" 30000 > c.inp
lines=150000

count() {
  FORT_BUFFERED=yes valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected :/ {print $4}'
}
per_line() {
  local program=$1 whole empty
  whole=$(count "$program" 1 c job -1. 1. 0.5)
  empty=$(count "$program" 1 c job 2. 1. 0.5)
  rm -f job*TAVO.inp
  echo $(((whole - empty) / lines))
}

tavo=$(per_line "$build/app/tavo")
echo "tavo: $tavo instructions per copied line"
if [[ -x $build/bench/tavo_peer ]]; then
  peer=$(per_line "$build/bench/tavo_peer")
  echo "stdio peer: $peer instructions per copied line"
  awk -v a="$tavo" -v b="$peer" 'BEGIN { printf "tavo/peer: %.2f\n", a / b }'
fi
if [[ -n $limit ]]; then
  if ((tavo > limit)); then
    echo "FAIL: $tavo instructions per copied line is above the limit of $limit" >&2
    exit 1
  fi
  echo "within the limit of $limit"
fi
