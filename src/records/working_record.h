#pragma once

#include <array>
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

}  // namespace velmora
