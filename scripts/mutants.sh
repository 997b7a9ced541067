#!/usr/bin/env bash
# Plants deliberate faults and reports which ones no test catches:
#   scripts/mutants.sh [--rev REV] [--dir DIR] [patch...]
#
# Each tests/mutants/NN-name.patch is a one-line fault with a header naming the tests meant to
# catch it:
#   # fault: what goes wrong for a user
#   # tests: <ctest -R regex>
# The faults are planted one at a time in a git worktree of its own (DIR/src, default
# build-mutants/src, checked out at REV, default HEAD) that is reset after each, so this tree is
# never changed. Each fault is built incrementally (only the test programs it names) and those
# tests are run. A fault is "caught" when a test fails, "SURVIVED" when all pass, "STALE" when the
# patch no longer applies to the code (reported, never counted as caught) and "BROKEN" when the
# planted code does not compile. The table goes to stdout and DIR/report.txt; the exit status is 1
# when a fault survived or went stale.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rev=HEAD
work=$root/build-mutants
patches=()
while [ $# -gt 0 ]; do
  case $1 in
    --rev) rev=$2; shift ;;
    --dir) work=$(realpath -m "$2"); shift ;;
    -h|--help) sed -n '2,15p' "${BASH_SOURCE[0]}"; exit 0 ;;
    -*) echo "mutants.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    *) patches+=("$(realpath "$1")") ;;
  esac
  shift
done
[ ${#patches[@]} -gt 0 ] || patches=("$root"/tests/mutants/*.patch)

src=$work/src
# The build sits inside the worktree as build/ does in ours, so ccache sees the same relative
# paths and the first build is mostly cache hits.
build=$src/build
commit=$(git -C "$root" rev-parse --verify "$rev^{commit}") || exit 2
mkdir -p "$work"
if [ ! -e "$src/.git" ]; then
  git -C "$root" worktree add --detach "$src" "$commit" >/dev/null || exit 2
fi
git -C "$src" checkout -q --detach "$commit" && git -C "$src" reset -q --hard && git -C "$src" clean -qfd -e build/ || exit 2
restore() { git -C "$src" reset -q --hard; }
trap restore EXIT
trap 'exit 130' INT TERM

log=$work/log
mkdir -p "$log"
echo "== mutants on $(git -C "$src" log -1 --format='%h %s')"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$log/configure.txt" 2>&1 \
    || { echo "configure failed: $log/configure.txt"; exit 2; }
fi

header() { sed -n "s/^# $1: *//p" "$2" | head -1; }

# Tests that fail on the unplanted code would make every fault look caught: find them first and
# leave them out of every run.
targets() { # the test programs a selection runs, to build only those
  ctest --test-dir "$build" -N -R "$1" | sed -n 's/^ *Test *#[0-9]*: \(tst_[^ ]*\)$/\1/p'
}

union=$(for p in "${patches[@]}"; do header tests "$p"; done | sort -u | paste -sd'|')
echo "== building and running the unplanted code"
mapfile -t all < <(targets "$union")
# The sample store the fixtures create comes from the generator.
grep -q 'velmora-sampledb' "$build/build.ninja" && all+=(velmora-sampledb)
cmake --build "$build" --target "${all[@]}" >"$log/baseline-build.txt" 2>&1 \
  || { echo "the unplanted code does not build: $log/baseline-build.txt"; exit 2; }
ctest --test-dir "$build" -j2 -R "$union" >"$log/baseline.txt" 2>&1
broken=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log/baseline.txt" | grep -v '^services\.' | paste -sd'|')
exclude=()
if [ -n "$broken" ]; then
  echo "   failing before any fault is planted (left out): $broken"
  exclude=(-E "^($broken)\$")
fi

report=$work/report.txt
printf '%-34s %-9s %s\n' mutant result "failing tests" | tee "$report"
caught=0 missed=0 stale=0 total=0
start=$SECONDS
for p in "${patches[@]}"; do
  name=$(basename "$p" .patch)
  sel=$(header tests "$p")
  total=$((total + 1))
  restore
  if ! git -C "$src" apply --check "$p" 2>/dev/null; then
    result=STALE detail="patch no longer applies"
    stale=$((stale + 1))
  else
    git -C "$src" apply "$p"
    mapfile -t progs < <(targets "$sel")
    if ! cmake --build "$build" --target "${progs[@]}" >"$log/$name-build.txt" 2>&1; then
      result=BROKEN detail="does not compile: $log/$name-build.txt"
      missed=$((missed + 1))
    elif ctest --test-dir "$build" -j2 -R "$sel" "${exclude[@]}" >"$log/$name.txt" 2>&1; then
      result=SURVIVED detail="no test failed (ran: $sel)"
      missed=$((missed + 1))
    else
      result=caught
      detail=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log/$name.txt" | paste -sd' ')
      caught=$((caught + 1))
    fi
  fi
  printf '%-34s %-9s %s\n' "$name" "$result" "$detail" | tee -a "$report"
done
restore
printf '== %d faults: %d caught, %d not caught, %d stale (%d min)\n' "$total" "$caught" "$missed" "$stale" \
  $(((SECONDS - start) / 60)) | tee -a "$report"
[ "$missed" -eq 0 ] && [ "$stale" -eq 0 ]
