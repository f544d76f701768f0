#!/usr/bin/env bash
# The reliability runs after the ordinary tests: each fuzz target for a short while, then
# every test again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
#   tools/reliability.sh [FUZZ_SECONDS]    (15 by default; 0 skips the fuzzers)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
bash tools/setup.sh

if [ "$seconds" != 0 ]; then
    bash fuzz/run.sh "$seconds"
fi

build="${ASAN_BUILD_DIR:-build-asan}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON \
    -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Undefined behaviour fails the test with a stack; so does a leak (LeakSanitizer is on).
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900
