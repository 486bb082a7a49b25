#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the note model's own JavaScript (the npm package and tfjs 3 with its
# WebAssembly backend) into a scratch folder outside the checkout, for
# tests/data/make_model_reference.mjs and bench/transcribe_bench's comparison.
#
#   scripts/setup-model-reference.sh [DIR]   (default $QUAVRIX_REF_DIR or
#                                             ${XDG_CACHE_HOME:-$HOME/.cache}/quavrix-build/ref)
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/quavrix-build"
DIR="${1:-${QUAVRIX_REF_DIR:-$CACHE/ref}}"
"$HERE/fetch-model.sh" >/dev/null
mkdir -p "$DIR"
cd "$DIR"
[ -f package.json ] || npm init -y >/dev/null
npm install --no-audit --no-fund --silent "$CACHE/spotify-basic-pitch-1.0.1.tgz" \
  @tensorflow/tfjs@3 @tensorflow/tfjs-backend-wasm@3
echo "setup-model-reference: installed into $DIR"
