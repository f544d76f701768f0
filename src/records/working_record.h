// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/ascii.h"  // the upper-casing of SSID and BSSID texts

namespace velmora {

// One sighting with a GPS position: eleven text fields, in file order.
struct WorkingRecord {
    static constexpr std::size_t kFieldCount = 11;
    enum Field : std::size_t {
        Latitude,
        Longitude,
        SSID,
        Type,
        BSSID,
        Time,
        SignalBlock,
        Name,
        Flags,
        Channelbits,
        BeaconInterval,
    };

    std::array<std::string, kFieldCount> fields;

    std::string& operator[](Field f) { return fields[f]; }
    const std::string& operator[](Field f) const { return fields[f]; }
};

// The eleven items of one record as views, in file order.
using RecordFields = std::array<std::string_view, WorkingRecord::kFieldCount>;

// Whether each item starts one separator after the one before ends, as the items of one line
// read do: the bytes from the first item to the last are then the record's line.
// Compared as numbers: an empty item may view no memory at all.
inline bool oneRun(const RecordFields& fields) {
    const auto at = [](const char* p) { return reinterpret_cast<std::uintptr_t>(p); };
    for (std::size_t k = 1; k < fields.size(); ++k)
        if (at(fields[k].data()) != at(fields[k - 1].data()) + fields[k - 1].size() + 1)
            return false;
    return true;
}

}  // namespace velmora
