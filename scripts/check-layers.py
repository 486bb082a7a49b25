#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when a file includes a layer above its own, or uses Qt outside the
layers that may.

    scripts/check-layers.py [ROOT]

Layers, lowest first; a file may include its own layer and the ones below:
base, platform, analysis, score, persist, synth, playback, engine, ui, ui/input, ui/qt.
The view's toolkit-free files sit in folders by concern: ui/model (layout,
controls, hit test, visible window) and ui/draw (the drawing pass) form the
layer ui (the view keeps the colours the pass builds, so each may include the
other); ui/input drives both, and nothing below it includes it. No source file
sits in src/ui/ itself. app/ may include everything. Tests sit at the level of the layer they test;
tests/support at the score layer, tests/support/engine at the engine layer. Qt headers may appear only in src/ui/qt/,
app/, tests/ui/qt/ and tests/app/.
"""
import os
import re
import sys

LAYERS = ["base", "platform", "analysis", "score", "persist", "synth", "playback", "engine",
          "ui", "ui/input", "ui/qt"]
UI_FOLDERS = ("model", "draw", "input", "qt")
RANK = {name: i for i, name in enumerate(LAYERS)}
QT_ALLOWED = ("src/ui/qt/", "app/", "tests/ui/qt/", "tests/app/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^(Q[A-Za-z]+|Qt[A-Za-z]*/.*)$")


def layer_of_include(path):
    if path.startswith(("ui/qt/", "ui/input/")):
        return path.rsplit("/", 1)[0]
    head = path.split("/", 1)[0]
    return head if head in RANK and "/" in path else None


def layer_of_file(rel):
    parts = rel.split("/")
    if parts[0] in ("src", "tests") and len(parts) > 2:
        if parts[1] == "support":
            return "engine" if parts[2] == "engine" else "score"
        if parts[1] == "ui" and parts[2] in ("qt", "input") and len(parts) > 3:
            return "ui/" + parts[2]
        if parts[1] in RANK:
            return parts[1]
        if parts[1] == "app":
            return "app"
    if parts[0] == "app":
        return "app"
    return None


def check(root):
    problems = []
    for top in ("src", "app", "tests"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                full = os.path.join(folder, name)
                rel = os.path.relpath(full, root).replace(os.sep, "/")
                own = layer_of_file(rel)
                if top == "src" and os.path.dirname(rel) == "src/ui":
                    problems.append(f"{rel}: belongs in one of src/ui/{{{','.join(UI_FOLDERS)}}}/")
                with open(full, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        kind, target = m.groups()
                        if kind == "<" and QT_HEADER.match(target) and not rel.startswith(QT_ALLOWED):
                            problems.append(f"{rel}:{number}: Qt header <{target}> outside ui/qt and app")
                        if kind != '"' or own is None or own == "app":
                            continue
                        layer = layer_of_include(target)
                        if layer is not None and RANK[layer] > RANK[own]:
                            problems.append(f"{rel}:{number}: {own} includes {target} from {layer}, a layer above")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print(f"layering check: {len(problems)} problem(s)")
        return 1
    print("layering check: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
