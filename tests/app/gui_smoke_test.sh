#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program on a real (virtual) X server: the window comes up at the
# large layout with the demo recording drawn, and a screenshot is kept.
set -euo pipefail
source_dir=$1
build_dir=$2
shot="$build_dir/screenshot.png"
rm -f "$shot"
"$source_dir/scripts/screenshot.sh" "$build_dir" "$shot" 8 >/dev/null
[ -s "$shot" ] || { echo "FAILED: no screenshot"; exit 1; }
# The window's title is the recording's path, exactly: nothing of the toolkit's added.
titles="${shot%.png}-titles.txt"
grep -qx "$build_dir/demo.wav" "$titles" || { echo "FAILED: titles: $(cat "$titles")"; exit 1; }
# The first margin strip is teal (0, 56, 56) just right of x = 240, below the
# menu bar, when the demo is drawn at the large layout.
pngtopnm "$shot" | python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
assert parts[0] == b"P6", "not a PPM"
width, height = int(parts[1]), int(parts[2])
pixels = parts[4]
def at(x, y):
    i = 3 * (y * width + x)
    return tuple(pixels[i:i + 3])
teal = [y for y in range(0, 200) if at(242, y) == (0, 56, 56)]
assert teal, "no teal margin strip at x = 242: the window or the demo is not drawn"
# Large layout: the roll reaches x = 1888 (small ends at 1351).
menu = teal[0] - 60
right = at(1880, menu + 500)
assert right != (0, 0, 0) or at(1500, menu + 500) != (0, 0, 0), "the roll does not span the large layout"
print("window drawn at the large layout, menu bar", menu, "px; screenshot", sys.argv[1])
' "$shot"
