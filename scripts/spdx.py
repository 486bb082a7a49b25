#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Puts the licence's SPDX line into the first comment of every source file,
or checks that every one has it.

    scripts/spdx.py [--check] [ROOT]

C++ and JavaScript files get "// SPDX-License-Identifier: GPL-3.0-or-later"
as their first line (a header's below "#pragma once" when its comment
follows); Python, shell and CMake files get the same after "# ", below a
"#!" line. A file that already names a licence in its first lines is
left as it is, so the script may be run again after new files arrive.
"""
import os
import sys

LICENCE = "GPL-3.0-or-later"
TAG = "SPDX-License-Identifier:"
FOLDERS = ("src", "app", "tests", "bench", "fuzz", "scripts", "cmake")
SLASH = (".h", ".cpp", ".mjs", ".js")
HASH = (".py", ".sh", ".cmake")
HEAD_LINES = 5


def sources(root):
    yield os.path.join(root, "CMakeLists.txt")
    for top in FOLDERS:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                full = os.path.join(folder, name)
                if name.endswith(SLASH + HASH) or name == "CMakeLists.txt":
                    yield full


def comment_for(path):
    return "// " if path.endswith(SLASH) else "# "


def has_line(text):
    return any(TAG in line for line in text.splitlines()[:HEAD_LINES])


def add_line(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if has_line(text):
        return False
    line = f"{comment_for(path)}{TAG} {LICENCE}\n"
    first, _, rest = text.partition("\n")
    # Below a "#!" line, and joining the comment under "#pragma once".
    if text.startswith("#!") or (first == "#pragma once" and rest.startswith("//")):
        text = first + "\n" + line + rest
    else:
        text = line + text
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return True


def main():
    args = [a for a in sys.argv[1:] if a != "--check"]
    check = "--check" in sys.argv[1:]
    root = os.path.abspath(args[0] if args else os.path.join(os.path.dirname(__file__), ".."))
    missing = []
    changed = 0
    for path in sources(root):
        if not os.path.exists(path):
            continue
        if check:
            with open(path, encoding="utf-8") as f:
                if not has_line(f.read()):
                    missing.append(os.path.relpath(path, root))
        elif add_line(path):
            changed += 1
    if check:
        for m in missing:
            print(f"{m}: no SPDX licence line (run scripts/spdx.py)")
        print(f"spdx check: {len(missing)} file(s) without the licence line")
        return 1 if missing else 0
    print(f"spdx: added the licence line to {changed} file(s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
