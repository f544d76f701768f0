#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// What the loader keeps of each sighting beside its working record: the three numbers of the
// source log's "[ SNR Sig Noise ]" column, which output1 joins into one item ("[237249]"), and
// the date of the latest "# $DateGMT: YYYY-MM-DD" line above the sighting. They live in a file
// of their own, one line per record of output1 in the same order, so output1 keeps its layout.
struct RecordExtras {
    std::optional<int> snr;
    std::optional<int> signal;
    std::optional<int> noise;
    std::string_view date;  // "YYYY-MM-DD", or empty where no date line stands above
};

// For one pin per access point: what the pin's access point had over the whole selection.
struct AccessPointSummary {
    std::uint64_t sightings = 0;
    std::string firstSeen;  // the time (as the map formats write it) of its first sighting
    std::string lastSeen;   // and of its last, in file order
};

}  // namespace velmora
