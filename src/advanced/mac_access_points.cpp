#include "advanced/mac_access_points.h"

#include <algorithm>

#include "advanced/distinct_keys.h"
#include "export/export_walk.h"
#include "records/record_walk.h"

namespace velmora {

namespace {

constexpr std::size_t kMacLength = 17;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string apEntry(const WorkingRecord& record) {
    std::string entry = toUpperAscii(record[WorkingRecord::BSSID]);
    entry += " - ";
    entry += toUpperAscii(record[WorkingRecord::SSID]);
    return entry;
}

std::vector<std::string> loadApEntries(const std::filesystem::path& workingFile) {
    // Distinct (network name, BSSID) pairs as numbers; the texts are made once per entry.
    const distinct::NameBssidPairs read = distinct::readNameBssidPairs(workingFile);
    const distinct::Interner& names = read.names;
    const distinct::Interner& otherBssids = read.otherBssids;
    const distinct::PairSet& pairs = read.pairs;

    // Sorted as numbers where that gives the byte order of the entries (both MAC addresses),
    // by the entries' texts otherwise; the texts are then made in list order.
    struct Key {
        std::uint64_t bssid;
        std::uint32_t name;
    };
    std::vector<Key> keys;
    keys.reserve(pairs.size());
    pairs.forEach([&](std::uint64_t name, std::uint64_t bssid) {
        keys.push_back({bssid, static_cast<std::uint32_t>(name)});
    });
    const auto rank = distinct::ranks(names);
    const auto text = [&](const Key& k) {
        return distinct::bssidText(k.bssid, otherBssids) + " - " + names.text(k.name);
    };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (distinct::isMacKey(a.bssid) && distinct::isMacKey(b.bssid))
            return a.bssid != b.bssid ? a.bssid < b.bssid : rank[a.name] < rank[b.name];
        return text(a) < text(b);
    });
    std::vector<std::string> entries;
    entries.reserve(keys.size());
    for (const Key& k : keys) entries.push_back(text(k));
    return entries;
}

std::string uniqueApLabel(std::size_t count) {
    return "Number Of Unique AP's ->" + std::to_string(count);
}

std::string_view vendorLabel(const VendorList& vendors, std::string_view entry) {
    const auto text = vendors.find(entry);
    return text ? *text : kVendorNotFound;
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

bool isMacAddress(std::string_view text) {
    if (text.size() != kMacLength) return false;
    for (std::size_t i = 0; i < kMacLength; ++i) {
        const bool ok = i % 3 == 2 ? text[i] == ':' : isHexDigit(text[i]);
        if (!ok) return false;
    }
    return true;
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
    MacExportResult result;
    result.target = folder / fileName.filename();
    result.lines = writeStreetsAndTrips(workingFile, result.target, macAddressSelection(entry));
    return result;
}

}  // namespace velmora
