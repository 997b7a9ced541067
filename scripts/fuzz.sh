#!/usr/bin/env bash
# Fuzzes every parser of outside input:   scripts/fuzz.sh [seconds per harness] [harness...]
#
# Builds the libFuzzer harnesses of fuzz/ with clang in build-fuzz/ (AddressSanitizer and
# UndefinedBehaviorSanitizer on), runs each one after the other for the given time (60 s by
# default) on a copy of its seed corpus, and prints per harness the executions and crashes, then
# the totals. An input that crashes or breaks a property is kept in build-fuzz/crashes/<name>/;
# once the parser is fixed it belongs in fuzz/corpus/<name>/, where every test run replays it.
# Runs at the lowest priority: the build machine is shared.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VELMORA_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
shift || true
case $seconds in
  ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, not \"$seconds\"" >&2; exit 2 ;;
esac

"$root/scripts/setup.sh"

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
fi
nice -n 19 cmake --build "$build" --target velmora_fuzzers

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for dir in "$root"/fuzz/corpus/*/; do
    harnesses+=("$(basename "$dir")")
  done
fi

export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
total_runs=0
total_crashes=0
printf '%-14s %14s %8s\n' harness executions crashes
for name in "${harnesses[@]}"; do
  exe=$build/fuzz/fuzz_$name
  if [ ! -x "$exe" ]; then
    echo "fuzz.sh: no harness $name (fuzz/fuzz_$name.cpp)" >&2
    exit 2
  fi
  work=$build/corpus/$name
  crashes=$build/crashes/$name
  log=$build/logs/$name.log
  mkdir -p "$work" "$crashes" "$(dirname "$log")"
  before=$(find "$crashes" -type f | wc -l)
  # New inputs go to the working corpus; the seeds in the repository stay as they are.
  nice -n 19 "$exe" "$work" "$root/fuzz/corpus/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$crashes/" >"$log" 2>&1 || true
  runs=$(awk '/stat::number_of_executed_units:/ {n=$2} END {print n+0}' "$log")
  found=$(( $(find "$crashes" -type f | wc -l) - before ))
  printf '%-14s %14d %8d\n' "$name" "$runs" "$found"
  if [ "$found" -gt 0 ]; then
    grep -m1 -E 'ERROR: |property broken|runtime error' "$log" | sed 's/^/    /' || true
    ls -t "$crashes" | head -n "$found" | sed "s|^|    input: $crashes/|"
  fi
  total_runs=$((total_runs + runs))
  total_crashes=$((total_crashes + found))
done
printf '%-14s %14d %8d\n' total "$total_runs" "$total_crashes"
[ "$total_crashes" -eq 0 ]
