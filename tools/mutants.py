#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plants deliberate single faults in the code, one at a time, and tells which the tests catch.

Each row of tools/mutants.tsv is one fault: an area, a source file, a text that stands exactly
once in it, what replaces it, and the tests that should catch it (a ctest -R pattern). For each
row the file is changed, the tests' programs are rebuilt in their own build folder
(build-mutants/ unless --build names another), the named tests run, and the file is put back
whatever happens. A fault whose build fails is reported as such and counted apart.

    python3 tools/mutants.py                 # every row
    python3 tools/mutants.py --area export   # the rows of one area
    python3 tools/mutants.py --list          # the rows, without running anything

The table it prints at the end counts, per area, the faults caught and those that passed every
named test: each of those is a test to write.
"""
import argparse
import collections
import json
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def read_rows(table):
    rows = []
    for number, line in enumerate(table.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 6:
            sys.exit(f"{table}:{number}: expected 6 tab-separated fields, found {len(fields)}")
        area, path, search, replace, tests, what = fields
        # The table writes a tab as \t and a line end as \n inside its fields.
        unescape = lambda s: s.replace("\\t", "\t").replace("\\n", "\n")
        rows.append((number, area, path, unescape(search), unescape(replace), tests, what))
    return rows


def run(command, log, timeout):
    try:
        done = subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT,
                              timeout=timeout)
        return done.returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def targets_of(build, tests):
    """The programs (build targets) of the tests `tests` names, or None when one is unknown."""
    done = subprocess.run(["ctest", "--test-dir", str(build), "-N", "-R", tests,
                           "--show-only=json-v1"], capture_output=True, text=True)
    if done.returncode != 0:
        return None
    names = set()
    for test in json.loads(done.stdout).get("tests", []):
        command = test.get("command") or []
        if not command or not command[0].startswith(str(build)):
            return None  # a script or an installed program: build everything
        names.add(os.path.basename(command[0]))
    return sorted(names) or None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--table", default=str(ROOT / "tools" / "mutants.tsv"))
    parser.add_argument("--build", default=str(ROOT / "build-mutants"))
    parser.add_argument("--area", action="append", help="only these areas")
    parser.add_argument("--list", action="store_true", help="print the rows and stop")
    parser.add_argument("--timeout", type=int, default=900, help="seconds a test run may take")
    args = parser.parse_args()

    rows = read_rows(pathlib.Path(args.table))
    if args.area:
        rows = [r for r in rows if r[1] in args.area]
    if args.list:
        for number, area, path, _, _, tests, what in rows:
            print(f"{number:4} {area:10} {path}: {what} [{tests}]")
        return 0

    for number, area, path, search, _, _, _ in rows:
        text = (ROOT / path).read_text(encoding="utf-8")
        if text.count(search) != 1:
            sys.exit(f"row {number}: the text to replace stands {text.count(search)} times "
                     f"in {path}; make it stand once")

    build = pathlib.Path(args.build)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    os.environ.update(env)
    log_path = build / "mutants.log"
    build.mkdir(parents=True, exist_ok=True)
    with open(log_path, "w") as log:
        if run(["cmake", "-S", ".", "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo"],
               log, None) != 0:
            sys.exit(f"cmake failed: see {log_path}")
        # A build that already holds the tests named needs only their programs; a new one is
        # built whole, so that ctest knows every test.
        targets = {tests: targets_of(build, tests) for *_, tests, _ in rows}
        needed = sorted({t for names in targets.values() for t in names or []})
        only = [] if None in targets.values() else sum((["--target", t] for t in needed), [])
        # The files the programs read beside them (the help page, the vendor list).
        if only:
            listed = subprocess.run(["cmake", "--build", str(build), "--target", "help"],
                                    capture_output=True, text=True).stdout
            known = {line[4:].split()[0] for line in listed.splitlines() if line.startswith("... ")}
            only += sum((["--target", t] for t in ("help_page", "vlident") if t in known), [])
        if run(["cmake", "--build", str(build), f"-j{os.cpu_count()}"] + only, log, None) != 0:
            sys.exit(f"the unchanged tree does not build: see {log_path}")
        targets = {tests: targets_of(build, tests) for *_, tests, _ in rows}
        # Every named test passes on the unchanged tree, or a row would count as caught.
        for tests in targets:
            if run(["ctest", "--test-dir", str(build), "-R", tests, "-j2", "--timeout", "300"],
                   log, args.timeout) != 0:
                sys.exit(f"tests {tests} fail on the unchanged tree: see {log_path}")

        results = []
        for number, area, path, search, replace, tests, what in rows:
            source = ROOT / path
            original = source.read_text(encoding="utf-8")
            source.write_text(original.replace(search, replace), encoding="utf-8")
            try:
                print(f"row {number} ({area}): {what} ...", end=" ", flush=True)
                log.write(f"\n===== row {number}: {what}\n")
                log.flush()
                # Only the programs of the named tests: a fault elsewhere needs no other.
                only = sum((["--target", t] for t in targets[tests] or []), [])
                if run(["cmake", "--build", str(build), f"-j{os.cpu_count()}"] + only, log,
                       None) != 0:
                    outcome = "no build"
                else:
                    code = run(["ctest", "--test-dir", str(build), "-R", tests, "-j2",
                                "--timeout", "300"], log, args.timeout)
                    outcome = "caught" if code != 0 else "missed"
            finally:
                source.write_text(original, encoding="utf-8")
            print(outcome)
            results.append((area, number, what, outcome))
        # Leave the build as the tree is.
        run(["cmake", "--build", str(build), f"-j{os.cpu_count()}"] + only, log, None)

    by_area = collections.OrderedDict()
    for area, _, _, outcome in results:
        by_area.setdefault(area, collections.Counter())[outcome] += 1
    print("\n| area | faults | caught | missed | no build |")
    print("|---|---:|---:|---:|---:|")
    for area, counts in by_area.items():
        print(f"| {area} | {sum(counts.values())} | {counts['caught']} | {counts['missed']} "
              f"| {counts['no build']} |")
    missed = [r for r in results if r[3] == "missed"]
    for area, number, what, _ in missed:
        print(f"missed: row {number} ({area}): {what}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
