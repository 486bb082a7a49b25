#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The files an install adds for the desktop and for man: the manual pages
# format without warnings, the AppStream data and the desktop entry
# validate, and the entry offers the program for every format it opens.
#   install_files_test.sh SOURCE_DIR
set -euo pipefail
src=$1
fail() { echo "FAILED: $*"; exit 1; }
for page in "$src"/packaging/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
appstreamcli validate --no-net "$src/packaging/org.quavrix.Quavrix.metainfo.xml" >/dev/null ||
  fail "$(appstreamcli validate --no-net "$src/packaging/org.quavrix.Quavrix.metainfo.xml")"
entry=$src/data/org.quavrix.Quavrix.desktop
desktop-file-validate "$entry" || fail "desktop entry"
types=$(sed -n 's/^MimeType=//p' "$entry")
for format in audio/wav audio/x-wav audio/flac audio/mpeg audio/ogg audio/x-vorbis+ogg \
  audio/opus audio/x-aiff; do
  [[ ";$types" == *";$format;"* ]] || fail "MimeType lacks $format"
done
echo "manual pages, AppStream data and desktop entry are valid"
