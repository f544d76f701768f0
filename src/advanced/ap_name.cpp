// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/ap_name.h"

#include <algorithm>

#include "advanced/distinct_keys.h"
#include "export/styled_export.h"
#include "records/record_walk.h"
#include "records/working_record.h"

namespace velmora {

std::vector<NetworkGroup> readNetworkGroups(const std::filesystem::path& workingFile) {
    // Distinct (group, BSSID) pairs as numbers: a sighting already seen allocates nothing.
    const distinct::NameBssidPairs read = distinct::readNameBssidPairs(workingFile);
    const distinct::Interner& groups = read.names;
    std::vector<std::uint64_t> counts(groups.size());
    read.pairs.forEach([&](std::uint64_t group, std::uint64_t) { ++counts[group]; });

    std::vector<NetworkGroup> list;
    list.reserve(groups.size());
    for (std::uint32_t g = 0; g < groups.size(); ++g) list.push_back({groups.text(g), counts[g]});
    // std::string compares as unsigned bytes: 8-bit names sort after ASCII ones.
    std::sort(list.begin(), list.end(),
              [](const NetworkGroup& a, const NetworkGroup& b) { return a.name < b.name; });
    return list;
}

std::uint64_t countUniqueAccessPoints(const std::filesystem::path& workingFile,
                                      std::string_view group) {
    distinct::Interner otherBssids;
    distinct::PairSet accessPoints;
    forEachRecord(workingFile, [&](const RecordFields& fields) {
        if (equalsUpperAscii(fields[WorkingRecord::SSID], group))
            accessPoints.add(0, distinct::bssidKey(fields[WorkingRecord::BSSID], otherBssids));
    });
    accessPoints.flush();
    return accessPoints.size();
}

std::string uniqueApLabelText(std::uint64_t count) {
    return "Unique AP's in Group List : " + std::to_string(count);
}

std::string apNameFileName(std::string_view group) {
    std::string name = "AP-";
    name.append(group).append(".TXT");
    return name;
}

std::string apNameFileName(std::string_view group, ExportFormat format) {
    std::string stem = "AP-";
    stem.append(group);
    return advancedExportFileName(stem, apNameFileName(group), format);
}

RecordSelection apNameSelection(std::string_view group) {
    return {[group = std::string(group)](const RecordFields& fields) {
                return equalsUpperAscii(fields[WorkingRecord::SSID], group);
            },
            UpperCase::Ssid};
}

std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group) {
    return exportApNameGroup(workingFile, target, group, ExportStyle{});
}

std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group,
                                const ExportStyle& style) {
    return writeStyledExport(workingFile, target, apNameSelection(group), style);
}

}  // namespace velmora
