// Arbitrary bytes as a working record file for the Advanced windows' readers: the network
// groups are distinct and sorted and their counts agree with the one-group count, the
// criteria index answers every recount as reading the file does, the AP entries are
// distinct and sorted, and every main and Advanced export equals the plain record walk.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "export/export_walk.h"
#include "export/main_exports.h"
#include "support.h"

using namespace velmora;

namespace {

template <typename T, typename Key>
bool strictlyAscending(const std::vector<T>& items, Key key) {
    for (std::size_t i = 1; i < items.size(); ++i)
        if (!(key(items[i - 1]) < key(items[i]))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto file = fuzz::scratchFile("output1", bytes);

    const auto groups = readNetworkGroups(file);
    fuzz::check(strictlyAscending(groups, [](const NetworkGroup& g) { return g.name; }),
                "groups not distinct and sorted");
    for (std::size_t i = 0; i < groups.size() && i < 4; ++i)
        fuzz::check(countUniqueAccessPoints(file, groups[i].name) == groups[i].uniqueAccessPoints,
                    "one-group count differs");

    const CriteriaIndex index = CriteriaIndex::build(file);
    std::vector<std::string> names;
    for (const NetworkGroup& g : groups) names.push_back(g.name);
    fuzz::check(index.networkNames() == names, "index names differ from the groups");
    names.resize(std::min<std::size_t>(names.size(), 2));
    names.push_back("");
    for (const std::string& name : names)
        for (auto type : {ConnectionType::Bss, ConnectionType::AdHoc, ConnectionType::Both})
            for (auto wep : {WepStatus::On, WepStatus::Off, WepStatus::Both}) {
                const auto fromIndex = index.recount(name, type, wep);
                fuzz::check(fromIndex == recountByReading(file, name, type, wep),
                            "index recount differs from reading");
                fuzz::check(strictlyAscending(fromIndex, [](const std::string& s) { return s; }),
                            "recount not distinct and sorted");
            }

    // The main exports view the items in place; the record walk must write the same file.
    for (auto kind : {MainExport::ConvertAll, MainExport::Locked, MainExport::Open,
                      MainExport::Infrastructure, MainExport::AdHoc}) {
        const auto viewed = runMainExport(kind, file, fuzz::scratchFolder(), "w.txt");
        const auto copied = fuzz::scratchFolder() / "walk.txt";
        exportWalk(file, copied, [kind](const WorkingRecord& r) {
            return mainExportPasses(kind, r[WorkingRecord::Flags]);
        });
        fuzz::check(fuzz::readAll(viewed) == fuzz::readAll(copied),
                    "main export differs from the walk");
    }

    const auto entries = loadApEntries(file);
    fuzz::check(strictlyAscending(entries, [](const std::string& s) { return s; }),
                "AP entries not distinct and sorted");

    // The Advanced exports view the items and upper-case them in the line; the record walk
    // with their filter and change must write the same file.
    const auto walked = fuzz::scratchFolder() / "walk.txt";
    const auto same = [&](const std::filesystem::path& viewed, const std::string& what) {
        fuzz::check(fuzz::readAll(viewed) == fuzz::readAll(walked), what.c_str());
    };
    const auto upper = [](WorkingRecord& r) {
        upperAsciiInPlace(r[WorkingRecord::SSID]);
        upperAsciiInPlace(r[WorkingRecord::BSSID]);
    };
    for (const std::string& name : names) {
        const auto group = fuzz::scratchFolder() / "group.txt";
        exportApNameGroup(file, group, name);
        exportWalk(
            file, walked,
            [&](const WorkingRecord& r) { return equalsUpperAscii(r[WorkingRecord::SSID], name); },
            [](WorkingRecord& r) { upperAsciiInPlace(r[WorkingRecord::SSID]); });
        same(group, "AP name export differs from the walk");
        const auto criteria = fuzz::scratchFolder() / "criteria.txt";
        const CriteriaSelection selection{name, "", ConnectionType::Bss, WepStatus::On};
        exportCriteria(file, criteria, selection);
        exportWalk(
            file, walked,
            [&](const WorkingRecord& r) {
                return equalsUpperAscii(r[WorkingRecord::SSID], name) &&
                       passesConnectionType(ConnectionType::Bss, r[WorkingRecord::Flags]) &&
                       passesWepStatus(WepStatus::On, r[WorkingRecord::Flags]);
            },
            upper);
        same(criteria, "criteria export differs from the walk");
    }
    for (std::size_t i = 0; i < entries.size() && i < 2; ++i) {
        const auto mac = exportMacAddress(file, entries[i], fuzz::scratchFolder(), "mac.txt");
        const std::string wanted(entryMacAddress(entries[i]));
        exportWalk(
            file, walked,
            [&](const WorkingRecord& r) { return toUpperAscii(r[WorkingRecord::BSSID]) == wanted; },
            [](WorkingRecord& r) { upperAsciiInPlace(r[WorkingRecord::BSSID]); });
        same(mac.target, "MAC export differs from the walk");
    }
    return 0;
}
