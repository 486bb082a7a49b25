#!/usr/bin/env bash
# Installs what is needed, builds Quavrix and runs its main job on a demo
# recording: writes demo.wav and analyses it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DQUAVRIX_TESTS=OFF -DQUAVRIX_BENCH=OFF
./build/bin/quavrix-cli demo demo.wav
./build/bin/quavrix-cli analyze demo.wav
