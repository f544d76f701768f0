#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a wi-scan survey log, a text export or a summary export, or a binary .ns1 log with
the matching text export, for the benchmark and tests.

Examples:
  make_survey_log.py --lines 1000000 -o big.txt          # a large log for the benchmark
  make_survey_log.py --format summary --columns 13 --eol lf
  make_survey_log.py --awkward --non-gps 0.2 --seed 7 --stats
  make_survey_log.py --format wigle --wigle-writer board --eol crlf   # a WiGLE CSV log
  make_survey_log.py --format ns1 -o drive.ns1 --text-export drive.txt

The same arguments always give the same bytes. With --stats the counts the batch tool prints
for the log are written to stderr as one JSON object."""
import argparse
import datetime
import array
import json
import random
import struct
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


# WiGLE CSV logs (--format wigle): UTF-8, RFC 4180 quoting, one observation a line. The phone
# app writes a "WigleWifi-1.x" pre-header, its own AuthMode words, padded times and other radios
# beside Wi-Fi; a board writes no pre-header, short AuthMode words and unpadded times.
WIGLE_WRITERS = ("app-1.6", "app-1.4", "board")
WIGLE_PRE_HEADER = ("WigleWifi-{},appRelease=2.70,model=Pixel 7,release=14,device=panther,"
                    "display=AP2A.240805.005,board=panther,brand=google")
WIGLE_COLUMNS = {
    "app-1.6": "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,"
               "CurrentLongitude,AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type",
    "app-1.4": "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,"
               "AltitudeMeters,AccuracyMeters,Type",
    "board": "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,"
             "AltitudeMeters,AccuracyMeters,Type",
}
# (AuthMode, WEP on, ad hoc)
WIGLE_AUTH = {
    "app": [("[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS][WPS]", True, False),
            ("[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS]", True, False),
            ("[WPA2-EAP-CCMP][RSN-EAP-CCMP][ESS]", True, False),
            ("[RSN-SAE-CCMP][ESS][MFPR]", True, False),
            ("[WEP][ESS]", True, False), ("[ESS]", False, False), ("[ESS][WPS]", False, False),
            ("[IBSS]", False, True), ("[WEP][IBSS]", True, True)],
    "board": [("[WPA2_PSK]", True, False), ("[WPA_WPA2_PSK]", True, False),
              ("[WPA3_PSK]", True, False), ("[WPA2_ENTERPRISE]", True, False),
              ("[OPEN]", False, False), ("[WEP]", True, False), ("", False, False)],
}
WIGLE_AWKWARD_NAMES = ["caf\u00e9 \u00e9t\u00e9", "\u4e2d\u6587\u7f51\u7edc",
                       "\u0414\u043e\u043c", "\U0001F4F6 free wifi", "a,b,c", 'say "hi"',
                       "semi;colon", "two\nlines", ""]
# (Type, MAC or cell id maker, AuthMode, Channel, Frequency)
WIGLE_OTHER_RADIOS = [("BT", "Misc [BT]"), ("BLE", "Misc [LE]"), ("GSM", "GSM;310260"),
                      ("LTE", "LTE;310260"), ("NR", "NR;310260"), ("WCDMA", "UMTS;310260")]


def wigle_field(text, always):
    if always or any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def write_wigle(out, a):
    """A WiGLE CSV log in the style of `a.wigle_writer`; returns its counts like write_log."""
    rng = random.Random(a.seed)
    writer = a.wigle_writer
    board = writer == "board"
    auths = WIGLE_AUTH["board" if board else "app"]
    names = PLAIN_NAMES + (WIGLE_AWKWARD_NAMES if a.awkward else [])
    eol = EOLS[a.eol]
    aps = []
    for i in range(a.aps or max(5, a.lines // 8)):
        mac = ":".join(f"{b:02x}" for b in (0x3C, 0x84, 0x6A, (i >> 16) & 0xFF, (i >> 8) & 0xFF,
                                             i & 0xFF))
        channel = rng.choice((1, 6, 11) if board else (1, 6, 11, 36, 44, 149, 161, 37))
        if board:
            frequency = 0
        elif channel <= 14:
            frequency = 2407 + 5 * channel
        elif channel == 37:
            frequency = 5950 + 5 * channel  # a 6 GHz channel
        else:
            frequency = 5000 + 5 * channel
        aps.append((mac.upper() if board else mac, rng.choice(names), rng.choice(auths), channel,
                    frequency))
    head = [] if board else [WIGLE_PRE_HEADER.format(writer[-3:])]
    out.write((eol.join(head + [WIGLE_COLUMNS[writer]]) + eol).encode("utf-8"))

    counts = dict(entries=0, non_gps=0, wep_on=0, wep_off=0, infrastructure=0, adhoc=0,
                  other_radio=0)
    lat = rng.uniform(-60, 60) or 1.0
    lon = rng.uniform(-170, 170)
    block = []
    for second in range(a.lines):
        lat += (rng.random() - 0.5) * 0.001
        lon += (rng.random() - 0.5) * 0.001
        lat = max(-89.0, min(89.0, lat))
        lon = max(-179.0, min(179.0, lon))
        t = 1714993200 + second  # 2024-05-06 11:00:00 UTC
        days, rest = divmod(t, 86400)
        date = _wigle_date(days)
        hms = (rest // 3600, rest // 60 % 60, rest % 60)
        if board:
            seen = f"{date[0]}-{date[1]}-{date[2]} {hms[0]}:{hms[1]}:{hms[2]}"
        else:
            seen = f"{date[0]:04d}-{date[1]:02d}-{date[2]:02d} {hms[0]:02d}:{hms[1]:02d}:{hms[2]:02d}"
        rssi = -rng.randint(30, 95)
        no_fix = rng.random() < a.non_gps
        if no_fix:
            position = "0.0,0.0" if not board else "0.000000,0.000000"
        elif board:
            position = f"{lat:.6f},{lon:.6f}"
        else:
            position = f"{lat:.8f},{lon:.8f}"
        altitude, accuracy = f"{rng.uniform(-20, 400):.1f}", f"{rng.uniform(2, 40):.1f}"
        if not board and rng.random() < 0.1:
            kind, auth = rng.choice(WIGLE_OTHER_RADIOS)
            cell = kind not in ("BT", "BLE")
            ident = (f"310260_{rng.randint(1, 65535)}_{rng.randint(1, 999999)}" if cell else
                     ":".join(f"{rng.randint(0, 255):02x}" for _ in range(6)))
            fields = [ident, wigle_field(rng.choice(["", "Galaxy Buds", "T-Mobile"]), False),
                      auth, seen, str(rng.randint(0, 700) if cell else 0)]
            if writer == "app-1.6":
                fields.append("0")
            fields += [str(rssi), position, altitude, accuracy]
            if writer == "app-1.6":
                fields += ["", ""]
            block.append(",".join(fields + [kind]))
            counts["other_radio"] += 1
        else:
            mac, name, (auth, wep, adhoc), channel, frequency = aps[rng.randrange(len(aps))]
            fields = [mac, wigle_field(name, board), auth, seen, str(channel)]
            if writer == "app-1.6":
                fields.append(str(frequency))
            fields += [str(rssi), position, altitude, accuracy]
            if writer == "app-1.6":
                fields += ["", ""]
            block.append(",".join(fields + ["WIFI"]))
            if no_fix:
                counts["non_gps"] += 1
            else:
                counts["entries"] += 1
                counts["wep_on" if wep else "wep_off"] += 1
                counts["adhoc" if adhoc else "infrastructure"] += 1
        if len(block) >= 8192:
            out.write((eol.join(block) + eol).encode("utf-8"))
            block.clear()
    if block:
        out.write((eol.join(block) + eol).encode("utf-8"))
    return counts


def _wigle_date(days):
    """(year, month, day) of a day number since 1970-01-01."""
    d = datetime.date(1970, 1, 1) + datetime.timedelta(days=days)
    return d.year, d.month, d.day


NS1_VERSIONS = (1, 6, 8, 11, 12)
# Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01, and 2004-06-05T00:00:00Z, where the
# drives start.
FILETIME_EPOCH = 11644473600
DRIVE_START = 1086393600
# The 5 GHz channels of Channelbits' bits 15 to 31.
HIGH_BIT_CHANNELS = [36, 40, 44, 48, 52, 56, 60, 64, 149, 153, 157, 161, 38, 46, 54, 62, 34]


def ns1_record(version, ap, entries):
    """One access point's .ns1 record; `entries` are (second, signal dBm, position or None)."""
    ssid = ap["name"].encode("latin-1")
    mac = bytes(int(x, 16) for x in ap["bssid"].split(":"))
    bits = int(ap["channelbits"], 16)
    signals = [e[1] for e in entries] or [-100]
    noise = ap["noise"]
    parts = [struct.pack("<B", len(ssid)), ssid, mac,
             struct.pack("<iii", max(signals), noise, max(signals) - noise)]
    if version == 1:
        parts.append(struct.pack("<I", 0))
    elif version == 6:
        parts.append(struct.pack("<I", bits))
    parts.append(struct.pack("<II", int(ap["flags"], 16), 100))
    if version == 1:
        return b"".join(parts)
    filetime = lambda second: (DRIVE_START + second + FILETIME_EPOCH) * 10_000_000
    best = max(entries, key=lambda e: (e[2] is not None, e[1]), default=None)
    best_position = best[2] if best and best[2] else (0.0, 0.0, 0.0)
    parts.append(struct.pack("<QQddI", filetime(entries[0][0]) if entries else 0,
                             filetime(entries[-1][0]) if entries else 0, best_position[0],
                             best_position[1], len(entries)))
    for second, signal, position in entries:
        if position is None:
            parts.append(struct.pack("<Qiii", filetime(second), signal, noise, 0))
        else:
            lat, lon, alt = position
            parts.append(struct.pack("<QiiidddIdddd", filetime(second), signal, noise, 1, lat,
                                     lon, alt, 7, 12.5, 90.0, 0.0, 1.2))
    parts.append(struct.pack("<B", 0))  # Name
    if version >= 8:
        parts.append(struct.pack("<QII", bits, ap["channel"], 0))
    if version >= 11:
        parts.append(struct.pack("<iiIII", min(signals), noise, 110, 0, 0))
    if version >= 12:
        elements = bytes([0, len(ssid)]) + ssid  # the SSID element
        parts.append(struct.pack("<II", 0, len(elements)) + elements)
    return b"".join(parts)


def write_ns1(out, text_out, a):
    """A drive as a binary .ns1 log of version --ns1-version and, into `text_out` when given,
    its wi-scan text export: the same entries, access point by access point in the order of
    the .ns1 file (each one's in time order), so both logs load into the same sightings (a
    BSSID in lower case, as a binary log's is written when it loads). An
    entry without a GPS fix is "N 0.0000000  E 0.0000000" in the text. Version 1 has no
    entries: its text export has none either."""
    rng = random.Random(a.seed)
    aps = make_access_points(rng, a.aps or max(5, a.lines // 8), a.awkward)
    for ap in aps:
        if rng.random() < 0.25:  # a 5 GHz access point
            bit = rng.randint(15, 31)
            ap["channel"] = HIGH_BIT_CHANNELS[bit - 15]
            ap["channelbits"] = f"{1 << bit:08x}"
        ap["noise"] = rng.randint(-100, -95)

    # The drive, one entry a second: who was seen, and where, with coordinates of 7 decimals
    # as the text export writes them.
    lats, lons = array.array("d"), array.array("d")
    who = array.array("l")
    lat = round(rng.uniform(-70, 70) or 1.0, 7)
    lon = round(rng.uniform(-170, 170), 7)
    for _ in range(a.lines):
        lat = round(min(89.0, max(-89.0, lat + (rng.random() - 0.5) * 0.001)), 7)
        lon = round(min(179.0, max(-179.0, lon + (rng.random() - 0.5) * 0.001)), 7)
        if lat == 0:
            lat = 1e-6  # a latitude of zero is no fix
        fix = rng.random() >= a.non_gps
        lats.append(lat if fix else 0.0)
        lons.append(lon if fix else 0.0)
        who.append(rng.randrange(len(aps)))
    seen = [array.array("l") for _ in aps]
    for second, i in enumerate(who):
        seen[i].append(second)
    if a.ns1_version == 1:
        seen = [array.array("l") for _ in aps]

    eol = EOLS[a.eol]
    counts = dict(entries=0, non_gps=0, wep_on=0, wep_off=0, infrastructure=0, adhoc=0)
    if text_out:
        columns = HEADER_COLUMNS + ("\tDataRate\tLastChannel" if a.columns == 13 else "")
        head = ["# $Creator: velmora make_survey_log.py", FORMAT_LINES["text"], columns]
        text_out.write((eol.join(head) + eol).encode("latin-1"))
    out.write(b"NetS" + struct.pack("<II", a.ns1_version, len(aps)))
    date = None
    for ap, seconds in zip(aps, seen):
        entries = []
        lines = []
        extra = f"\t110\t{ap['channel']}" if a.columns == 13 else ""
        for second in seconds:
            signal = rng.randint(-110, -40)
            fix = lats[second] != 0.0
            position = (lats[second], lons[second], round(rng.uniform(0, 300), 1)) if fix \
                else None
            entries.append((second, signal, position))
            counts["entries" if fix else "non_gps"] += 1
            if fix:
                counts["wep_on" if ap["wep"] else "wep_off"] += 1
                counts["adhoc" if ap["adhoc"] else "infrastructure"] += 1
            if not text_out:
                continue
            day = f"2004-06-{5 + second // 86400:02d}"
            if day != date:
                date = day
                lines.append(f"# $DateGMT: {day}")
            la, lo = lats[second], lons[second]
            t = second % 86400
            sig, noise = signal + 149, ap["noise"] + 149
            lines.append((f"N {la:.7f}" if la >= 0 else f"S {-la:.7f}")
                         + (f"\tE {lo:.7f}" if lo >= 0 else f"\tW {-lo:.7f}")
                         + f"\t( {ap['name']} )\t{ap['type']}\t( {ap['bssid'].lower()} )"
                         f"\t{t // 3600:02d}:{t // 60 % 60:02d}:{t % 60:02d} (GMT)"
                         f"\t[ {sig - noise} {sig} {noise} ]\t# (  )\t{ap['flags']}"
                         f"\t{ap['channelbits']}\t100{extra}")
        out.write(ns1_record(a.ns1_version, ap, entries))
        if lines:
            text_out.write((eol.join(lines) + eol).encode("latin-1"))
    return counts


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--lines", type=int, default=40, help="data lines (default 40)")
    ap.add_argument("--format", choices=sorted(FORMAT_LINES) + ["ns1", "wigle"], default="text",
                    help="text, summary, wigle (a WiGLE CSV log) or ns1: the binary log (with "
                         "--text-export its text)")
    ap.add_argument("--wigle-writer", choices=WIGLE_WRITERS, default="app-1.6",
                    help="with --format wigle: the writer whose style to follow (app-1.6)")
    ap.add_argument("--ns1-version", type=int, choices=NS1_VERSIONS, default=12,
                    help="the .ns1 file version (default 12)")
    ap.add_argument("--text-export", metavar="FILE",
                    help="with --format ns1: also write the same survey's wi-scan text export")
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

    if a.text_export and a.format != "ns1":
        ap.error("--text-export goes with --format ns1")

    def write(out):
        if a.format == "wigle":
            return write_wigle(out, a)
        if a.format != "ns1":
            return write_log(out, a)
        if not a.text_export:
            return write_ns1(out, None, a)
        with open(a.text_export, "wb") as text_out:
            return write_ns1(out, text_out, a)

    if a.output:
        with open(a.output, "wb") as out:
            counts = write(out)
    else:
        counts = write(sys.stdout.buffer)
        sys.stdout.buffer.flush()
    if a.stats:
        print(json.dumps(counts), file=sys.stderr)


if __name__ == "__main__":
    main()
