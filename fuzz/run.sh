#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs each for
# SECONDS seconds (default 60) on a scratch copy of its seed corpus.
#   fuzz/run.sh [SECONDS] [TARGET...]
# A crash stops with the failing input saved in build-fuzz/findings/; the last lines give
# each target's executions. Keep a finding in fuzz/regressions/ and add a test for it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build="${FUZZ_BUILD_DIR:-build-fuzz}"

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_record_reader fuzz_loader fuzz_vendor_list fuzz_export_line fuzz_advanced
             fuzz_wigle_csv fuzz_ns1)
fi

# Seeds beside the committed ones: the sample logs and the sample vendor list.
seeds_for() {
    case "$1" in
        fuzz_loader) echo samples/drive-text.txt samples/drive-summary.txt ;;
        fuzz_vendor_list) echo tests/advanced/vlident-sample.txt ;;
        *) ;;
    esac
}

mkdir -p "$build/findings"
scratch=$(mktemp -d /dev/shm/velmora-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VELMORA_FUZZ_SCRATCH="$scratch"

# One target: its corpus, its run, its result in $build/$t.result.
fuzz_one() {
    local t="$1" corpus="$build/corpus/$1" log="$build/$1.log" s
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$t" ] && cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
    for s in $(seeds_for "$t"); do
        [ -e "$corpus/seed-$(basename "$s")" ] || cp "$s" "$corpus/seed-$(basename "$s")"
    done
    if "$build/$t" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
        -timeout=20 -max_len=65536 -artifact_prefix="$build/findings/$t-" "$corpus" >"$log" 2>&1; then
        echo ok >"$build/$t.result"
    else
        echo FAILED >"$build/$t.result"
    fi
}

# A fuzzer uses one core: as many run side by side as there are cores.
jobs="$(nproc)"
for t in "${targets[@]}"; do
    echo "== $t: ${seconds}s"
    rm -f "$build/$t.result"
    fuzz_one "$t" &
    while [ "$(jobs -pr | wc -l)" -ge "$jobs" ]; do wait -n || true; done
done
wait

summary=()
status=0
for t in "${targets[@]}"; do
    result="$(cat "$build/$t.result" 2>/dev/null || echo FAILED)"
    if [ "$result" != ok ]; then
        status=1
        tail -n 40 "$build/$t.log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$t.log" | tail -n1)
    summary+=("$(printf '%-20s %12s executions  %s' "$t" "${runs:-?}" "$result")")
done
printf '%s\n' "${summary[@]}"
exit $status
