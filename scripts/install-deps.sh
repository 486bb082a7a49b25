#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package that building, testing, benchmarking and running
# Quavrix needs. Run as root (or through sudo) on Debian 12 or later.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config
  # core libraries
  libfftw3-dev libtinyxml2-dev portaudio19-dev
  # recordings in every format: decoding and conversion to 44100 Hz
  libsndfile1-dev libsamplerate0-dev
  # GUI: the toolkit, a free sans font for the view, a Japanese font for the
  # settings dialog's labels
  qt6-base-dev libgl1-mesa-dev fonts-dejavu-core fonts-ipafont-gothic
  # the window on a virtual X server for its tests and screenshots
  xvfb xauth xdotool x11-apps netpbm
  # tests, sanitizers, fuzzing, benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  python3 python3-mido
  # the Debian package and the checks of what it installs
  dpkg-dev lintian appstream desktop-file-utils man-db
  # an MP3 encoder, to check that MP3s line up with the WAV they were made from
  lame
  # default SoundFont and the peers the benchmarks compare against
  timgm6mb-soundfont fluidsynth libsoundtouch-dev aubio-tools time
  # the beat-tracking test set and the note model's benchmark: a second
  # General MIDI bank and the F-measures
  fluid-soundfont-gm python3-mir-eval
  # a notation program that reads the exported scores back in the tests
  musescore3
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"

# The note model comes from its npm package; without it the program works as
# before and note suggestions say why they are unavailable.
"$(dirname "$0")/fetch-model.sh" || echo "install-deps: continuing without the note model" >&2
