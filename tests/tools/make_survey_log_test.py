#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tools/make_survey_log.py in each shape, loaded by velmora-batch: the batch tool's counts are
the ones the generator says it wrote, the line ends and columns are the ones asked for, the
awkward names hold what they promise, and a seed gives the same bytes again.

    make_survey_log_test.py GENERATOR VELMORA_BATCH"""
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
EOL_BYTES = {"crlf": b"\r\n", "lf": b"\n", "cr": b"\r"}
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


def main():
    generator, batch = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        scratch = Path(scratch)
        for shape in SHAPES:
            fmt, columns, eol, awkward, non_gps, seed = shape
            log = scratch / "log.txt"
            stats = generate(generator, log, *shape)
            data = log.read_bytes()
            fail = lambda what: failures.append(f"{shape}: {what}")

            again = scratch / "again.txt"
            generate(generator, again, *shape)
            if again.read_bytes() != data:
                fail("the same seed gave other bytes")
            generate(generator, again, fmt, columns, eol, awkward, non_gps, seed + 100)
            if again.read_bytes() == data and non_gps < 1:
                fail("another seed gave the same bytes")

            # One kind of line end only.
            other = data.replace(EOL_BYTES[eol], b"")
            if b"\r" in other or b"\n" in other:
                fail(f"a line end other than {eol}")
            lines = data.split(EOL_BYTES[eol])
            if lines[-1] != b"":
                fail("the last line has no line end")
            rows = [line for line in lines[:-1] if not line.startswith(b"#")]
            if len(rows) != LINES or stats["entries"] + stats["non_gps"] != LINES:
                fail(f"{len(rows)} data lines, stats {stats}")
            if any(row.count(b"\t") != columns - 1 for row in rows):
                fail(f"a data line without {columns} columns")
            names = b"".join(row.split(b"\t")[2] for row in rows)
            has = lambda pattern: re.search(pattern, names) is not None
            wanted = [rb'"', rb";", rb"<", rb"&", rb"[\x80-\xff]", rb"[\x01-\x08\x0b-\x1f\x7f]",
                      rb"\x00"]
            if awkward and not all(has(p) for p in wanted):
                fail("the awkward names lack one of \" ; < & 8-bit control NUL")
            if not awkward and has(rb'[";<&\x80-\xff\x00-\x1f]'):
                fail("awkward names without --awkward")
            expected_type = b"summary " if fmt == "summary" else b""
            if data.split(EOL_BYTES[eol])[1] != b"# $Format: wi-scan " + expected_type + \
                    b"with extensions":
                fail("the format line is not the one of " + fmt)

            proc = subprocess.run([batch, str(log)], capture_output=True, text=True,
                                  errors="replace")
            if proc.returncode != 0:
                fail(f"velmora-batch failed ({proc.returncode}): {proc.stderr}")
                continue
            counts = {}
            for line in proc.stdout.splitlines():
                key, _, value = line.partition(": ")
                if key in COUNT_LINES:
                    counts[COUNT_LINES[key]] = int(value)
            if counts != stats:
                fail(f"velmora-batch counted {counts}, the generator wrote {stats}")
            source = "NS1 Summary Export" if fmt == "summary" else "NS1 Text Export"
            if f"Source File Type: {source}\n" not in proc.stdout:
                fail(f"loaded as another type: {proc.stdout}")
    for failure in failures:
        print(failure, file=sys.stderr)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
