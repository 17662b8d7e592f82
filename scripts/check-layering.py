#!/usr/bin/env python3
"""Fails when an #include crosses the layers the wrong way.

The program is layered app -> toolkit -> (db, calendar, board, monitors, widgets) -> platform -> core,
with the repairs (app -> repairs -> db) beside the toolkit;
development tools may use core only. Tests, benchmarks and fuzz targets sit outside the layers and may
include whatever they exercise. Reads the tracked C++ files (and untracked ones not ignored) of the
checkout it runs in; prints one line per wrong include and exits 1 when there is any.
"""
import os
import re
import subprocess
import sys

# Which modules each module may include, besides itself.
ALLOWED = {
    "core": set(),
    "platform": {"core"},
    "widgets": {"core", "platform"},
    "calendar": {"core", "platform", "widgets"},
    "db": {"core", "platform"},
    "dbcontrols": {"core", "platform", "db"},
    "board": {"core", "platform", "widgets"},
    "monitors": {"core", "platform"},
    "repairs": {"core", "platform", "db"},
    "toolkit": {"core", "platform", "calendar", "db", "dbcontrols", "widgets", "board", "monitors"},
    "app": {"core", "platform", "calendar", "db", "dbcontrols", "widgets", "board", "monitors", "toolkit",
            "repairs"},
    "tools": {"core"},
}
OUTSIDE = {"tests", "bench", "fuzz"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def module_of(path):
    top = path.split("/", 1)[0]
    return top if top in ALLOWED or top in OUTSIDE else None


def main():
    root = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True,
                          check=True).stdout.strip()
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "*.h", "*.cpp"],
                           cwd=root, capture_output=True, text=True, check=True).stdout.split()
    wrong = []
    for path in files:
        own = module_of(path)
        if own is None or own in OUTSIDE:
            continue
        full = os.path.join(root, path)
        if not os.path.exists(full):
            continue
        with open(full, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1)
                # A header beside the file, or reached through "..", counts by where it really is.
                beside = os.path.normpath(os.path.join(os.path.dirname(path), target))
                if "/" not in target or target.startswith("."):
                    target = beside
                other = module_of(target)
                if other is None or other == own:
                    continue
                if other not in ALLOWED[own]:
                    may = ", ".join(sorted(ALLOWED[own])) or "nothing of the project"
                    wrong.append(f"{path}:{number}: {own}/ includes {m.group(1)} ({own}/ may include {may})")
    for w in wrong:
        print(w)
    if wrong:
        print(f"layering: {len(wrong)} include(s) point the wrong way")
        return 1
    print(f"layering: {len(files)} files, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
