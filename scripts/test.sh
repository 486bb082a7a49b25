#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds Quavrix and runs the tests in three trees:
# a normal build with every test; AddressSanitizer + UndefinedBehaviorSanitizer
# with every test; ThreadSanitizer with the tests that run threads (engine,
# playback and the window's). Each tree prints its count and its time.
# Tests are switched on explicitly, so a tree configured without them by
# run.sh still builds and runs them all; ctest fails when it finds none.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SKIP_DEPS:-}" != "1" ]; then ./scripts/install-deps.sh; fi

python3 scripts/check-layers.py
python3 scripts/spdx.py --check

summary=()
run_tests() {
  local dir=$1 started=$2 jobs=${3:-2}
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs" | tee "$log"
  local line
  line="== $dir: $(grep -E 'tests passed|tests failed' "$log" | tail -1) ($((SECONDS - started)) s with its build)"
  echo "$line"
  summary+=("$line")
  rm -f "$log"
}

start=$SECONDS
./scripts/build.sh build -DQUAVRIX_TESTS=ON -DQUAVRIX_BENCH=ON
run_tests build $start

start=$SECONDS
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUAVRIX_SANITIZE=ON -DQUAVRIX_TESTS=ON \
  -DQUAVRIX_BENCH=OFF
run_tests build-asan $start

# Any report fails its test; the suppressions name only the toolkit's libraries.
start=$SECONDS
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
./scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUAVRIX_TSAN=ON \
  -DQUAVRIX_TESTS=ON -DQUAVRIX_BENCH=OFF
# One test at a time: the sanitizer slows the threads several times over, and
# the playback tests measure what is heard in real time.
run_tests build-tsan $start 1

printf '%s\n' "${summary[@]}"
