// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a working record file for the Advanced windows' readers: the network
// groups are distinct and sorted and their counts agree with the one-group count, the
// criteria index answers every recount as reading the file does, the AP entries are
// distinct and sorted, and every main and Advanced export equals the plain reading of the file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
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

    // Every export must write what the plain reading of the file gives.
    using fuzz::Record;
    const auto same = [&](const std::filesystem::path& written, const std::string& expected,
                          const char* what) {
        fuzz::check(fuzz::readAll(written) == expected, what);
    };
    for (auto kind : {MainExport::ConvertAll, MainExport::Locked, MainExport::Open,
                      MainExport::Infrastructure, MainExport::AdHoc}) {
        const auto written = runMainExport(kind, file, fuzz::scratchFolder(), "w.txt");
        same(written,
             fuzz::referenceExport(bytes,
                                   [kind](const Record& r) {
                                       return mainExportPasses(kind, r[WorkingRecord::Flags]);
                                   }),
             "main export differs from the plain export");
    }

    const auto entries = loadApEntries(file);
    fuzz::check(strictlyAscending(entries, [](const std::string& s) { return s; }),
                "AP entries not distinct and sorted");

    const auto upper = [](std::string& text) { text = toUpperAscii(text); };
    for (const std::string& name : names) {
        const auto group = fuzz::scratchFolder() / "group.txt";
        exportApNameGroup(file, group, name);
        same(group,
             fuzz::referenceExport(
                 bytes,
                 [&](const Record& r) { return toUpperAscii(r[WorkingRecord::SSID]) == name; },
                 [&](Record& r) { upper(r[WorkingRecord::SSID]); }),
             "AP name export differs from the plain export");
        const auto criteria = fuzz::scratchFolder() / "criteria.txt";
        exportCriteria(file, criteria, {name, "", ConnectionType::Bss, WepStatus::On});
        same(criteria,
             fuzz::referenceExport(
                 bytes,
                 [&](const Record& r) {
                     return toUpperAscii(r[WorkingRecord::SSID]) == name &&
                            passesConnectionType(ConnectionType::Bss, r[WorkingRecord::Flags]) &&
                            passesWepStatus(WepStatus::On, r[WorkingRecord::Flags]);
                 },
                 [&](Record& r) {
                     upper(r[WorkingRecord::SSID]);
                     upper(r[WorkingRecord::BSSID]);
                 }),
             "criteria export differs from the plain export");
    }
    for (std::size_t i = 0; i < entries.size() && i < 2; ++i) {
        const auto mac = exportMacAddress(file, entries[i], fuzz::scratchFolder(), "mac.txt");
        const std::string wanted(entryMacAddress(entries[i]));
        same(mac.target,
             fuzz::referenceExport(
                 bytes,
                 [&](const Record& r) { return toUpperAscii(r[WorkingRecord::BSSID]) == wanted; },
                 [&](Record& r) { upper(r[WorkingRecord::BSSID]); }),
             "MAC export differs from the plain export");
    }
    return 0;
}
