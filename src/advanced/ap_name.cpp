#include "advanced/ap_name.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "export/export_walk.h"
#include "records/record_reader.h"
#include "records/working_record.h"

namespace velmora {

namespace {

// Whether `field`, upper-cased, equals `group`; spares a copy per record.
bool upperEquals(std::string_view field, std::string_view group) {
    if (field.size() != group.size()) return false;
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != group[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<NetworkGroup> readNetworkGroups(const std::filesystem::path& workingFile) {
    // The reader refills every field on each call, so the record's own strings serve as the
    // upper-cased keys; a key is copied only when it is new.
    std::unordered_map<std::string, std::unordered_set<std::string>> groups;
    RecordReader reader(workingFile);
    WorkingRecord record;
    while (reader.next(record)) {
        std::string& ssid = record[WorkingRecord::SSID];
        std::string& bssid = record[WorkingRecord::BSSID];
        upperAsciiInPlace(ssid);
        upperAsciiInPlace(bssid);
        auto group = groups.find(ssid);
        if (group == groups.end()) group = groups.try_emplace(ssid).first;
        if (!group->second.contains(bssid)) group->second.insert(bssid);
    }

    std::vector<NetworkGroup> list;
    list.reserve(groups.size());
    for (const auto& [name, accessPoints] : groups) list.push_back({name, accessPoints.size()});
    // std::string compares as unsigned bytes: 8-bit names sort after ASCII ones.
    std::sort(list.begin(), list.end(),
              [](const NetworkGroup& a, const NetworkGroup& b) { return a.name < b.name; });
    return list;
}

std::uint64_t countUniqueAccessPoints(const std::filesystem::path& workingFile,
                                      std::string_view group) {
    std::unordered_set<std::string> accessPoints;
    RecordReader reader(workingFile);
    WorkingRecord record;
    while (reader.next(record)) {
        if (!upperEquals(record[WorkingRecord::SSID], group)) continue;
        std::string& bssid = record[WorkingRecord::BSSID];
        upperAsciiInPlace(bssid);
        if (!accessPoints.contains(bssid)) accessPoints.insert(bssid);
    }
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

std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group) {
    return exportWalk(
        workingFile, target,
        [group](const WorkingRecord& record) {
            return upperEquals(record[WorkingRecord::SSID], group);
        },
        [](WorkingRecord& record) { upperAsciiInPlace(record[WorkingRecord::SSID]); });
}

}  // namespace velmora
