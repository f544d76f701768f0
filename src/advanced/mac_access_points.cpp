// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/mac_access_points.h"

#include <utility>

#include "advanced/distinct_keys.h"
#include "export/styled_export.h"
#include "records/record_walk.h"

namespace velmora {

std::string apEntry(const WorkingRecord& record) {
    std::string entry = toUpperAscii(record[WorkingRecord::BSSID]);
    entry += " - ";
    entry += toUpperAscii(record[WorkingRecord::SSID]);
    return entry;
}

std::vector<std::string> loadApEntries(const std::filesystem::path& workingFile) {
    return loadApEntryList(workingFile).entries;
}

ApEntryList loadApEntryList(const std::filesystem::path& workingFile) {
    // Distinct (network name, BSSID) pairs as numbers; the texts are made once per entry.
    const distinct::NameBssidPairs read = distinct::readNameBssidPairs(workingFile);
    const distinct::Interner& otherBssids = read.otherBssids;
    const distinct::PairSet& pairs = read.pairs;

    // Sorted as the entries' texts; the texts are then made in list order.
    std::vector<distinct::BssidAndText> keys;
    keys.reserve(pairs.size());
    pairs.forEach([&](std::uint64_t name, std::uint64_t bssid) {
        keys.push_back({bssid, read.nameNumber(name)});
    });
    const auto text = [&](const distinct::BssidAndText& k) {
        return distinct::bssidText(k.bssid, otherBssids) + " - " + read.nameText(k.text);
    };
    const std::vector<std::uint32_t> rank = read.nameRanks();
    distinct::sortByEntryText(keys, rank, [&](const distinct::BssidAndText& k) {
        // Entries of one text: an SSID item's first.
        return std::make_pair(text(k), rank[k.text]);
    });
    ApEntryList list;
    list.entries.reserve(keys.size());
    list.exactName.reserve(keys.size());
    for (const distinct::BssidAndText& k : keys) {
        list.entries.push_back(text(k));
        list.exactName.push_back(read.isExact(k.text));
    }
    return list;
}

std::string uniqueApLabel(std::size_t count) {
    return "Number Of Unique AP's ->" + std::to_string(count);
}

std::string_view entryMacAddress(std::string_view entry) {
    return entry.substr(0, kMacLength);
}

std::string macExportFileName(std::string_view entry) {
    std::string name = "MAC_";
    const std::string_view mac = entryMacAddress(entry);
    // Characters 3, 6, 9, 12 and 15 (counted from 1) are the colons.
    for (std::size_t i = 0; i < mac.size(); ++i)
        if (i % 3 != 2) name += mac[i];
    return name;
}

std::string macExportFileName(std::string_view entry, ExportFormat format) {
    const std::string name = macExportFileName(entry);
    return advancedExportFileName(name, name, format);
}

bool hasMacAddress(const std::filesystem::path& workingFile, std::string_view entry) {
    const std::string_view mac = entryMacAddress(entry);
    bool found = false;
    forEachRecord(workingFile, [&](const RecordFields& fields) {
        found = equalsUpperAscii(fields[WorkingRecord::BSSID], mac);
        return !found;
    });
    return found;
}

RecordSelection macAddressSelection(std::string_view entry) {
    return {[mac = std::string(entryMacAddress(entry))](const RecordFields& fields) {
                return equalsUpperAscii(fields[WorkingRecord::BSSID], mac);
            },
            UpperCase::Bssid};
}

MacExportResult exportMacAddress(const std::filesystem::path& workingFile, std::string_view entry,
                                 const std::filesystem::path& folder,
                                 const std::filesystem::path& fileName) {
    return exportMacAddress(workingFile, entry, folder, fileName, ExportStyle{});
}

MacExportResult exportMacAddress(const std::filesystem::path& workingFile, std::string_view entry,
                                 const std::filesystem::path& folder,
                                 const std::filesystem::path& fileName, const ExportStyle& style) {
    MacExportResult result;
    result.target = folder / fileName.filename();
    result.lines = writeStyledExport(workingFile, result.target, macAddressSelection(entry), style);
    return result;
}

}  // namespace velmora
