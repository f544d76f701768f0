#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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

// Upper-cases the ASCII letters a-z only, whatever the machine's locale.
std::string toUpperAscii(std::string_view text);
void upperAsciiInPlace(std::string& text);
void upperAsciiInPlace(char* text, std::size_t size);
// Whether `text`, upper-cased as above, equals `upper`; no copy is made.
bool equalsUpperAscii(std::string_view text, std::string_view upper);

// The characters of `Flags` that the counts and criteria examine. Each returns '\0' when the
// field is empty; a one-character field is its own second character from the right.
// Inline: the loader counts every record by them.
inline char lastChar(std::string_view flags) {
    return flags.empty() ? '\0' : flags.back();
}
inline char secondFromRight(std::string_view flags) {
    if (flags.empty()) return '\0';
    return flags.size() == 1 ? flags[0] : flags[flags.size() - 2];
}

}  // namespace velmora
