// SPDX-License-Identifier: GPL-3.0-or-later
// Times the core calls the Advanced windows make when they open, the criteria window's
// Recount, and the map window's opening and redraws, on a working record file the batch
// tool's load left behind; where the build has the windows, also the MAC window itself,
// opened on the offscreen platform until its list is painted. Prints one
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
#include "map/sighting_map.h"
#include "records/vendor_list.h"
#include "timing_report.h"

#ifdef VELMORA_TIMING_WINDOWS
#include <QApplication>
#include <QListView>

#include "ui/Form3.h"
#include "ui/advanced_window.h"
#endif

namespace {

using velmora::bench::Clock;
using velmora::bench::report;
using velmora::bench::seconds;

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

// The map window's calls: opening (building the map, per sighting and per access point), and
// redrawing a 1000 x 700 view fitted to every sighting, and of a city and a street around a
// sighting in the middle of the file.
void timeMap(const std::filesystem::path& workingFile, int reps) {
    using namespace velmora::map;
    SightingMap map;
    time("open map (SightingMap::build)", reps, [&] {
        map = SightingMap::build(workingFile, false);
        return map.size();
    });
    time("open map, one pin per access point", reps,
         [&] { return SightingMap::build(workingFile, true).size(); });
    std::printf("map memory (bytes per sighting)\t%.1f\t%.1f\t%zu\n",
                static_cast<double>(map.memoryBytes()) / static_cast<double>(map.size()),
                static_cast<double>(map.memoryBytes()) / static_cast<double>(map.size()),
                map.size());
    WorldPoint topLeft, bottomRight;
    if (!map.bounds(topLeft, bottomRight, false)) return;
    const auto viewAround = [](WorldPoint centre, int zoom) {
        const double scale = scaleToZoom(zoom);
        return View{centre.x * scale - 500, centre.y * scale - 350, 1000, 700, zoom};
    };
    int fit = 0;
    while (fit < kMaxZoom && (bottomRight.x - topLeft.x) * scaleToZoom(fit + 1) < 1000 &&
           (bottomRight.y - topLeft.y) * scaleToZoom(fit + 1) < 700)
        ++fit;
    const WorldPoint middle = fromFixed(map.points()[map.size() / 2].position);
    const WorldPoint centre{(topLeft.x + bottomRight.x) / 2, (topLeft.y + bottomRight.y) / 2};
    const std::pair<const char*, View> views[] = {
        {"map redraw, every sighting (dots)", viewAround(centre, fit)},
        {"map redraw, a city (zoom 13)", viewAround(middle, 13)},
        {"map redraw, a street (zoom 17)", viewAround(middle, 17)},
    };
    for (const auto& [name, view] : views)
        time(name, std::max(reps, 5), [&] { return map.dots(view, kAllStatuses).size(); });
}

#ifdef VELMORA_TIMING_WINDOWS
// The MAC window as the user meets it: made (vendor list, entries, list), shown, its list
// painted once.
void timeMacWindow(const std::filesystem::path& workingFile,
                   const std::filesystem::path& vendorFile, int reps) {
    using namespace velmora;
    QWidget owner;
    const AdvancedWindowPaths paths{workingFile, vendorFile, exportFolder};
    time("open MAC window (Form3 shown and painted)", reps, [&] {
        Form3 window(owner, paths);
        window.show();
        auto* list = window.findChild<QListView*>(QStringLiteral("List2"));
        list->grab();
        return static_cast<std::size_t>(list->model()->rowCount());
    });
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmora-window-timing OUTPUT1 VLIDENT REPS\n");
        return 2;
    }
    const std::filesystem::path workingFile = argv[1];
    const std::filesystem::path vendorFile = argv[2];
    const int reps = std::max(1, std::atoi(argv[3]));
#ifdef VELMORA_TIMING_WINDOWS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#endif
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
#ifdef VELMORA_TIMING_WINDOWS
        timeMacWindow(workingFile, vendorFile, reps);
#endif
    } catch (const FileError& e) {
        std::fprintf(stderr, "velmora-window-timing: %s\n", e.what());
        return 1;
    }
    return 0;
}
