#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Opens every map file velmora-batch writes in QGIS, as a GIS user does: each through QGIS's
GDAL provider (what a dropped file gets), the CSV also through the delimited-text import.
Checks that each point is a point, each (BSSID, name) pair exactly (names with spaces,
parentheses, an empty name, "))", BSSIDs that look like times), and the field types QGIS
gives the GeoPackage's and the CSV's columns, and the GeoPackage's spatial index.

    qgis_readback_test.py VELMORA_BATCH

Exits 77 (a skip to ctest) when PyQGIS (Debian's python3-qgis) is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
try:
    from qgis.core import QgsApplication, QgsFeatureSource, QgsVectorLayer, QgsWkbTypes
    from qgis.PyQt.QtCore import QVariant
except ImportError:
    print("PyQGIS is missing (python3-qgis, tools/setup.sh --gis): QGIS read-back not run")
    sys.exit(77)

# (name as the log writes it, BSSID): each line a point of its own.
LINES = [
    (b"spaced  out", "00:09:5B:EE:E7:61"),
    (b"comma, name", "00:0c:41:aa:01:02"),
    (b"R&D <5GHz>", "00:09:5B:EE:E7:62"),
    (b"(paren)", "00:0c:41:aa:01:03"),
    (b"", "00:09:5B:EE:E7:63"),
    (b"))", "00:0c:41:aa:01:04"),
    (b"caf\xe9", "00:09:5B:EE:E7:64"),
    (b"12:30:00", "00:0c:41:aa:01:05"),
]
FORMATS = ["kml", "gpx", "geojson", "csv", "gpkg"]


def write_log(path):
    head = (b"# $Creator: Velmora test\r\n# $Format: wi-scan with extensions\r\n"
            b"# Latitude\tLongitude\t( SSID )\tType\t( BSSID )\tTime (GMT)\t[ SNR Sig Noise ]"
            b"\t# ( Name )\tFlags\tChannelbits\tBcnIntvl\r\n# $DateGMT: 2004-06-05\r\n")
    body = b"".join(
        b"N 59.%07d\tE 168.%07d\t( %s )\tBSS\t( %s )\t00:00:%02d (GMT)\t[ 23 72 49 ]\t# (  )"
        b"\t0011\t00000040\t100\r\n" % (1000 * k, 2000 * k, name, bssid.encode(), k)
        for k, (name, bssid) in enumerate(LINES))
    path.write_bytes(head + body)


def pairs(layer, bssid_field):
    names = layer.fields().names()
    name = next(f for f in names if f.lower() == "name")
    got = []
    for feature in layer.getFeatures():
        geometry = feature.geometry()
        assert QgsWkbTypes.geometryType(geometry.wkbType()) == QgsWkbTypes.PointGeometry, \
            geometry.asWkt()
        # GDAL reads GPX's empty name as null, and so does the delimited-text import.
        value = feature[name]
        empty = value is None or (isinstance(value, QVariant) and value.isNull())
        got.append((feature[bssid_field], "" if empty else str(value)))
    return sorted(got)


def main():
    batch = Path(sys.argv[1])
    app = QgsApplication([], False)
    app.initQgis()
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        log = tmp / "drive.txt"
        write_log(log)
        want = sorted((b, n.decode("cp1252")) for n, b in LINES)
        for fmt in FORMATS:
            subprocess.run([str(batch), "--workdir", str(tmp / "work"), "--out", str(tmp),
                            "--format", fmt, str(log), "convert-all"],
                           check=True, capture_output=True)
            path = tmp / f"FullConvert_drive.{fmt}"
            # GeoJSON cannot declare types: opened with the option the README gives, or GDAL
            # takes BSSIDs for times.
            option = "|option:DATE_AS_STRING=YES" if fmt == "geojson" else ""
            layers = [("ogr", QgsVectorLayer(str(path) + option, fmt, "ogr"))]
            if fmt == "csv":
                uri = (path.as_uri() + "?type=csv&xField=longitude&yField=latitude"
                       "&crs=EPSG:4326&detectTypes=yes")
                layers.append(("delimitedtext", QgsVectorLayer(uri, fmt, "delimitedtext")))
            for provider, layer in layers:
                what = f"{fmt} ({provider})"
                if not layer.isValid():
                    failures.append(f"{what}: QGIS cannot open {path}")
                    continue
                fields = {f.name().lower(): f.typeName() for f in layer.fields()}
                bssid = next(f.name() for f in layer.fields() if f.name().lower().endswith("bssid"))
                got = pairs(layer, bssid)
                if got != want:
                    failures.append(f"{what}: {got} != {want}")
                # Where the file declares its types, QGIS must find them: text stays text (the
                # delimited-text import guesses types from values, whatever the .csvt says).
                if fmt in ("gpkg", "csv") and provider == "ogr":
                    for column in ("name", "bssid", "flags"):
                        if fields.get(column, "").lower() not in ("string", "text"):
                            failures.append(f"{what}: {column} is {fields.get(column)}")
                if fmt == "gpkg" and layer.hasSpatialIndex() != QgsFeatureSource.SpatialIndexPresent:
                    failures.append(f"{what}: QGIS finds no spatial index")
                print(f"{what}: {layer.featureCount()} points, fields {fields}")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    # QGIS 3.22 can crash tearing itself down (exitQgis) in a script: leave without it.
    # It also leaves files in the temporary folder: it gets one of its own, removed here.
    scratch = tempfile.mkdtemp(prefix="velmora-qgis-")
    os.environ["TMPDIR"] = tempfile.tempdir = scratch
    code = main()
    sys.stdout.flush()
    shutil.rmtree(scratch, ignore_errors=True)
    os._exit(code)
