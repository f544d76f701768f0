// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records/record_extras.h"
#include "records/working_record.h"

namespace velmora {

// For one pin per access point: what the pin's access point had over the whole selection.
struct AccessPointSummary {
    std::uint64_t sightings = 0;
    std::string firstSeen;  // the time (as the map formats write it) of its first sighting
    std::string lastSeen;   // and of its last, in file order
    // Placed at the signal-weighted centroid of its sightings (ApPosition::Weighted): their
    // weighted root-mean-square distance from it, in metres. Nothing at its strongest sighting.
    std::optional<double> radiusM;
};

// One sighting as its readers (the exports' sinks, the map) receive it: the working record's
// items, the values the working record file has no room for, and where it stands in the file.
// The views are valid during the call that hands it over only; a reader that keeps a sighting
// past it copies what it needs.
struct Sighting {
    RecordFields fields;
    // The sighting's values from the extras file (record_extras.h); empty where the reader did
    // not ask for them or the extras file has no line of this record.
    RecordExtras extras;
    // Set for one pin per access point (strongest_sightings.h): the sightings of the access
    // point this record stands for. Null for a record that is one sighting.
    const AccessPointSummary* accessPoint = nullptr;
    // The record's position in the working record file, 0 for its first record; for one pin
    // per access point, that of the strongest sighting.
    std::uint64_t number = 0;
};

}  // namespace velmora
