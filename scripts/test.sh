#!/usr/bin/env bash
# Sets up, builds and runs every test:   scripts/test.sh [--sanitize] [--labels a,b] [-- <extra ctest arguments>]
#
# Installs what is missing (scripts/setup.sh), configures build/ (Ninja, ccache when present),
# builds everything and runs ctest; the CTest fixtures start and stop the private Firebird server
# and the SMTP sink themselves. --sanitize does the same in build-asan/ with AddressSanitizer and
# UndefinedBehaviorSanitizer. --labels builds and runs only the tests of those labels (a test's
# folder under tests/: core, data, grid, ...; fuzz for the corpus replays of fuzz/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
ctest_args=()
labels=
while [ $# -gt 0 ]; do
  case $1 in
    --sanitize) build=$root/build-asan; cmake_args+=(-DVELMORA_SANITIZE=ON) ;;
    --build-dir) build=$(realpath -m "$2"); shift ;;
    --labels) labels=$2; shift ;;
    --) shift; ctest_args=("$@"); break ;;
    -h|--help) sed -n '2,9p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "test.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

step() { echo; echo "== $*"; }

step "set-up"
"$root/scripts/setup.sh"

step "configure $build"
cmake -S "$root" -B "$build" -G Ninja "${cmake_args[@]}" >/dev/null

step "build"
if [ -n "$labels" ]; then
  targets=(velmora-sampledb)
  for label in ${labels//,/ }; do
    targets+=("velmora_tests_$label")
  done
  cmake --build "$build" --target "${targets[@]}"
  ctest_args=(-L "^(${labels//,/|})\$" "${ctest_args[@]}")
else
  cmake --build "$build"
fi

step "test"
# Settings of the calling shell that change what the tests see.
unset ISC_USER ISC_PASSWORD FIREBIRD FIREBIRD_LOCK FIREBIRD_TMP
ctest --test-dir "$build" --output-on-failure -j2 "${ctest_args[@]}"
