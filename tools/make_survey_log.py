#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a wi-scan survey log, a text export or a summary export, for the benchmark and tests.

Examples:
  make_survey_log.py --lines 1000000 -o big.txt          # a large log for the benchmark
  make_survey_log.py --format summary --columns 13 --eol lf
  make_survey_log.py --awkward --non-gps 0.2 --seed 7 --stats

The same arguments always give the same bytes. With --stats the counts the batch tool prints
for the log are written to stderr as one JSON object."""
import argparse
import json
import random
import sys

HEADER_COLUMNS = ("# Latitude\tLongitude\t( SSID )\tType\t( BSSID )\tTime (GMT)"
                  "\t[ SNR Sig Noise ]\t# ( Name )\tFlags\tChannelbits\tBcnIntvl")
FORMAT_LINES = {
    "text": "# $Format: wi-scan with extensions",
    "summary": "# $Format: wi-scan summary with extensions",
}
EOLS = {"crlf": "\r\n", "lf": "\n", "cr": "\r"}

# Capability words an access point announces, as four hex digits: 0x01 an access point (BSS),
# 0x02 an ad-hoc station, 0x10 privacy (WEP), the rest options that change neither. Every
# word here is either BSS or ad hoc, never both.
FLAGS = ["0001", "0005", "0011", "0015", "0021", "0031", "0401", "0411",
         "0002", "0012", "0022", "0032", "0422"]

PLAIN_NAMES = ["home", "Home", "default", "linksys", "NETGEAR", "tsunami", "WLAN", "airport",
               "cafe-guest", "office", "", "x) ", "Wireless"]


def awkward_names(rng):
    """Names that test the loader and the exports: quotes, separators, markup, 8-bit bytes,
    control characters (never a tab or a line end, which would end the column), NUL bytes (a
    hidden network's name) and spreadsheet formulas."""
    names = ['say "hi"', '"', '""quoted""', "a;b;c", "semi;", "<lan>&amp;", "R&D <5GHz>",
             "comma, name", "caf\xe9", "\xfc\xf1\xee\xe7\xf8d\xe9", "(paren)", "))",
             "\x01ctl\x1f", "bell\x07", "del\x7f", "esc\x1b[0m", " spaced  out ",
             "\x00" * 6, "nul\x00in", "=1+1", "@A1+1"]
    for _ in range(8):
        length = rng.randint(1, 12)
        names.append("".join(chr(rng.randint(0x80, 0xFF)) for _ in range(length)))
    controls = [c for c in range(1, 32) if c not in (9, 10, 13)]
    for _ in range(4):
        names.append("n" + "".join(chr(rng.choice(controls)) for _ in range(3)))
    return names


def make_access_points(rng, count, awkward):
    names = PLAIN_NAMES + (awkward_names(rng) if awkward else [])
    aps = []
    for i in range(count):
        mac = [0x00, 0x0C, 0x41, (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF]
        if i % 3 == 0:
            mac[:3] = [0x00, 0x09, 0x5B]
        text = ":".join(f"{b:02x}" for b in mac)
        bssid = text.upper() if rng.random() < 0.5 else text
        flags = rng.choice(FLAGS)
        bits = int(flags, 16)
        channel = rng.randint(1, 11)
        aps.append({
            "name": rng.choice(names),
            "type": "ad-hoc" if bits & 0x02 else "BSS",
            "bssid": bssid,
            "flags": flags,
            "wep": bool(bits & 0x10),
            "adhoc": bool(bits & 0x02),
            "channel": channel,
            "channelbits": f"{1 << channel:08x}",
        })
    return aps


def write_log(out, a):
    rng = random.Random(a.seed)
    aps = make_access_points(rng, a.aps or max(5, a.lines // 8), a.awkward)
    eol = EOLS[a.eol]
    columns = HEADER_COLUMNS + ("\tDataRate\tLastChannel" if a.columns == 13 else "")
    head = ["# $Creator: velmora make_survey_log.py", FORMAT_LINES[a.format], columns]
    out.write((eol.join(head) + eol).encode("latin-1"))

    # A drive: a walk from a starting point, one sighting a second, a date line each day.
    # Everything but the position and the time is made once per access point or signal.
    lat = rng.uniform(-70, 70) or 1.0
    lon = rng.uniform(-170, 170)
    middles = [f"\t( {ap['name']} )\t{ap['type']}\t( {ap['bssid']} )\t" for ap in aps]
    extra = "\t110\t{}" if a.columns == 13 else ""
    tails = [f"\t# (  )\t{ap['flags']}\t{ap['channelbits']}\t100" + extra.format(ap["channel"])
             for ap in aps]
    signals = [f" (GMT)\t[ {snr} {snr + 49} 49 ]" for snr in range(-10, 60)]
    kept = [0] * len(aps)
    non_gps = 0
    block = []
    random_ = rng.random
    pick = rng.randrange
    n_aps = len(aps)
    for second in range(a.lines):
        t = second % 86400
        if t == 0:
            block.append(f"# $DateGMT: 2004-06-{5 + second // 86400 % 24:02d}")
        lat += (random_() - 0.5) * 0.001
        lon += (random_() - 0.5) * 0.001
        if not -89.5 < lat < 89.5:
            lat = 89.0 if lat > 0 else -89.0
        if not -179.5 < lon < 179.5:
            lon = 179.0 if lon > 0 else -179.0
        i = pick(n_aps)
        if random_() < a.non_gps:
            position = "N 0.0000000\tE 0.0000000"  # no fix
            non_gps += 1
        else:
            # A latitude of zero is no fix: a walk that reaches it is moved off.
            if -1e-7 < lat < 1e-7:
                lat = 1e-6
            position = (f"N {lat:.7f}" if lat >= 0 else f"S {-lat:.7f}") + (
                f"\tE {lon:.7f}" if lon >= 0 else f"\tW {-lon:.7f}")
            kept[i] += 1
        block.append(f"{position}{middles[i]}{t // 3600:02d}:{t // 60 % 60:02d}:{t % 60:02d}"
                     f"{signals[pick(70)]}{tails[i]}")
        if len(block) >= 8192:
            out.write((eol.join(block) + eol).encode("latin-1"))
            block.clear()
    if block:
        out.write((eol.join(block) + eol).encode("latin-1"))
    counts = dict(entries=sum(kept), non_gps=non_gps, wep_on=0, wep_off=0, infrastructure=0,
                  adhoc=0)
    for ap, n in zip(aps, kept):
        counts["wep_on" if ap["wep"] else "wep_off"] += n
        counts["adhoc" if ap["adhoc"] else "infrastructure"] += n
    return counts


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--lines", type=int, default=40, help="data lines (default 40)")
    ap.add_argument("--format", choices=sorted(FORMAT_LINES), default="text")
    ap.add_argument("--columns", type=int, choices=(11, 13), default=11,
                    help="11 columns, or 13 with DataRate and LastChannel (default 11)")
    ap.add_argument("--eol", choices=sorted(EOLS), default="crlf", help="line ends (crlf)")
    ap.add_argument("--aps", type=int, help="distinct access points (default lines/8, >= 5)")
    ap.add_argument("--non-gps", type=float, default=0.05,
                    help="share of sightings without a GPS fix (default 0.05)")
    ap.add_argument("--awkward", action="store_true",
                    help="names with quotes, ';', '<', '&', 8-bit bytes, control characters")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("-o", "--output", help="the file to write (default stdout)")
    ap.add_argument("--stats", action="store_true",
                    help="write the counts the batch tool prints to stderr, as JSON")
    a = ap.parse_args()
    if a.lines < 0 or (a.aps is not None and a.aps < 1) or not 0 <= a.non_gps <= 1:
        ap.error("--lines must be >= 0, --aps >= 1 and --non-gps within 0..1")

    if a.output:
        with open(a.output, "wb") as out:
            counts = write_log(out, a)
    else:
        counts = write_log(sys.stdout.buffer, a)
        sys.stdout.buffer.flush()
    if a.stats:
        print(json.dumps(counts), file=sys.stderr)


if __name__ == "__main__":
    main()
