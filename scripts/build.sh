#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds one build tree.
#   scripts/build.sh [DIR] [extra cmake arguments]
# DIR defaults to build/. With CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S . -B "$dir" -G Ninja -DQUAVRIX_WERROR=$werror "$@" >/dev/null
ninja -C "$dir" -j"${JOBS:-2}"
