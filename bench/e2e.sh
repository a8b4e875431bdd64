#!/usr/bin/env bash
# End-to-end wall time of tavo against two yardsticks, from one run:
#   - the floor: cat writing tavo's own output files again, one cat per file,
#     into as many new files (GNU cat copies regular files inside the kernel
#     with copy_file_range, so the same copy with dd bs=128K, through read
#     and write calls, is shown beside it);
#   - a plain stdio program writing the same files (bench/peer/tavo_peer.cpp),
#     checked byte for byte with cmp before it is timed.
# Three workloads: a typical 300-line file with the default sweep (2 cases),
# a 20 MB file with 1000 SFRAME blocks swept over 21 cases, and the typical
# file swept over 5000 cases (against the peer only: the floors would start
# a process per file).  tavo runs in its default mode (block-buffered) and
# with FORT_BUFFERED=yes.  Also reported: write calls per record with
# FORT_BUFFERED=no (strace) and the peak resident memory of the 20 MB case
# (/usr/bin/time -v).
#
# Usage: bench/e2e.sh [build-dir]   (default: build-perf, else build)
# It builds nothing: build the targets tavo and tavo_peer first.
# Environment: REPS (samples of the 20 MB case and of the 5000-case sweep,
# default 3), TYPICAL_REPS (samples of the typical case, default 15),
# TYPICAL_RUNS (runs per typical sample, default 10), TMPDIR (where the ~1 GB
# of scratch files go), E2E_ONLY=sweep (the 5000-case sweep alone).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
if [[ $# -ge 1 ]]; then
  build=$(cd "$1" && pwd)
elif [[ -x $root/build-perf/app/tavo ]]; then
  build=$root/build-perf
else
  build=$root/build
fi
tavo=$build/app/tavo
peer=$build/bench/tavo_peer
for program in "$tavo" "$peer"; do
  [[ -x $program ]] || { echo "missing $program: build the targets tavo and tavo_peer in $build" >&2; exit 2; }
done
reps=${REPS:-3}
typical_reps=${TYPICAL_REPS:-15}
typical_runs=${TYPICAL_RUNS:-10}

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "build: $build"
echo "machine: $(nproc) cores; load average (1, 5, 15 min) at start: $(load)"

python3 "$here/gen_control.py" 300 > typical.inp
python3 "$here/gen_control.py" 555000 1000 > big.inp
typical_args=(1 ../typical.inp)
big_args=(1 ../big.inp job -1. 1. 0.1)

# Runs "$@" in the fresh directory $1 (stdout discarded).
run_in() {
  local dir=$1
  shift
  rm -rf "$dir"
  mkdir "$dir"
  (cd "$dir" && "$@" > /dev/null)
}

# Every file of directory $1 is byte for byte the file of the same name in
# $2, and both hold the same names.
same_files() {
  [[ "$(cd "$1" && ls)" == "$(cd "$2" && ls)" ]] || { echo "file names differ: $1 $2" >&2; return 1; }
  local f
  for f in "$1"/*; do cmp "$f" "$2/${f##*/}" || return 1; done
}

# The floor: cat of each reference file into a file of the same name; and
# the same copy through user space.
cat_floor() {
  local f
  for f in "$ref"/*; do cat "$f" > "${f##*/}"; done
}
dd_floor() {
  local f
  for f in "$ref"/*; do dd if="$f" of="${f##*/}" bs=128K status=none; done
}

# Wall time in milliseconds of one run of "$@", averaged over `runs` runs in
# a fresh directory (left in place as ./run for the byte checks).
time_ms() {
  local runs=$1
  shift
  local i t0 t1
  rm -rf run
  mkdir run
  cd run
  t0=$EPOCHREALTIME
  for ((i = 0; i < runs; ++i)); do "$@" > /dev/null; done
  t1=$EPOCHREALTIME
  cd ..
  awk -v a="$t0" -v b="$t1" -v n="$runs" 'BEGIN { printf "%.3f", (b - a) * 1000 / n }'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

bench_case() {
  local label=$1 samples=$2 runs=$3
  shift 3
  local args=("$@")
  ref=$work/ref_$label
  run_in "$ref" env FORT_BUFFERED=yes "$tavo" "${args[@]}"
  run_in peer_check "$peer" "${args[@]}"
  same_files "$ref" peer_check || { echo "$label: the peer's files differ from tavo's" >&2; exit 1; }
  rm -rf peer_check
  local files bytes records
  files=$(ls "$ref" | wc -l)
  bytes=$(cat "$ref"/* | wc -c)
  records=$(cat "$ref"/* | wc -l)
  echo
  echo "$label: control file $(wc -l < "${args[1]#../}") lines, $(wc -c < "${args[1]#../}") bytes;" \
    "$files files, $records records, $bytes bytes written"

  # The programs take turns within each sample, so that a change in the
  # machine's load while the case runs falls on all of them alike.
  local cat_times=() dd_times=() peer_times=() tavo_times=() buf_times=() s
  for ((s = 0; s < samples; ++s)); do
    cat_times+=("$(time_ms "$runs" cat_floor)")
    dd_times+=("$(time_ms "$runs" dd_floor)")
    peer_times+=("$(time_ms "$runs" "$peer" "${args[@]}")")
    same_files "$ref" run
    tavo_times+=("$(time_ms "$runs" "$tavo" "${args[@]}")")
    same_files "$ref" run
    buf_times+=("$(time_ms "$runs" env FORT_BUFFERED=yes "$tavo" "${args[@]}")")
    same_files "$ref" run
  done
  rm -rf run
  local t_cat t_dd t_peer t_tavo t_buf
  t_cat=$(median "${cat_times[@]}")
  t_dd=$(median "${dd_times[@]}")
  t_peer=$(median "${peer_times[@]}")
  t_tavo=$(median "${tavo_times[@]}")
  t_buf=$(median "${buf_times[@]}")
  echo "  median wall time (ms, $samples samples of $runs runs):" \
    "cat $t_cat, dd $t_dd, peer $t_peer, tavo $t_tavo, tavo FORT_BUFFERED=yes $t_buf"
  echo "  default mode:       tavo/cat $(ratio "$t_tavo" "$t_cat"), tavo/dd $(ratio "$t_tavo" "$t_dd")," \
    "tavo/peer $(ratio "$t_tavo" "$t_peer")"
  echo "  FORT_BUFFERED=yes:  tavo/cat $(ratio "$t_buf" "$t_cat"), tavo/dd $(ratio "$t_buf" "$t_dd")," \
    "tavo/peer $(ratio "$t_buf" "$t_peer")"
}

if [[ ${E2E_ONLY:-} != sweep ]]; then
bench_case typical "$typical_reps" "$typical_runs" "${typical_args[@]}"

# Write calls of a FORT_BUFFERED=no run: one per record of the generated
# files, and one for the echo line on standard output.
records=$(cat "$work"/ref_typical/* | wc -l)
rm -rf run && mkdir run
(cd run && FORT_BUFFERED=no strace -f -c -e trace=write -o ../strace.txt "$tavo" "${typical_args[@]}" > /dev/null)
writes=$(awk '$NF == "write" { print $4 }' strace.txt)
echo "  write calls (FORT_BUFFERED=no): $writes for $records records and the echo line:" \
  "$(awk -v w="$writes" -v r="$records" 'BEGIN { printf "%.4f", (w - 1) / r }') per record (target: exactly 1)"
rm -rf run "$work"/ref_typical

bench_case big "$reps" 1 "${big_args[@]}"

# The block size decides how many write and read calls the buffered run
# makes (8192 bytes unless FORT_BLOCKSIZE says otherwise).
ref=$work/ref_big
block_times=()
for ((s = 0; s < reps; ++s)); do
  block_times+=("$(time_ms 1 env FORT_BUFFERED=yes FORT_BLOCKSIZE=65536 "$tavo" "${big_args[@]}")")
  same_files "$ref" run
done
t_block=$(median "${block_times[@]}")
echo "  FORT_BUFFERED=yes FORT_BLOCKSIZE=65536: $t_block ms"

# Peak resident memory of the 20 MB case.
for mode in default buffered; do
  rm -rf run && mkdir run
  if [[ $mode == buffered ]]; then env_args=(FORT_BUFFERED=yes); else env_args=(); fi
  (cd run && env "${env_args[@]}" /usr/bin/time -v -o ../time.txt "$tavo" "${big_args[@]}" > /dev/null)
  kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.txt)
  echo "  peak resident memory, $mode mode: $kib KiB (target: under 8192 KiB)"
done
rm -rf run
fi

# The typical file over 5000 cases: what a case costs beside its two files.
sweep_args=(1 ../typical.inp job -2500. 2499. 1.)
ref=$work/ref_sweep
run_in "$ref" "$tavo" "${sweep_args[@]}"
run_in peer_check "$peer" "${sweep_args[@]}"
same_files "$ref" peer_check || { echo "sweep: the peer's files differ from tavo's" >&2; exit 1; }
rm -rf peer_check
echo
echo "sweep: control file 300 lines, $(ls "$ref" | wc -l) cases"
peer_times=() tavo_times=() buf_times=()
for ((s = 0; s < reps; ++s)); do
  peer_times+=("$(time_ms 1 "$peer" "${sweep_args[@]}")")
  same_files "$ref" run
  tavo_times+=("$(time_ms 1 "$tavo" "${sweep_args[@]}")")
  same_files "$ref" run
  buf_times+=("$(time_ms 1 env FORT_BUFFERED=yes "$tavo" "${sweep_args[@]}")")
  same_files "$ref" run
done
rm -rf run "$ref"
t_peer=$(median "${peer_times[@]}")
t_tavo=$(median "${tavo_times[@]}")
t_buf=$(median "${buf_times[@]}")
echo "  median wall time (ms, $reps samples): peer $t_peer, tavo $t_tavo, tavo FORT_BUFFERED=yes $t_buf"
echo "  default mode: tavo/peer $(ratio "$t_tavo" "$t_peer"); FORT_BUFFERED=yes: tavo/peer $(ratio "$t_buf" "$t_peer")" \
  "(goal: at most 0.7)"

echo
echo "load average at end: $(load)"
