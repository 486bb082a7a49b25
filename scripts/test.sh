#!/usr/bin/env bash
# Installs what is needed, builds Quavrix and runs every test twice: once in
# a normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SKIP_DEPS:-}" != "1" ]; then ./scripts/install-deps.sh; fi

./scripts/build.sh build
ctest --test-dir build --output-on-failure -j2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUAVRIX_SANITIZE=ON -DQUAVRIX_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j2
