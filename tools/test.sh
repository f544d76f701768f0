#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
# QGIS for its read-back test, installed while the build runs (it skips if this fails).
bash tools/setup.sh --gis >"${TMPDIR:-/tmp}/velmora-setup-gis.log" 2>&1 &
gis=$!
bash tools/build.sh
wait "$gis" || echo "PyQGIS not installed (see ${TMPDIR:-/tmp}/velmora-setup-gis.log): the QGIS test skips"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" --timeout 600
