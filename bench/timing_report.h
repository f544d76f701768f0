// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window timing tools share: a clock, and one line a measured call,
// "operation<TAB>median seconds<TAB>slowest seconds<TAB>entries", as bench.py reads it.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace velmora::bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

inline void report(const char* name, std::vector<double> times, std::size_t entries) {
    std::sort(times.begin(), times.end());
    std::printf("%s\t%.4f\t%.4f\t%zu\n", name, times[times.size() / 2], times.back(), entries);
}

}  // namespace velmora::bench
