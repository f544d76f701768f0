// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/criteria.h"

#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "advanced/distinct_keys.h"
#include "export/styled_export.h"
#include "records/flags.h"
#include "records/record_walk.h"
#include "records/working_record.h"
#include "sightings/sighting_walk.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool passesFlags(ConnectionType type, WepStatus wep, std::string_view flags) {
    return passesConnectionType(type, flags) && passesWepStatus(wep, flags);
}

}  // namespace

bool passesConnectionType(ConnectionType type, std::string_view flags) {
    switch (type) {
        case ConnectionType::Bss:
            return flags::kCriteriaBss(flags);
        case ConnectionType::AdHoc:
            return flags::kCriteriaAdHoc(flags);
        case ConnectionType::Both:
            return true;
    }
    return false;
}

bool passesWepStatus(WepStatus wep, std::string_view flags) {
    switch (wep) {
        case WepStatus::On:
            return flags::kCriteriaWepOn(flags);
        case WepStatus::Off:
            return flags::kCriteriaWepOff(flags);
        case WepStatus::Both:
            return true;
    }
    return false;
}

std::vector<std::string> recountByReading(const fs::path& workingFile, std::string_view name,
                                          ConnectionType type, WepStatus wep) {
    std::set<std::string> macs;
    if (name.empty()) return {};
    forEachRecord(workingFile, [&](const RecordFields& fields) {
        if (equalsUpperAscii(fields[WorkingRecord::SSID], name) &&
            passesFlags(type, wep, fields[WorkingRecord::Flags]))
            macs.insert(toUpperAscii(fields[WorkingRecord::BSSID]));
    });
    return {macs.begin(), macs.end()};
}

CriteriaIndex CriteriaIndex::build(const fs::path& workingFile) {
    // Distinct (name, Flags, BSSID) triples as numbers while reading: memory stays with the
    // distinct triples however many sightings repeat them, and a repeat allocates nothing.
    // Names are numbered as SSID items, and exact names with the top bit set.
    constexpr std::uint64_t kExact = std::uint64_t{1} << 31;
    distinct::Interner items;
    distinct::Interner exactNames;
    distinct::Interner flagTexts;
    distinct::Interner otherBssids;
    distinct::PairSet triples;
    forEachNamedRecord(workingFile, [&](const RecordFields& fields, std::string_view exact) {
        const std::uint64_t name = !exact.empty() ? kExact | exactNames.upperId(exact)
                                                  : items.upperId(fields[WorkingRecord::SSID]);
        const std::uint64_t flags = flagTexts.id(fields[WorkingRecord::Flags]);
        triples.add(name | flags << 32,
                    distinct::bssidKey(fields[WorkingRecord::BSSID], otherBssids));
    });
    triples.flush();

    // Each name's sightings sorted as (BSSID, Flags) texts; the texts are then made in list
    // order.
    const std::size_t nameCount = items.size() + exactNames.size();
    const auto number = [&](std::uint64_t name) {
        return name & kExact ? items.size() + (name & ~kExact) : name;
    };
    const auto key = [&](std::size_t n) {
        return n < items.size()
                   ? NetworkName{items.text(static_cast<std::uint32_t>(n)), false}
                   : NetworkName{exactNames.text(static_cast<std::uint32_t>(n - items.size())),
                                 true};
    };
    std::vector<std::vector<distinct::BssidAndText>> lists(nameCount);
    triples.forEach([&](std::uint64_t nameAndFlags, std::uint64_t bssid) {
        lists[number(nameAndFlags & 0xffffffff)].push_back(
            {bssid, static_cast<std::uint32_t>(nameAndFlags >> 32)});
    });
    const auto rank = distinct::ranks(flagTexts);
    const auto sighting = [&](const distinct::BssidAndText& k) {
        return Sighting(distinct::bssidText(k.bssid, otherBssids), flagTexts.text(k.text));
    };
    CriteriaIndex index;
    index.keys_.reserve(nameCount);
    for (std::size_t n = 0; n < nameCount; ++n) {
        index.keys_.push_back(key(n));
        // Sorted by BSSID so a recount needs neither a sort nor a search.
        distinct::sortByEntryText(lists[n], rank, sighting);
        std::vector<Sighting> list;
        list.reserve(lists[n].size());
        for (const distinct::BssidAndText& k : lists[n]) list.push_back(sighting(k));
        std::vector<distinct::BssidAndText>().swap(lists[n]);
        index.byName_.emplace(mapKey(index.keys_.back()), std::move(list));
    }
    std::sort(index.keys_.begin(), index.keys_.end());
    index.names_.reserve(nameCount);
    for (const NetworkName& name : index.keys_) index.names_.push_back(name.text);
    return index;
}

NamedRecount recountNamed(const fs::path& workingFile, std::string_view name, ConnectionType type,
                          WepStatus wep) {
    // The distinct (kind, BSSID key) of the records named `name` that pass both tests, the kind
    // 1 for those named by their exact name, 0 by their SSID item. Any record named by the
    // item makes the name the item, as in the index, whether or not it passes.
    distinct::PairSet named;
    distinct::Interner otherBssids;
    bool item = false;
    forEachNamedRecord(workingFile, [&](const RecordFields& fields, std::string_view exact) {
        const bool isExact = !exact.empty();
        if (!equalsUpperAscii(isExact ? exact : fields[WorkingRecord::SSID], name)) return;
        item = item || !isExact;
        if (passesFlags(type, wep, fields[WorkingRecord::Flags]))
            named.add(isExact, distinct::bssidKey(fields[WorkingRecord::BSSID], otherBssids));
    });
    named.flush();
    NamedRecount result;
    result.exact = !item;
    if (name.empty()) return result;
    named.forEach([&](std::uint64_t isExact, std::uint64_t bssid) {
        if (isExact == result.exact) result.macs.push_back(distinct::bssidText(bssid, otherBssids));
    });
    std::sort(result.macs.begin(), result.macs.end());
    return result;
}

std::string CriteriaIndex::mapKey(const NetworkName& name) {
    return (name.exact ? "+" : "-") + name.text;
}

std::vector<std::string> CriteriaIndex::recount(std::string_view name, ConnectionType type,
                                                WepStatus wep) const {
    return recount(named(name), type, wep);
}

NetworkName CriteriaIndex::named(std::string_view name) const {
    NetworkName item{std::string(name), false};
    if (byName_.count(mapKey(item))) return item;
    item.exact = true;
    return item;
}

std::vector<std::string> CriteriaIndex::recount(const NetworkName& name, ConnectionType type,
                                                WepStatus wep) const {
    std::vector<std::string> macs;
    if (name.text.empty()) return macs;
    const auto group = byName_.find(mapKey(name));
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

std::string criteriaFileName(const CriteriaSelection& selection, ExportFormat format) {
    const std::string stem = selection.mode == CriteriaExportMode::MacAddress
                                 ? "Custom_MAC_" + macFileNameDigits(selection.mac)
                                 : "Custom_SSID_" + selection.name;
    return advancedExportFileName(stem, criteriaFileName(selection), format);
}

RecordSelection criteriaExportSelection(const CriteriaSelection& selection) {
    const bool byMac = selection.mode == CriteriaExportMode::MacAddress;
    if (!byMac) {
        RecordSelection byName;
        byName.filter = [type = selection.type, wep = selection.wep](const RecordFields& fields) {
            return passesFlags(type, wep, fields[WorkingRecord::Flags]);
        };
        byName.byExtras = [name = NetworkName{selection.name, selection.exactName}](
                              const RecordFields& fields, const RecordExtras& extras) {
            return isNamed(fields, extras, name);
        };
        byName.upper = UpperCase::SsidAndBssid;
        return byName;
    }
    return {[mac = selection.mac, type = selection.type,
             wep = selection.wep](const RecordFields& fields) {
                return equalsUpperAscii(fields[WorkingRecord::BSSID], mac) &&
                       passesFlags(type, wep, fields[WorkingRecord::Flags]);
            },
            UpperCase::SsidAndBssid};
}

std::uint64_t exportCriteria(const fs::path& workingFile, const fs::path& target,
                             const CriteriaSelection& selection) {
    return exportCriteria(workingFile, target, selection, ExportStyle{});
}

std::uint64_t exportCriteria(const fs::path& workingFile, const fs::path& target,
                             const CriteriaSelection& selection, const ExportStyle& style) {
    return writeStyledExport(workingFile, target, criteriaExportSelection(selection), style);
}

}  // namespace velmora
