#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

# gpsbabel, gdal-bin (ogrinfo) and libxml2-utils (xmllint) are for the tests only: the map
# formats' tests read the files written with them, and skip that when they are missing.
# scdoc makes the manual pages; dpkg-dev (dpkg-shlibdeps), lintian, appstream
# (appstreamcli), desktop-file-utils and man-db build and check the Debian package and its
# metadata; python3 runs the log generator of the benchmark and its test.
# libsqlite3-dev writes the GeoPackage export (a GeoPackage is an SQLite database); zlib1g-dev
# reads logs saved gzip-compressed (a phone's WiGLE CSV often is). locales
# has the sources a test makes a decimal-comma locale from (it skips without them).
packages=(cmake make g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libsqlite3-dev zlib1g-dev ieee-data
          locales clang libclang-rt-14-dev gpsbabel gdal-bin libxml2-utils
          scdoc dpkg-dev lintian appstream desktop-file-utils man-db python3)

# The GPX 1.1 and OGC KML 2.2 schemas, for the map formats' tests (xmllint --schema): Debian
# ships them in pytrainer's schemas folder, so the package is downloaded and unpacked into
# .cache/xml-schemas of this checkout, not installed (it would bring a GTK desktop program).
# Without them (no network, no apt) those checks skip with a message.
fetch_schemas() {
    local into="$1" tmp
    [ -f "$into/ogckml22.xsd" ] && return 0
    command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || return 0
    tmp="$(mktemp -d)"
    # A fresh machine may have no package lists yet: root fetches them once and tries again.
    if (cd "$tmp" && { apt-get download -qq pytrainer >/dev/null 2>&1 ||
        { [ "$(id -u)" -eq 0 ] && apt-get update -qq &&
            apt-get download -qq pytrainer >/dev/null 2>&1; }; } &&
        dpkg-deb -x pytrainer_*.deb unpacked); then
        mkdir -p "$into"
        cp "$tmp"/unpacked/usr/share/pytrainer/schemas/{Topografix_gpx11.xsd,ogckml22.xsd,atom-author-link.xsd,xAL.xsd} "$into"/
    else
        echo "The GPX and KML schemas could not be downloaded (pytrainer's package): the map" \
            "formats' schema checks will skip" >&2
    fi
    rm -rf "$tmp"
}
fetch_schemas "$(cd "$(dirname "$0")/.." && pwd)/.cache/xml-schemas"

# With --gis: PyQGIS (python3-qgis, about 150 packages), for the test that opens every map
# format in QGIS; tools/test.sh installs it beside the build. Its test skips without it.
if [ "${1:-}" = "--gis" ]; then
    packages=(python3-qgis)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Velmora needs these Debian packages: ${missing[*]}" >&2
    echo "Install them as root: apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing ${missing[*]} ..."
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
