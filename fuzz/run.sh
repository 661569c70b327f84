#!/bin/sh
# Runs every fuzz target of a hardening build for a bounded time.
#   fuzz/run.sh <build folder> <seconds per target> [target ...]
# Each target starts from its seed corpus (fuzz/corpus/<Name>/) plus what
# earlier runs found (<build>/fuzz/corpus/<Name>/, kept between runs); a
# crash or a broken property leaves its input in <build>/fuzz/artifacts/ and
# makes the script fail. The last line of each target's report gives how many
# inputs it ran; the table goes to <build>/fuzz/summary.txt too.
set -u
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
work=$build/fuzz
mkdir -p "$work/artifacts"

if [ $# -eq 0 ]; then
  set --
  for src in "$here"/*.cpp; do
    set -- "$@" "$(basename "$src" .cpp)"
  done
fi

status=0
summary=$work/summary.txt
: > "$summary"
for name in "$@"; do
  exe=$work/fuzz_$name
  [ -x "$exe" ] || exe=$(find "$build" -name "fuzz_$name" -type f -perm -u+x | head -n 1)
  if [ -z "$exe" ] || [ ! -x "$exe" ]; then
    echo "fuzz_$name: not built" | tee -a "$summary"
    status=1
    continue
  fi
  corpus=$work/corpus/$name
  mkdir -p "$corpus"
  log=$work/$name.log
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/$name-" \
    "$corpus" "$here/corpus/$name" > "$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ $rc -eq 0 ]; then
    echo "fuzz_$name: ${runs:-?} inputs in ${seconds} s, no finding" | tee -a "$summary"
  else
    echo "fuzz_$name: FINDING after ${runs:-?} inputs (exit $rc), see $log" | tee -a "$summary"
    grep -E 'PROPERTY BROKEN|ERROR: |SUMMARY: |Test unit written' "$log" | head -n 8
    status=1
  fi
done
exit $status
