#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times every operation of velmora-batch on generated logs against `cat LOG > copy` and a
user-space floor.

Run through bench/run.sh, which builds the programs first. Prints Markdown tables: one row per
operation and log with the median wall time, the throughput over the log's size, the peak
resident memory, and the ratios to `cat LOG > copy` and to the floor of the same log measured
in the same run; then the time the Advanced windows' core calls take, and a check of the
targets.

The floor moves the bytes a load must move through user space: it reads the log once and
writes two files of the working file's size (output1 and output2), with dd in 1 MiB blocks.
`cat` alone is no floor: current coreutils copy inside the kernel (copy_file_range)."""
import argparse
import os
import platform
import statistics
import subprocess
import sys
from pathlib import Path

LOGS = [  # (label, make_survey_log.py arguments, file suffix, operations timed or None for all)
    ("text", ["--format", "text"], ".txt", None),
    ("summary-13", ["--format", "summary", "--columns", "13"], ".txt", None),
    # The logs read by readers of their own, converted line by line into the wi-scan path.
    ("wigle", ["--format", "wigle"], ".csv", {"load", "load + convert-all"}),
    ("ns1", ["--format", "ns1"], ".ns1", {"load", "load + convert-all"}),
]
# The other logs' load against the text log's of as many lines: at most this many times.
LOAD_VS_TEXT = {"wigle": 1.5, "ns1": 1.0}
SIZES = [100_000, 1_000_000]
# A survey of many drives: this many text logs of so many lines each (one seed each), added to
# the first in one run, against the load of one text log of as many lines in all.
SURVEY_LOGS, SURVEY_LINES = 100, 10_000
# The network the matching and criteria commands pick: "home" and "Home" in the logs.
NAME = "HOME"
OPERATIONS = [  # (label, commands after the log[, options before it])
    ("load", []),
    ("load + convert-all", ["convert-all"]),
    ("load + locked", ["locked"]),
    ("load + open", ["open"]),
    ("load + infrastructure", ["infrastructure"]),
    ("load + adhoc", ["adhoc"]),
    ("load + groups", ["groups"]),
    ("load + aps", ["aps"]),
    ("load + matching", ["matching", NAME]),
    ("load + criteria", ["criteria", NAME]),
    # Convert All in each map format, and one pin per access point, beside the st row above.
    ("load + convert-all kml", ["convert-all"], ["--format", "kml"]),
    ("load + convert-all gpx", ["convert-all"], ["--format", "gpx"]),
    ("load + convert-all geojson", ["convert-all"], ["--format", "geojson"]),
    ("load + convert-all csv", ["convert-all"], ["--format", "csv"]),
    ("load + convert-all --per-ap", ["convert-all"], ["--per-ap"]),
    ("load + convert-all kml --per-ap", ["convert-all"], ["--format", "kml", "--per-ap"]),
    ("load + convert-all --per-ap weighted", ["convert-all"],
     ["--per-ap", "--ap-position", "weighted"]),
    # A database with an index: within 3x, and its index holds every point in memory.
    ("load + convert-all gpkg", ["convert-all"], ["--format", "gpkg"]),
]
GPKG_ROWS = {"load + convert-all gpkg"}
# The exports that must stay within 2x the st Convert All's time.
FORMAT_ROWS = [op[0] for op in OPERATIONS
               if op[0].startswith("load + convert-all ") and op[0] not in GPKG_ROWS]
MEASURE = None  # velmora-measure, set from the command line
MAIN_WINDOW = {"load", "load + convert-all", "load + locked", "load + open",
               "load + infrastructure", "load + adhoc"}


def run(argv):
    """Runs a program through velmora-measure; returns its (wall seconds, peak resident KiB)."""
    proc = subprocess.run([str(MEASURE)] + list(map(str, argv)), capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"bench: {' '.join(map(str, argv))} failed ({proc.returncode}):\n"
                 + proc.stderr.decode(errors="replace"))
    wall, peak = proc.stdout.split()
    return float(wall), int(peak)


def window_limit(call):
    """The most a window's core call may take (seconds), or the map's bytes per sighting."""
    if "Recount" in call:
        return 0.3
    if call.startswith(("map redraw", "map repaint")):
        return 0.05
    if call.startswith("open map"):
        return 1
    if call.startswith("map memory"):
        return 40
    return 2


# Reads the log ($1) once, then writes $4 bytes to each of $2 and $3.
FLOOR = ('dd if="$1" of=/dev/null bs=1M status=none'
         ' && dd if=/dev/zero of="$2" bs=1M count="$4" iflag=count_bytes status=none'
         ' && dd if=/dev/zero of="$3" bs=1M count="$4" iflag=count_bytes status=none')


def make_logs(generator, folder):
    folder.mkdir(parents=True, exist_ok=True)
    logs = []
    for label, args, suffix, _ in LOGS:
        for lines in SIZES:
            path = folder / f"{label}-{lines}{suffix}"
            if not path.exists():
                print(f"bench: writing {path.name} ...", file=sys.stderr)
                part = path.with_suffix(".part")
                subprocess.run([sys.executable, str(generator), "--lines", str(lines),
                                "--seed", "1", "-o", str(part)] + args, check=True)
                part.rename(path)
            logs.append((label, lines, path))
    return logs


def survey_logs(generator, folder):
    folder.mkdir(parents=True, exist_ok=True)
    paths = []
    for seed in range(1, SURVEY_LOGS + 1):
        path = folder / f"drive-{seed:03}.txt"
        if not path.exists():
            part = path.with_suffix(".part")
            subprocess.run([sys.executable, str(generator), "--lines", str(SURVEY_LINES),
                            "--seed", str(seed), "--format", "text", "-o", str(part)],
                           check=True)
            part.rename(path)
        paths.append(path)
    return paths


def timed(label, op):
    """Whether the operation is timed on the log of this label."""
    ops = next(entry[3] for entry in LOGS if entry[0] == label)
    return ops is None or op in ops




def machine():
    model = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    mem = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    return (f"{os.cpu_count()} CPUs ({model}), {mem:.1f} GiB RAM, "
            f"{platform.system()} {platform.release()}")


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin", required=True, type=Path, help="folder of velmora-batch")
    ap.add_argument("--benchbin", required=True, type=Path,
                    help="folder of velmora-measure and velmora-window-timing")
    ap.add_argument("--generator", required=True, type=Path,
                    help="the log generator, tools/make_survey_log.py")
    ap.add_argument("--out", required=True, type=Path, help="scratch folder")
    ap.add_argument("--reps", type=int, default=5, help="runs of each operation (default 5)")
    ap.add_argument("--only", help="comma-separated operation labels to time (default: all)")
    a = ap.parse_args()

    global MEASURE
    MEASURE = a.benchbin / "velmora-measure"
    batch = a.bin / "velmora-batch"
    vendors = a.bin / "vlident.txt"
    work, exports = a.out / "work", a.out / "exports"
    for folder in (work, exports):
        folder.mkdir(parents=True, exist_ok=True)
    copy, copy2 = work / "copy", work / "copy2"
    logs = make_logs(a.generator, a.out / "logs")

    results = {}  # (label, lines, operation) -> (median s, MiB, ratio)
    rows = []
    for label, lines, log in logs:
        mb = log.stat().st_size / 1e6
        # The working file's size, for the floor.
        run([str(batch), "--workdir", str(work), str(log)])
        working_size = (work / "output1").stat().st_size
        cat_times, floor_times = [], []
        op_rows = []
        for op, commands, *options in OPERATIONS:
            if (a.only and op not in a.only.split(",")) or not timed(label, op):
                continue
            argv = [str(batch), "--workdir", str(work), "--out", str(exports),
                    "--vendors", str(vendors)] + (options[0] if options else []) + \
                [str(log)] + commands
            times, peaks = [], []
            for _ in range(a.reps):
                # The baseline exactly as a user would type it, run beside each operation.
                cat_times.append(run(["sh", "-c", 'cat "$1" > "$2"', "sh", str(log),
                                      str(copy)])[0])
                floor_times.append(run(["sh", "-c", FLOOR, "sh", str(log), str(copy),
                                        str(copy2), str(working_size)])[0])
                wall, peak = run(argv)
                times.append(wall)
                peaks.append(peak)
            op_rows.append((op, statistics.median(times), max(peaks) / 1024))
        if not op_rows:
            continue
        cat = statistics.median(cat_times)
        floor = statistics.median(floor_times)
        rows.append(("`cat LOG > copy`", label, lines, mb, cat, None, 1.0, cat / floor))
        rows.append(("floor: read LOG, write 2 x output1 (dd)", label, lines, mb, floor, None,
                     floor / cat, 1.0))
        for op, median, mib in op_rows:
            rows.append((op, label, lines, mb, median, mib, median / cat, median / floor))
            results[(label, lines, op)] = (median, mib, median / cat)
        print(f"bench: {log.name} done", file=sys.stderr)

    print(f"Machine: {machine()}")
    print(f"Runs per figure: {a.reps} (medians); logs from make_survey_log.py, CR LF line "
          "ends.\n")
    print("| operation | log | lines | MB | median s | MB/s | peak MiB | x cat | x floor |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for op, label, lines, mb, median, mib, ratio, to_floor in rows:
        peak = "" if mib is None else f"{mib:.1f}"
        print(f"| {op} | {label} | {lines:,} | {mb:.1f} | {median:.3f} | {mb / median:.0f} | "
              f"{peak} | {ratio:.2f} | {to_floor:.2f} |")

    survey = None
    if not a.only or "survey" in a.only.split(","):
        paths = survey_logs(a.generator, a.out / "logs" / "survey")
        argv = [str(batch), "--workdir", str(work), str(paths[0])]
        for path in paths[1:]:
            argv += ["--add", str(path)]
        one = next(log for label, lines, log in logs
                   if label == "text" and lines == SURVEY_LOGS * SURVEY_LINES)
        times, peaks, loads = [], [], []
        for _ in range(a.reps):
            loads.append(run([str(batch), "--workdir", str(work), str(one)])[0])
            wall, peak = run(argv)
            times.append(wall)
            peaks.append(peak)
        survey = statistics.median(times) / statistics.median(loads)
        print(f"\nSurvey: {SURVEY_LOGS} text logs of {SURVEY_LINES:,} lines added in one run, "
              f"against the load of one text log of {SURVEY_LOGS * SURVEY_LINES:,} lines:\n")
        print("| operation | median s | peak MiB | x one log's load |")
        print("|---|---:|---:|---:|")
        print(f"| load of one log | {statistics.median(loads):.3f} | | 1.00 |")
        print(f"| LOG --add x {SURVEY_LOGS - 1} | {statistics.median(times):.3f} | "
              f"{max(peaks) / 1024:.1f} | {survey:.2f} |")

    if a.only:
        return
    print("\nAdvanced and map windows, core calls on the 10^6-line logs (seconds; the map's "
          "memory in bytes per sighting):\n")
    print("| log | call | median s | slowest s | entries |")
    print("|---|---|---:|---:|---:|")
    window = {}
    for label, lines, log in logs:
        if lines != max(SIZES) or not timed(label, "load + aps"):
            continue
        run([str(batch), "--workdir", str(work), str(log)])
        out = subprocess.run([str(a.benchbin / "velmora-window-timing"), str(work / "output1"), str(vendors), "3"],
                             check=True, capture_output=True, text=True).stdout
        # The map window itself, painted offscreen, where the build has the windows.
        painter = a.benchbin / "velmora-map-timing"
        if painter.exists():
            out += subprocess.run([str(painter), str(work / "output1"), "3"], check=True,
                                  capture_output=True, text=True,
                                  env={**os.environ, "QT_QPA_PLATFORM": "offscreen"}).stdout
        for line in out.splitlines():
            call, median, slowest, entries = line.split("\t")
            window[(label, call)] = float(slowest)
            print(f"| {label} | {call} | {float(median):.3f} | {float(slowest):.3f} | "
                  f"{entries} |")

    print("\nTargets:\n")
    big, small = max(SIZES), min(SIZES)
    checks = []
    for label, _, _, ops in LOGS:
        r = lambda op, n=big: results[(label, n, op)]
        if ops is not None:
            for n in SIZES:
                checks.append((f"{label}: load <= {LOAD_VS_TEXT[label]} x text load ({n:,} lines)",
                               r("load", n)[0] / results[("text", n, "load")][0],
                               LOAD_VS_TEXT[label]))
            for op in sorted(ops):
                checks.append((f"{label}: {op} peak MiB < 16", r(op)[1], 16))
                checks.append((f"{label}: {op} peak MiB, 10^6 - 10^5 <= 2",
                               abs(r(op)[1] - r(op, small)[1]), 2))
                checks.append((f"{label}: {op} time 10^6 / 10^5 <= 12",
                               r(op)[0] / r(op, small)[0], 12))
            continue
        checks.append((f"{label}: load <= 2.5 x cat", r("load")[2], 2.5))
        checks.append((f"{label}: load + convert-all <= 4 x cat", r("load + convert-all")[2], 4))
        for op in ("load + groups", "load + aps", "load + matching"):
            checks.append((f"{label}: {op} <= 4 x cat", r(op)[2], 4))
        for op in FORMAT_ROWS:
            checks.append((f"{label}: {op} <= 2 x convert-all",
                           r(op)[0] / r("load + convert-all")[0], 2))
        for op in sorted(GPKG_ROWS):
            checks.append((f"{label}: {op} <= 3 x convert-all",
                           r(op)[0] / r("load + convert-all")[0], 3))
        for op in sorted(MAIN_WINDOW) + [f for f in FORMAT_ROWS if "--per-ap" not in f]:
            checks.append((f"{label}: {op} peak MiB < 16", r(op)[1], 16))
            checks.append((f"{label}: {op} peak MiB, 10^6 - 10^5 <= 2",
                           abs(r(op)[1] - r(op, small)[1]), 2))
        for op, *_ in OPERATIONS:
            checks.append((f"{label}: {op} time 10^6 / 10^5 <= 12",
                           r(op)[0] / r(op, small)[0], 12))
        for (wl, call), slowest in sorted(window.items()):
            if wl == label:
                checks.append((f"{label}: {call} (slowest)", slowest, window_limit(call)))
    if survey is not None:
        checks.append((f"survey: {SURVEY_LOGS} logs added <= 1 x one log's load", survey, 1))
    failed = 0
    for what, value, limit in checks:
        ok = value <= limit
        failed += not ok
        print(f"- {'ok  ' if ok else 'MISS'} {what}: {value:.2f}")
    print(f"\n{len(checks) - failed} of {len(checks)} targets met.")


if __name__ == "__main__":
    main()
