#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tools/make_survey_log.py in each shape, loaded by velmora-batch: the batch tool's counts are
the ones the generator says it wrote, in the type asked for; the WiGLE samples are what the
generator writes, and its WiGLE logs carry the rows and the names it promises.

    make_survey_log_test.py GENERATOR VELMORA_BATCH"""
import csv
import io
import json
import re
import subprocess
import sys
import tempfile
from pathlib import Path

SHAPES = [  # (format, columns, eol, awkward, non-GPS share, seed)
    ("text", 11, "crlf", False, 0.05, 1),
    ("text", 13, "lf", True, 0.5, 2),
    ("summary", 13, "cr", False, 0.0, 3),
    ("summary", 11, "crlf", True, 0.2, 4),
    ("summary", 13, "lf", True, 1.0, 5),
]
LINES = 3000
COUNT_LINES = {
    "Total Number Of Source Entries": "entries",
    "Non-GPS Dropped Entries": "non_gps",
    "WEP OFF Entries": "wep_off",
    "WEP ON Entries": "wep_on",
    "AP Locatiions": "infrastructure",
    "Ad-Hoc Locations": "adhoc",
}


def generate(generator, path, fmt, columns, eol, awkward, non_gps, seed):
    argv = [sys.executable, generator, "--lines", str(LINES), "--format", fmt,
            "--columns", str(columns), "--eol", eol, "--non-gps", str(non_gps),
            "--seed", str(seed), "--stats", "-o", str(path)] + (["--awkward"] if awkward else [])
    proc = subprocess.run(argv, capture_output=True, text=True, check=True)
    return json.loads(proc.stderr)


# The WiGLE CSV samples, as the generator writes them.
WIGLE_SAMPLES = {
    "wigle-phone.csv": ["--lines", "48", "--aps", "16", "--awkward", "--non-gps", "0.15",
                        "--eol", "lf", "--seed", "56"],
    "wigle-board.csv": ["--wigle-writer", "board", "--lines", "30", "--aps", "10", "--awkward",
                        "--non-gps", "0.1", "--eol", "crlf", "--seed", "56"],
}


def check_wigle(generator, scratch, fail):
    """--format wigle in each writer's style: RFC 4180 rows under the writer's header, the
    counts it says it wrote, the awkward names round-tripping through a CSV reader."""
    for writer, seed in (("app-1.6", 6), ("app-1.4", 7), ("board", 8)):
        # The same seed giving the same bytes is checked by the samples below.
        path = scratch / f"wigle-{writer}.csv"
        argv = [sys.executable, generator, "--format", "wigle", "--wigle-writer", writer,
                "--lines", str(LINES), "--awkward", "--non-gps", "0.2", "--eol", "lf",
                "--seed", str(seed), "--stats", "-o", str(path)]
        stats = json.loads(subprocess.run(argv, capture_output=True, text=True, check=True).stderr)
        data = path.read_bytes()
        rows = list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))
        if writer == "board":
            header = rows[0]
        else:
            if not rows[0][0] == "WigleWifi-" + writer[-3:]:
                fail(f"wigle {writer}: pre-header {rows[0][:1]}")
            header = rows[1]
        body = rows[rows.index(header) + 1:]
        if header[:4] != ["MAC", "SSID", "AuthMode", "FirstSeen"] or header[-1] != "Type":
            fail(f"wigle {writer}: header {header}")
        if len(body) != LINES or any(len(row) != len(header) for row in body):
            fail(f"wigle {writer}: {len(body)} rows, not all of {len(header)} fields")
        wifi = [row for row in body if row[-1] == "WIFI"]
        if stats["entries"] + stats["non_gps"] != len(wifi) or \
                stats["other_radio"] != len(body) - len(wifi):
            fail(f"wigle {writer}: stats {stats} for {len(wifi)} Wi-Fi rows")
        names = "".join(row[1] for row in wifi)
        if not all(c in names for c in (",", '"', "\n", "\u4e2d", "\U0001F4F6")):
            fail(f"wigle {writer}: the awkward names lack one of , \" line break CJK emoji")
        padded = re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", body[0][3])
        if (writer == "board") == bool(padded):
            fail(f"wigle {writer}: FirstSeen {body[0][3]}")
    samples = Path(generator).resolve().parent.parent / "samples"
    for name, args in WIGLE_SAMPLES.items():
        argv = [sys.executable, generator, "--format", "wigle", "-o", str(scratch / name)] + args
        subprocess.run(argv, check=True)
        if (scratch / name).read_bytes() != (samples / name).read_bytes():
            fail(f"samples/{name} is not what the generator writes")


def batch_counts(batch, log):
    """velmora-batch's exit code and the counts it prints for `log`, by the generator's names."""
    proc = subprocess.run([batch, str(log)], capture_output=True, text=True, errors="replace")
    counts = {COUNT_LINES[k]: int(v) for k, _, v in
              (line.partition(": ") for line in proc.stdout.splitlines()) if k in COUNT_LINES}
    return proc, counts


def main():
    generator, batch = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        scratch = Path(scratch)
        for shape in SHAPES:
            fmt, columns, eol, awkward, non_gps, seed = shape
            log = scratch / "log.txt"
            stats = generate(generator, log, *shape)
            fail = lambda what: failures.append(f"{shape}: {what}")
            if stats["entries"] + stats["non_gps"] != LINES:
                fail(f"stats {stats} for {LINES} lines")
            proc, counts = batch_counts(batch, log)
            if proc.returncode != 0:
                fail(f"velmora-batch failed ({proc.returncode}): {proc.stderr}")
                continue
            if counts != stats:
                fail(f"velmora-batch counted {counts}, the generator wrote {stats}")
            source = "NS1 Summary Export" if fmt == "summary" else "NS1 Text Export"
            if f"Source File Type: {source}\n" not in proc.stdout:
                fail(f"loaded as another type: {proc.stdout}")
        # A binary .ns1 drive and its text export: the text loads into the counts the generator
        # gives for both, and the binary starts with the header of the version asked for.
        ns1, text = scratch / "drive.ns1", scratch / "drive.txt"
        argv = [sys.executable, generator, "--format", "ns1", "--ns1-version", "8", "--lines",
                str(LINES), "--non-gps", "0.2", "--awkward", "--stats", "-o", str(ns1),
                "--text-export", str(text)]
        stats = json.loads(subprocess.run(argv, capture_output=True, text=True,
                                          check=True).stderr)
        if ns1.read_bytes()[:8] != b"NetS\x08\x00\x00\x00":
            failures.append("ns1: not a version 8 header")
        proc, counts = batch_counts(batch, text)
        if proc.returncode != 0 or counts != stats or stats["entries"] + stats["non_gps"] != LINES:
            failures.append(f"ns1: velmora-batch counted {counts} of its text export, the "
                            f"generator wrote {stats} ({proc.returncode}: {proc.stderr})")
    with tempfile.TemporaryDirectory() as scratch:
        check_wigle(generator, Path(scratch), failures.append)
    for failure in failures:
        print(failure, file=sys.stderr)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
