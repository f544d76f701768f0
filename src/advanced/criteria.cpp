#include "advanced/criteria.h"

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <unordered_set>

#include "export/export_walk.h"
#include "records/record_reader.h"
#include "records/working_record.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool isOneOf(char c, std::string_view set) {
    return c != '\0' && set.find(c) != set.npos;
}

bool passesFlags(ConnectionType type, WepStatus wep, std::string_view flags) {
    return passesConnectionType(type, flags) && passesWepStatus(wep, flags);
}

// Equal to `upper` once the ASCII letters of `text` are upper-cased; no copy is made.
bool equalsUpperCased(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

struct SightingHash {
    std::size_t operator()(const std::pair<std::string, std::string>& s) const {
        const std::size_t a = std::hash<std::string>{}(s.first);
        const std::size_t b = std::hash<std::string>{}(s.second);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};

}  // namespace

bool passesConnectionType(ConnectionType type, std::string_view flags) {
    switch (type) {
        case ConnectionType::Bss:
            return isOneOf(lastChar(flags), "159");
        case ConnectionType::AdHoc:
            return isOneOf(lastChar(flags), "026");
        case ConnectionType::Both:
            return true;
    }
    return false;
}

bool passesWepStatus(WepStatus wep, std::string_view flags) {
    switch (wep) {
        case WepStatus::On:
            return isOneOf(secondFromRight(flags), "1359");
        case WepStatus::Off:
            return isOneOf(secondFromRight(flags), "0248");
        case WepStatus::Both:
            return true;
    }
    return false;
}

std::vector<std::string> recountByReading(const fs::path& workingFile, std::string_view name,
                                          ConnectionType type, WepStatus wep) {
    std::set<std::string> macs;
    if (name.empty()) return {};
    RecordReader reader(workingFile);
    WorkingRecord record;
    while (reader.next(record)) {
        if (!equalsUpperCased(record[WorkingRecord::SSID], name)) continue;
        if (!passesFlags(type, wep, record[WorkingRecord::Flags])) continue;
        macs.insert(toUpperAscii(record[WorkingRecord::BSSID]));
    }
    return {macs.begin(), macs.end()};
}

CriteriaIndex CriteriaIndex::build(const fs::path& workingFile) {
    // Sets while reading keep memory to the distinct pairs however many sightings repeat them.
    std::unordered_map<std::string, std::unordered_set<Sighting, SightingHash>> sets;
    RecordReader reader(workingFile);
    WorkingRecord record;
    Sighting sighting;
    while (reader.next(record)) {
        std::string& ssid = record[WorkingRecord::SSID];
        upperAsciiInPlace(ssid);
        sighting.first = record[WorkingRecord::BSSID];
        upperAsciiInPlace(sighting.first);
        sighting.second = record[WorkingRecord::Flags];
        auto group = sets.find(ssid);
        if (group == sets.end()) group = sets.emplace(ssid, decltype(sets)::mapped_type{}).first;
        group->second.insert(sighting);
    }

    CriteriaIndex index;
    index.names_.reserve(sets.size());
    for (auto& [name, pairs] : sets) {
        index.names_.push_back(name);
        // Sorted by BSSID so a recount needs neither a sort nor a search.
        std::vector<Sighting> list(pairs.begin(), pairs.end());
        std::sort(list.begin(), list.end());
        index.byName_.emplace(name, std::move(list));
    }
    std::sort(index.names_.begin(), index.names_.end());
    return index;
}

std::vector<std::string> CriteriaIndex::recount(std::string_view name, ConnectionType type,
                                                WepStatus wep) const {
    std::vector<std::string> macs;
    if (name.empty()) return macs;
    const auto group = byName_.find(std::string(name));
    if (group == byName_.end()) return macs;
    for (const auto& [mac, flags] : group->second) {
        if (!passesFlags(type, wep, flags)) continue;
        if (macs.empty() || macs.back() != mac) macs.push_back(mac);
    }
    return macs;
}

std::string matchingRecordsText(std::size_t count) {
    return "Matching Records:" + std::to_string(count);
}

bool criteriaExportAllowed(const CriteriaSelection& selection, std::size_t matchingCount) {
    return matchingCount > 0 && !selection.name.empty();
}

std::string macFileNameDigits(std::string_view mac) {
    std::string digits;
    for (const std::size_t k : {2, 5, 8, 11, 14, 17}) {
        const std::string_view first = mac.substr(0, std::min(k, mac.size()));
        digits.append(first.substr(first.size() - std::min<std::size_t>(2, first.size())));
    }
    return digits;
}

std::string criteriaFileName(const CriteriaSelection& selection) {
    if (selection.mode == CriteriaExportMode::MacAddress)
        return "Custom_MAC_" + macFileNameDigits(selection.mac) + ".TXT";
    return "Custom_SSID_" + selection.name + ".TXT";
}

std::uint64_t exportCriteria(const fs::path& workingFile, const fs::path& target,
                             const CriteriaSelection& selection) {
    const bool byMac = selection.mode == CriteriaExportMode::MacAddress;
    const std::string& wanted = byMac ? selection.mac : selection.name;
    const WorkingRecord::Field compared = byMac ? WorkingRecord::BSSID : WorkingRecord::SSID;
    return exportWalk(
        workingFile, target,
        [&](const WorkingRecord& record) {
            return equalsUpperCased(record[compared], wanted) &&
                   passesFlags(selection.type, selection.wep, record[WorkingRecord::Flags]);
        },
        [](WorkingRecord& record) {
            upperAsciiInPlace(record[WorkingRecord::SSID]);
            upperAsciiInPlace(record[WorkingRecord::BSSID]);
        });
}

}  // namespace velmora
