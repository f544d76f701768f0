// Times the core calls the Advanced windows make when they open, the criteria window's
// Recount, and the map window's: building its sighting map when it opens and the dots of a
// 1000 x 700 view at three zoom levels (every sighting, a city, a street), on a working record
// file the batch tool's load left behind. Prints one
// "operation<TAB>median seconds<TAB>slowest seconds<TAB>entries" line per call.
#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "map/sighting_map.h"
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

// The map's dots of a 1000 x 700 view at `zoom` centred on `centre` (zoom 0 world pixels),
// panned a little between runs as a drag would.
void timeMapView(const velmora::map::SightingMap& map, const char* name, int zoom,
                 velmora::map::WorldPoint centre, int reps) {
    using namespace velmora::map;
    std::vector<double> times;
    std::size_t dots = 0;
    const double scale = std::ldexp(1.0, zoom);
    for (int i = 0; i < std::max(reps, 5); ++i) {
        View view;
        view.width = 1000;
        view.height = 700;
        view.zoom = zoom;
        view.left = std::floor(centre.x * scale) - 500 + 37 * i;
        view.top = std::floor(centre.y * scale) - 350 + 23 * i;
        const auto start = Clock::now();
        dots = map.dots(view, kAllStatuses).size();
        times.push_back(seconds(start));
    }
    report(name, times, dots);
}

void timeMap(const std::filesystem::path& workingFile, int reps) {
    using namespace velmora::map;
    SightingMap map;
    time("open map window (SightingMap::build)", reps, [&] {
        map = SightingMap::build(workingFile, false);
        return map.size();
    });
    time("open map window, one pin per AP (SightingMap::build)", reps,
         [&] { return SightingMap::build(workingFile, true).size(); });
    WorldPoint topLeft, bottomRight;
    if (!map.bounds(topLeft, bottomRight, false)) return;
    const WorldPoint centre{(topLeft.x + bottomRight.x) / 2, (topLeft.y + bottomRight.y) / 2};
    // The zoom the window's Fit picks: the largest that holds every sighting.
    int fit = 1;
    while (fit < 17 && (bottomRight.x - topLeft.x) * std::ldexp(1.0, fit + 1) <= 950 &&
           (bottomRight.y - topLeft.y) * std::ldexp(1.0, fit + 1) <= 650)
        ++fit;
    timeMapView(map, "map redraw, every sighting (dots of 1000x700 at the fitted zoom)", fit,
                centre, reps);
    timeMapView(map, "map redraw, a city (dots of 1000x700 at zoom 13)", 13, centre, reps);
    timeMapView(map, "map redraw, a street (dots of 1000x700 at zoom 17)", 17, centre, reps);
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
        timeMap(workingFile, reps);
    } catch (const FileError& e) {
        std::fprintf(stderr, "velmora-window-timing: %s\n", e.what());
        return 1;
    }
    return 0;
}
