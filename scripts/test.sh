#!/usr/bin/env bash
# Installs what is needed, builds Quavrix and runs every test twice: once in
# a normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
# Tests are switched on explicitly, so a tree configured without them by
# run.sh still builds and runs them all; ctest fails when it finds none.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SKIP_DEPS:-}" != "1" ]; then ./scripts/install-deps.sh; fi

python3 scripts/check-layers.py

run_tests() {
  local dir=$1
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2 | tee "$log"
  echo "== $dir: $(grep -E 'tests passed|tests failed' "$log" | tail -1)"
  rm -f "$log"
}

./scripts/build.sh build -DQUAVRIX_TESTS=ON -DQUAVRIX_BENCH=ON
run_tests build

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUAVRIX_SANITIZE=ON -DQUAVRIX_TESTS=ON \
  -DQUAVRIX_BENCH=OFF
run_tests build-asan
