#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the programs (RelWithDebInfo, as tools/build.sh makes them), writes the benchmark
# logs into bench/out/ and prints the timing table. Environment:
#   BUILD_DIR  build folder (default build-bench-run)
#   REPS       runs of each operation (default 7)
# The logs come from the project's own generator, tools/make_survey_log.py.
# Arguments go to bench.py, e.g. --only "load,load + groups".
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
if ! command -v python3 >/dev/null; then
    echo "bench/run.sh: python3 is needed (make_survey_log.py writes the logs and bench.py times them)" >&2
    exit 1
fi
build="${BUILD_DIR:-build-bench-run}"
BUILD_DIR="$build" bash tools/build.sh -DVELMORA_BUILD_UI=OFF -DVELMORA_BUILD_TESTS=OFF \
    -DVELMORA_BUILD_BENCH=ON >&2
exec python3 bench/bench.py --bin "$build/bin" --benchbin "$build/bench" \
    --generator tools/make_survey_log.py --out bench/out --reps "${REPS:-7}" "$@"
