#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layering check passes on the tree and fails on an upward include and on
# Qt outside its layers.
set -u
script="$1/scripts/check-layers.py"
fail() { echo "FAILED: $*"; exit 1; }

python3 "$script" "$1" >/dev/null || fail "the source tree itself does not pass"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/score" "$tree/src/engine" "$tree/src/ui/qt" "$tree/tests/engine"
echo '#include "base/units.h"' > "$tree/src/score/ok.cpp"
echo '#include <QWidget>' > "$tree/src/ui/qt/canvas.cpp"
echo '#include "engine/engine.h"' > "$tree/tests/engine/ok_test.cpp"
python3 "$script" "$tree" >/dev/null || fail "a clean tree was refused"

echo '#include "engine/engine.h"' > "$tree/src/score/upward.cpp"
out=$(python3 "$script" "$tree") && fail "an upward include passed"
grep -q "src/score/upward.cpp:1: score includes engine/engine.h" <<<"$out" || fail "wrong report: $out"
rm "$tree/src/score/upward.cpp"

mkdir -p "$tree/src/ui/model" "$tree/src/ui/input"
echo '#include "ui/model/view.h"' > "$tree/src/ui/input/keys.cpp"
python3 "$script" "$tree" >/dev/null || fail "input including the view model was refused"
echo '#include "ui/input/input.h"' > "$tree/src/ui/model/view.cpp"
out=$(python3 "$script" "$tree") && fail "the view model including input passed"
grep -q "src/ui/model/view.cpp:1: ui includes ui/input/input.h" <<<"$out" || fail "wrong report: $out"
rm "$tree/src/ui/model/view.cpp"

echo '#include <QPainter>' > "$tree/src/engine/drawing.cpp"
out=$(python3 "$script" "$tree") && fail "Qt in the engine passed"
grep -q "Qt header <QPainter>" <<<"$out" || fail "wrong report: $out"
echo "layering check test passed"
