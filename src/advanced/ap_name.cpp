// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/ap_name.h"

#include <algorithm>

#include "advanced/distinct_keys.h"
#include "export/styled_export.h"
#include "records/ascii.h"
#include "records/record_walk.h"
#include "records/working_record.h"

namespace velmora {

std::vector<NetworkGroup> readNetworkGroups(const std::filesystem::path& workingFile) {
    // Distinct (group, BSSID) pairs as numbers: a sighting already seen allocates nothing.
    const distinct::NameBssidPairs read = distinct::readNameBssidPairs(workingFile);
    std::vector<std::uint64_t> counts(read.nameCount());
    read.pairs.forEach(
        [&](std::uint64_t group, std::uint64_t) { ++counts[read.nameNumber(group)]; });

    std::vector<NetworkGroup> list;
    list.reserve(counts.size());
    for (std::uint32_t g = 0; g < counts.size(); ++g) {
        NetworkGroup group{read.nameText(g), counts[g], read.isExact(g), {}};
        if (group.exact) group.itemName = read.exactNameItems[g - read.names.size()];
        list.push_back(std::move(group));
    }
    // std::string compares as unsigned bytes: 8-bit names sort after ASCII ones.
    std::sort(list.begin(), list.end(), [](const NetworkGroup& a, const NetworkGroup& b) {
        return a.name != b.name ? a.name < b.name : a.exact < b.exact;
    });
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

const NetworkGroup* findNetworkGroup(const std::vector<NetworkGroup>& groups,
                                     std::string_view typed) {
    const std::string name = toUpperAscii(typed);
    const NetworkGroup* found = nullptr;
    for (const NetworkGroup& group : groups)
        if (group.name == name && (!found || group.exact)) found = &group;
    return found;
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

namespace {

// Whether another group of the log has the text an exact name's Streets and Trips file takes.
bool sharesItemName(const NetworkGroup& group, const std::vector<NetworkGroup>& groups) {
    return std::any_of(groups.begin(), groups.end(), [&](const NetworkGroup& other) {
        return &other != &group && (other.exact ? other.itemName : other.name) == group.itemName;
    });
}

}  // namespace

std::string apNameFileName(const NetworkGroup& group, const std::vector<NetworkGroup>& groups,
                           ExportFormat format) {
    if (!group.exact) return apNameFileName(group.name, format);
    const std::string streetsAndTrips =
        apNameFileName(sharesItemName(group, groups) ? group.name : group.itemName);
    return advancedExportFileName("AP-" + group.name, streetsAndTrips, format);
}

bool apNameFileNameIsUtf8(const NetworkGroup& group, const std::vector<NetworkGroup>& groups,
                          ExportFormat format) {
    return group.exact &&
           (format != ExportFormat::StreetsAndTrips || sharesItemName(group, groups));
}

RecordSelection apNameSelection(const NetworkName& name) {
    RecordSelection selection;
    // The name is in the extras for an exact one, and which kind a record is named by is too.
    selection.filter = [](const RecordFields&) { return true; };
    selection.byExtras = [name](const RecordFields& fields, const RecordExtras& extras) {
        return isNamed(fields, extras, name);
    };
    selection.upper = UpperCase::Ssid;
    return selection;
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

std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, const NetworkName& name,
                                const ExportStyle& style) {
    return writeStyledExport(workingFile, target, apNameSelection(name), style);
}

}  // namespace velmora
