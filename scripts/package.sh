#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package quavrix_<version>_amd64.deb with CPack and checks
# it with lintian (errors fail the script; warnings are listed).
#   scripts/package.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build-package/, configured as a Release build without
# tests; an existing tree (such as build/) is packaged as it is. OUT_DIR
# defaults to BUILD_DIR. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
out=${2:-$dir}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  ./scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DQUAVRIX_TESTS=OFF -DQUAVRIX_BENCH=OFF >&2
else
  ninja -C "$dir" -j"${JOBS:-2}" quavrix quavrix-cli quavrix_install_docs >&2
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
(cd "$dir" && cpack -G DEB -B "$out/cpack" >&2)
deb=$(ls "$out"/cpack/quavrix_*_amd64.deb)
mv -f "$deb" "$out/"
deb="$out/$(basename "$deb")"
rm -rf "$out/cpack"
if command -v lintian >/dev/null 2>&1; then
  # Run as root (CI), lintian wants to know that it is meant.
  lintian --allow-root --fail-on error --no-tag-display-limit "$deb" >&2
else
  echo "package.sh: lintian is not installed; the package is not checked" >&2
fi
echo "$deb"
