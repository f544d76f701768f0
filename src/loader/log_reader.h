// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// What a log reader hands the loader. Each log format has one reader: it says from a file's
// first bytes whether the file is its own, then hands over the file's entries one at a time
// with what its format carries. The loader alone turns sightings into working records and
// counts them.
namespace velmora {

// A date and time of day in UTC as a log gives it; `hasDate` is false where the log gives only
// a time of day, `hasTime` false where it gives no time at all.
struct SightingTime {
    bool hasDate = false;
    bool hasTime = false;
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// The 802.11 capability bits a sighting's access point announced, as the wi-scan Flags item
// writes them in hexadecimal.
namespace capability {
inline constexpr std::uint32_t kEss = 0x0001;
inline constexpr std::uint32_t kIbss = 0x0002;
inline constexpr std::uint32_t kPrivacy = 0x0010;
}  // namespace capability

// One sighting with a usable position. Texts view the reader's memory and stay valid until the
// reader's next call.
struct LogSighting {
    double latitude = 0;   // signed decimal degrees, -90 to 90
    double longitude = 0;  // signed decimal degrees, -180 to 180
    std::string_view ssid;  // the network name exactly as the log has it, as UTF-8
    std::array<std::uint8_t, 6> bssid{};
    std::uint32_t capabilities = 0;  // capability::kEss, kIbss, kPrivacy, ...
    // The wi-scan Channelbits: bit n for channel n (1 to 14), bits 15 to 31 for the 5 GHz
    // channels 36, 40, 44, 48, 52, 56, 60, 64, 149, 153, 157, 161, 38, 46, 54, 62, 34.
    std::uint64_t channelBits = 0;
    std::optional<int> channel;  // the channel of the sighting, any band
    std::optional<std::uint32_t> beaconInterval;
    SightingTime time;
    std::optional<int> rssi;  // dBm
    // The text exports' signal numbers (read as dBm + 149), where the format gives them.
    std::optional<int> signal;
    std::optional<int> noise;
    std::optional<int> snr;
    std::optional<std::string_view> auth;  // the log's authentication text, as written
    std::optional<double> altitude;        // metres
    std::optional<double> accuracy;        // metres
};

// One entry of a log, in file order.
struct LogEntry {
    enum class Kind {
        Sighting,    // `sighting` holds it
        NoPosition,  // a Wi-Fi sighting without a usable position: a non-GPS entry
        OtherRadio,  // a sighting of another radio (Bluetooth, cell): skipped, counted apart
    };
    Kind kind = Kind::Sighting;
    LogSighting sighting;
};

class LogReader {
  public:
    virtual ~LogReader() = default;
    // The next entry; false at the end of the log. Throws FileError when the file cannot be
    // read. A damaged part of the log ends it: the reader then says so in damage().
    virtual bool next(LogEntry& entry) = 0;
    // Why the log ended early ("the file is cut short after 1,234 access points"), or empty.
    virtual std::string damage() const { return {}; }
};

}  // namespace velmora
