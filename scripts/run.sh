#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds Quavrix, writes a demo recording and opens
# it in the program's window. Without a display it says how to run the window
# on a virtual one and analyses the demo on the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DQUAVRIX_TESTS=OFF -DQUAVRIX_BENCH=OFF
./build/bin/quavrix-cli demo demo.wav
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/bin/quavrix demo.wav
fi
echo "No display here. The window runs on a virtual X server like this:"
echo "  xvfb-run -s '-screen 0 1920x1080x24' build/bin/quavrix demo.wav"
echo "(scripts/screenshot.sh does that and saves a picture of it.)"
echo "Analysing the demo on the command line instead:"
./build/bin/quavrix-cli analyze demo.wav
