#!/usr/bin/env python3
"""Puts each fault of scripts/mutants.txt into a copy of the sources, one at a
time, rebuilds the host tests there, runs them and reports whether a test
caught it. Exit 1 when a fault passed every test, did not apply or did not
build.

  scripts/mutants.py [--build DIR] [--list] [NAME ...]

The copy (git ls-files) lives in DIR/mutants/tree with its own host build in
DIR/mutants/tree/build/host; it is brought up to date with the worktree at
every start, so a second run only rebuilds what changed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEST_TIMEOUT = 600


class Fault:
    def __init__(self, name, line):
        self.name = name
        self.line = line
        self.path = None
        self.about = ""
        self.hunks = []  # list of (old lines, new lines)


def parse(list_path):
    """Blocks of '== name', 'file path', 'about text', then '-' and '+'
    lines; a '-' after a '+' starts the next hunk of the same fault."""
    faults = []
    fault = None
    with open(list_path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = "%s:%d" % (list_path, number)
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("== "):
                fault = Fault(line[3:].strip(), where)
                faults.append(fault)
                continue
            if fault is None:
                sys.exit("%s: text before the first '== name'" % where)
            if line.startswith("file "):
                fault.path = line[5:].strip()
            elif line.startswith("about "):
                fault.about = line[6:].strip()
            elif line.startswith("-"):
                if not fault.hunks or fault.hunks[-1][1]:
                    fault.hunks.append(([], []))
                fault.hunks[-1][0].append(line[1:])
            elif line.startswith("+"):
                if not fault.hunks:
                    sys.exit("%s: '+' before any '-'" % where)
                fault.hunks[-1][1].append(line[1:])
            else:
                sys.exit("%s: not a fault line: %s" % (where, line))
    names = set()
    for fault in faults:
        if fault.path is None or not fault.hunks:
            sys.exit("%s: fault %s needs a file and a hunk" % (fault.line, fault.name))
        if fault.name in names:
            sys.exit("%s: fault %s named twice" % (fault.line, fault.name))
        names.add(fault.name)
    return faults


def mutate(text, fault):
    """The text with every hunk applied, or an error naming the hunk that
    does not occur exactly once."""
    for old, new in fault.hunks:
        find = "\n".join(old) + "\n"
        count = text.count(find)
        if count != 1:
            return None, "does not apply: %r found %d times" % (old[0], count)
        text = text.replace(find, "\n".join(new) + "\n" if new else "")
    return text, None


def write_fresh(path, text):
    """Writes with the current time, so the build sees the change even when
    the text goes back to what an older object file was made from."""
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def sync_tree(tree):
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.decode().split("\0")
    changed = 0
    for rel in filter(None, files):
        src = os.path.join(ROOT, rel)
        dst = os.path.join(tree, rel)
        if not os.path.isfile(src) or os.path.islink(src):
            continue
        with open(src, "rb") as f:
            data = f.read()
        if os.path.isfile(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)
        changed += 1
    # A file gone from the worktree goes from the copy too (the build globs).
    kept = set(filter(None, files))
    for folder, subfolders, names in os.walk(tree):
        if folder == tree:
            subfolders[:] = [name for name in subfolders if name != "build"]
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), tree)
            if rel not in kept:
                os.remove(os.path.join(folder, name))
                changed += 1
    return changed


def configure(tree, build):
    if os.path.isfile(os.path.join(build, "build.ninja")):
        return
    env = dict(os.environ)
    if shutil.which("ccache"):
        env.setdefault("CMAKE_C_COMPILER_LAUNCHER", "ccache")
        env.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
        env.setdefault("CCACHE_BASEDIR", os.path.dirname(ROOT))
    subprocess.run(["cmake", "-G", "Ninja", "-Wno-dev", "-S", tree, "-B", build,
                    "-DCMAKE_BUILD_TYPE=Release"], env=env, check=True,
                   stdout=subprocess.DEVNULL)


def binaries_for(path):
    """The host test binaries a source file is linked into: the contract
    suite runs the platform layer alone, mixo_tests everything."""
    if path.startswith("platform/") or path.startswith("tests/contract/"):
        return ["contract_tests", "mixo_tests"]
    return ["mixo_tests"]


def build_targets(build, targets, jobs):
    result = subprocess.run(["nice", "ninja", "-C", build, "-j%d" % jobs] + targets,
                            capture_output=True, text=True)
    return result.returncode == 0, result.stdout + result.stderr


def run_tests(build, binaries):
    """The names of the failing tests (empty when all passed)."""
    failed = []
    for binary in binaries:
        try:
            result = subprocess.run([os.path.join(build, binary), "--gtest_brief=1"],
                                    capture_output=True, text=True, timeout=TEST_TIMEOUT,
                                    errors="replace")
        except subprocess.TimeoutExpired:
            failed.append("%s (no end within %d s)" % (binary, TEST_TIMEOUT))
            continue
        names = []
        for line in result.stdout.splitlines():
            if line.startswith("[  FAILED  ] "):
                name = line[13:].split(" ")[0].rstrip(",")
                if not name.isdigit():  # not the "N tests, listed below" line
                    names.append(name)
        names = list(dict.fromkeys(names))
        if result.returncode != 0 and not names:
            names.append("%s (exit %d, no test named)" % (binary, result.returncode))
        failed.extend(names)
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("names", nargs="*", help="run only these faults")
    args = parser.parse_args()

    faults = parse(os.path.join(ROOT, "scripts", "mutants.txt"))
    if args.list:
        for fault in faults:
            print("%-28s %-32s %s" % (fault.name, fault.path, fault.about))
        return 0
    if args.names:
        known = {fault.name for fault in faults}
        unknown = [name for name in args.names if name not in known]
        if unknown:
            sys.exit("no such fault: %s" % ", ".join(unknown))
        faults = [fault for fault in faults if fault.name in args.names]

    tree = os.path.join(os.path.abspath(args.build), "mutants", "tree")
    build = os.path.join(tree, "build", "host")
    os.makedirs(tree, exist_ok=True)
    print("mutants: %d files brought up to date in %s" % (sync_tree(tree), tree), flush=True)
    configure(tree, build)

    # Every fault's text is checked before anything is built.
    bad = 0
    texts = {}
    for fault in faults:
        source = os.path.join(tree, fault.path)
        if not os.path.isfile(source):
            print("%-28s does not apply: no file %s" % (fault.name, fault.path))
            bad += 1
            continue
        with open(source, encoding="utf-8") as f:
            original = f.read()
        mutated, error = mutate(original, fault)
        if error:
            print("%-28s %s" % (fault.name, error))
            bad += 1
            continue
        texts[fault.name] = (original, mutated)

    all_binaries = ["contract_tests", "mixo_tests"]
    ok, log = build_targets(build, all_binaries, args.jobs)
    if not ok:
        print(log[-4000:])
        sys.exit("mutants: the unchanged sources do not build")
    failing = run_tests(build, all_binaries)
    if failing:
        sys.exit("mutants: the unchanged sources fail tests: %s" % ", ".join(failing[:5]))

    survived = 0
    for fault in faults:
        if fault.name not in texts:
            continue
        original, mutated = texts[fault.name]
        source = os.path.join(tree, fault.path)
        binaries = binaries_for(fault.path)
        start = time.monotonic()
        write_fresh(source, mutated)
        try:
            ok, log = build_targets(build, binaries, args.jobs)
            failed = run_tests(build, binaries) if ok else None
        finally:
            write_fresh(source, original)
        seconds = time.monotonic() - start
        if failed is None:
            print("%-28s does not build (%.0f s):\n%s" % (fault.name, seconds, log[-2000:]))
            bad += 1
        elif failed:
            shown = ", ".join(failed[:3]) + (" and %d more" % (len(failed) - 3) if len(failed) > 3 else "")
            print("%-28s caught by %s (%.0f s)" % (fault.name, shown, seconds), flush=True)
        else:
            print("%-28s SURVIVED (%.0f s)  %s: %s" % (fault.name, seconds, fault.path, fault.about),
                  flush=True)
            survived += 1

    # The tree goes back to the unchanged build for the next run.
    build_targets(build, all_binaries, args.jobs)
    print("mutants: %d faults, %d survived, %d did not apply or build"
          % (len(faults), survived, bad))
    return 1 if survived or bad else 0


if __name__ == "__main__":
    sys.exit(main())
