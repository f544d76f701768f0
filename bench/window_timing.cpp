// Times the core calls the Advanced windows make when they open, and the criteria window's
// Recount, on a working record file the batch tool's load left behind. Prints one
// "operation<TAB>median seconds<TAB>slowest seconds<TAB>entries" line per call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "io/file_error.h"
#include "records/vendor_list.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void report(const char* name, std::vector<double> times, std::size_t entries) {
    std::sort(times.begin(), times.end());
    std::printf("%s\t%.4f\t%.4f\t%zu\n", name, times[times.size() / 2], times.back(), entries);
}

// Runs `call` `reps` times; it returns how many entries the window would list.
void time(const char* name, int reps, const std::function<std::size_t()>& call) {
    std::vector<double> times;
    std::size_t entries = 0;
    for (int i = 0; i < reps; ++i) {
        const auto start = Clock::now();
        entries = call();
        times.push_back(seconds(start));
    }
    report(name, times, entries);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmora-window-timing OUTPUT1 VLIDENT REPS\n");
        return 2;
    }
    const std::filesystem::path workingFile = argv[1];
    const std::filesystem::path vendorFile = argv[2];
    const int reps = std::max(1, std::atoi(argv[3]));
    using namespace velmora;
    try {
        time("open AP name window (readNetworkGroups)", reps,
             [&] { return readNetworkGroups(workingFile).size(); });
        time("open MAC window (LoadVendorList + loadApEntries)", reps, [&] {
            const VendorList vendors = LoadVendorList(vendorFile);
            return loadApEntries(workingFile).size();
        });
        CriteriaIndex index;
        time("open criteria window (LoadVendorList + CriteriaIndex::build)", reps, [&] {
            const VendorList vendors = LoadVendorList(vendorFile);
            index = CriteriaIndex::build(workingFile);
            return index.networkNames().size();
        });
        // Every name under every choice of the two option groups: the slowest is what counts.
        std::vector<double> recounts;
        std::size_t most = 0;
        for (const std::string& name : index.networkNames())
            for (auto type : {ConnectionType::Bss, ConnectionType::AdHoc, ConnectionType::Both})
                for (auto wep : {WepStatus::On, WepStatus::Off, WepStatus::Both}) {
                    const auto start = Clock::now();
                    most = std::max(most, index.recount(name, type, wep).size());
                    recounts.push_back(seconds(start));
                }
        if (!recounts.empty()) report("criteria Recount (every name and choice)", recounts, most);
    } catch (const FileError& e) {
        std::fprintf(stderr, "velmora-window-timing: %s\n", e.what());
        return 1;
    }
    return 0;
}
