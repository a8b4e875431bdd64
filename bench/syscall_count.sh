#!/usr/bin/env bash
# System calls per case of a typical sweep, counted by strace (a count, not a
# time).  A 300-line control file is swept over 100 cases in a fresh
# directory; the figure is every call of the run, start-up included, divided
# by the cases.  On a shared file system each call is a round trip, so this
# is what a sweep costs there.  Also shown: the same sweep over the files of
# the first run (each one is cut by its first record), and with
# FORT_BUFFERED=no, which must still write one call per line.
#
# Usage: bench/syscall_count.sh BUILD-DIR [LIMIT]
# With LIMIT the script fails when the default run is above it (the gate).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: syscall_count.sh BUILD-DIR [LIMIT]}" && pwd)
limit=${2:-}
command -v strace >/dev/null || { echo "syscall_count.sh: strace is not installed" >&2; exit 2; }
tavo=$build/app/tavo
cases=100
lines=300

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-syscalls.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$here/gen_control.py" $lines > c.inp

# Total calls of one run of tavo in $work with the environment given.
calls() {
  env -u FORT_BUFFERED -u TAVO_MANIFEST "$@" strace -f -c -o counts.txt "$tavo" 1 c job -50. 49. 1. > /dev/null
  awk '$NF == "total" {print $4}' counts.txt
}
writes() { awk '$NF == "write" {print $4}' counts.txt; }

fresh=$(calls)
again=$(calls)
rm -f job*TAVO.inp
unbuffered=$(calls FORT_BUFFERED=no)
unbuffered_writes=$(writes)
per_case() { awk -v n="$1" -v c=$cases 'BEGIN { printf "%.2f", n / c }'; }
echo "default, fresh directory: $(per_case "$fresh") calls per case ($fresh in all, $cases cases of $lines lines)"
echo "default, over the files of a first run: $(per_case "$again") calls per case"
echo "FORT_BUFFERED=no: $(per_case "$unbuffered") calls per case, $unbuffered_writes write calls"

status=0
if ((unbuffered_writes < cases * lines)); then
  echo "FAIL: FORT_BUFFERED=no wrote $unbuffered_writes calls, fewer than one per line" >&2
  status=1
fi
if [[ -n $limit ]]; then
  if ((fresh > limit * cases)); then
    echo "FAIL: $(per_case "$fresh") calls per case is above the limit of $limit" >&2
    status=1
  else
    echo "within the limit of $limit calls per case"
  fi
fi
exit $status
