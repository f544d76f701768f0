#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The reliability runs after the ordinary tests: each fuzz target for a short while, then
# every test again in a build with AddressSanitizer and UndefinedBehaviorSanitizer, and the
# tests of the core and the batch tool in a build with ThreadSanitizer.
#   tools/reliability.sh [FUZZ_SECONDS]    (15 by default; 0 skips the fuzzers)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
bash tools/setup.sh

if [ "$seconds" != 0 ]; then
    bash fuzz/run.sh "$seconds"
fi

# The sanitizer builds are checks, not programs to time: -O1 and line tables (enough for the
# stacks they print) build in about half the time of -O2 -g.
quick=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

build="${ASAN_BUILD_DIR:-build-asan}"
# The tests' own code at -O0 builds in half the time again; under ThreadSanitizer it would run
# the tests that build large logs three times slower, so that build keeps -O1 throughout.
cmake -S . -B "$build" "${quick[@]}" -DVELMORA_SANITIZE=ON \
    -DVELMORA_BUILD_BENCH=OFF -DVELMORA_TEST_COMPILE_OPTIONS=-O0 >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Undefined behaviour fails the test with a stack; so does a leak (LeakSanitizer is on).
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900

# The reading and writing threads of the core. The windows are left out: Qt's own threads
# are not built for this sanitizer.
tsan="${TSAN_BUILD_DIR:-build-tsan}"
cmake -S . -B "$tsan" "${quick[@]}" -DVELMORA_SANITIZE_THREADS=ON \
    -DVELMORA_BUILD_UI=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$tsan" -j"$(nproc)"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$tsan" --output-on-failure -j"$(nproc)" \
    --timeout 900
