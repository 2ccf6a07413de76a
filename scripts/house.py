#!/usr/bin/env python3
"""The house's measures, read from the tree as it stands.

    python3 scripts/house.py

Reads the floors and what each stands on from CMakeLists.txt's
mixo_floor(...) lines, then every #include "folder/..." of the portable
logic, and prints: the includes that climb (a folder including one that is
not its own nor below it), the folder pairs that include each other, and
the non-blank lines of code and of tests (.cpp and .h files git tracks).
"""
import collections
import pathlib
import re
import subprocess

ROOT = pathlib.Path(__file__).resolve().parent.parent


def floors():
    """Each floor's folder -> the folders it may include (its own and below)."""
    text = (ROOT / "CMakeLists.txt").read_text()
    below = {}
    for folder, rest in re.findall(r"^mixo_floor\((\S+)([^)]*)\)", text, re.M):
        stands_on = re.search(r"STANDS_ON([^A-Z]*)", rest)
        names = stands_on.group(1).split() if stands_on else []
        lower = {folder}
        for library in names:
            lower |= below[library.removeprefix("mixo_")]
        below[folder] = lower
    return below


def tracked(suffixes):
    names = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split()
    return [ROOT / n for n in names if n.endswith(suffixes)]


def main():
    below = floors()
    arrows = collections.Counter()
    climbing = []
    for path in tracked((".cpp", ".h")):
        relative = path.relative_to(ROOT)
        floor = relative.parts[0]
        if floor not in below:
            continue
        for line in path.read_text(errors="replace").splitlines():
            included = re.match(r'\s*#\s*include\s+"(([^/"]+)/[^"]*)"', line)
            if not included or included.group(2) not in below:
                continue
            # Folders as they stand (platform/win32 is a room of its own).
            home, target = str(relative.parent), str(pathlib.PurePath(included.group(1)).parent)
            if target != home:
                arrows[(home, target)] += 1
            if included.group(2) not in below[floor]:
                climbing.append(f"{relative}: {line.strip()}")
    mutual = sorted({tuple(sorted(p)) for p in arrows if (p[1], p[0]) in arrows})
    print(f"includes that climb: {len(climbing)}")
    for line in climbing:
        print(f"  {line}")
    print(f"folder pairs that include each other: {len(mutual)}")
    for a, b in mutual:
        print(f"  {a} <-> {b}")

    def lines(paths):
        return sum(1 for p in paths for l in p.read_text(errors="replace").splitlines() if l.strip())
    sources = tracked((".cpp", ".h"))
    tests = [p for p in sources if p.relative_to(ROOT).parts[0] == "tests"]
    code = [p for p in sources if p.relative_to(ROOT).parts[0] != "tests"]
    print(f"non-blank lines: code {lines(code)}, tests {lines(tests)}")


if __name__ == "__main__":
    main()
