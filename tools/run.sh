#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the program. Without a display it shows the main
# job through the batch tool instead: load the bundled sample, print its counts, convert it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
bin="${BUILD_DIR:-build}/bin"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/velmora"
fi
echo "No display: running the batch tool on samples/drive-text.txt"
out="$PWD/out"; mkdir -p "$out"
"$bin/velmora-batch" --out "$out" samples/drive-text.txt convert-all
echo "--- first lines of the export:"
head -n 5 "$out/FullConvert_drive-text.txt"
