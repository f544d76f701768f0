// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "loader/log_formats.h"
#include "loader/log_reader.h"
#include "loader/source_loader.h"
#include "records/record_extras.h"

// How the loader takes a log reader's sighting: as the wi-scan data line that says the same,
// which then goes the way of every wi-scan data line (record_line.h), and the extras only the
// reader gives.
namespace velmora::sighting_line {

// `utf8` as Windows-1252 (its five undefined bytes stand for the Latin-1 characters of the
// same value), by `rule`.
void appendWindows1252(std::string& out, std::string_view utf8, NameBytes rule);
// The same at `out`, which has room for utf8.size() bytes; returns the end.
char* writeWindows1252(char* out, std::string_view utf8, NameBytes rule);

// The wi-scan data line of `sighting` into `line`:
// "N 41.1234567<TAB>W 81.7500000<TAB>( name )<TAB>BSS<TAB>( 00:09:5b:ee:e7:61 )<TAB>
// 11:14:51 (GMT)<TAB>[ 23 72 49 ]<TAB># (  )<TAB>0011<TAB>00000040<TAB>100": coordinates with
// seven decimals, the type "ad-hoc" for an IBSS, else "BSS", the time of day where the log
// gives one, the signal column's numbers where it gives them ("[ ]" otherwise), the
// capabilities as four and the channel bits as eight hexadecimal digits, the beacon interval
// or 0.
void write(const LogSighting& sighting, NameBytes rule, std::string& line);
// The same at `out`, which has room for lineRoom(sighting) bytes; returns the line's end.
char* write(const LogSighting& sighting, NameBytes rule, char* out);
std::size_t lineRoom(const LogSighting& sighting);

// The sighting's date ("YYYY-MM-DD") into `text`, which has room for 10 bytes; empty where the
// log gives none.
std::string_view dateOf(const SightingTime& time, char* text);

// The extras beyond a wi-scan line's: RSSI, auth text, altitude, accuracy, channel and the
// exact name. The texts view the sighting.
RecordExtras extrasOf(const LogSighting& sighting);

// The record line and the extras line the loader makes of a sighting's wi-scan line
// (record_line::write and record_line::writeExtras), written straight from the sighting. The
// parts a run of sightings of one access point share (name, type, BSSID, flags, channels,
// beacon interval, channel) are formatted once while they stay the same.
class RecordWriter {
  public:
    explicit RecordWriter(NameBytes rule) : rule_(rule) {}

    enum class Outcome {
        Written,   // the record line is written and counted
        NoFix,     // a position that rounds to a latitude of zero: a non-GPS entry
        LinePath,  // a sighting this writer leaves to its wi-scan line (a name to quote, ...)
    };
    // The room writeRecord may take.
    static std::size_t recordRoom(const LogSighting& sighting) {
        // Beside the name: the longest of every other item, and the room the kept parts'
        // copies of a fixed size take past their ends.
        return sighting.ssid.size() + 192;
    }
    // Writes the record line of `sighting` at `out`, which has room for recordRoom(sighting)
    // bytes, and counts it; `end` is then its end (CR LF included) and `check` its
    // recordCheck. Writes and counts nothing for the other outcomes.
    Outcome writeRecord(const LogSighting& sighting, char* out, LoadCounts& counts, char*& end,
                        std::uint32_t& check);
    // The extras line of the sighting writeRecord last wrote, whose check is `check`, at `out`,
    // which has room for kExtrasLineLimit bytes; returns its end.
    char* writeExtras(const LogSighting& sighting, std::uint32_t check, char* out);

  private:
    // The longest name written straight into a record line; a longer one takes the line's
    // way, which holds lines to the loader's limit.
    static constexpr std::size_t kNameLimit = 1024;
    // A text of at most N bytes.
    template <std::size_t N>
    struct Text {
        std::array<char, N> bytes;
        std::size_t size = 0;
        std::string_view view() const { return std::string_view(bytes.data(), size); }
    };
    // The parts of the lines an access point's sightings share.
    struct Fixed {
        bool valid = false;
        // What the parts are made of.
        Text<kNameLimit> ssid;
        std::array<std::uint8_t, 6> bssid{};
        std::uint32_t capabilities = 0;
        std::uint64_t channelBits = 0;
        std::optional<std::uint32_t> beaconInterval;
        std::optional<int> channel;
        // ",name,BSS,00:09:5b:ee:e7:61," after the coordinates; empty when the name leaves
        // the sighting to its line (it is quoted in a record).
        Text<kNameLimit + 64> middle;
        Text<64> tail;                               // ",#,0011,00000040,100" after the signal
        Text<16 + 3 * kExtrasTextLimit> extrasTail;  // ",11,name" ending the extras line
        LoadCounts counts;                           // what the flags count
    };
    const Fixed& fixedOf(const LogSighting& sighting);
    // escapeExtrasText(auth), kept for the texts last seen.
    std::string_view escapedAuth(std::string_view auth);
    // The index of the altitude in the extras table: it and the accuracy follow the auth text.
    static constexpr std::size_t kAltitudeField = kWiScanExtrasFields + 2;
    // The access point's part of the extras line (extrasTail) is the channel and the name,
    // which follow the accuracy in the table (the writer's test compares the whole line).

    struct Escaped {
        bool valid = false;
        std::string text;
        std::string escaped;
    };
    std::array<Escaped, 16> auths_;

    NameBytes rule_;
    Fixed fixed_;
    // The extras line's signal numbers of the record written last, each with its ",".
    std::array<char, 3 * 12> signalText_;
    std::size_t signalSize_ = 0;
    // The date written last, and its text.
    bool dateKnown_ = false;
    SightingTime date_;
    std::array<char, 10> dateText_;
    std::size_t dateSize_ = 0;
    std::array<char, kNameLimit> name_;
};

}  // namespace velmora::sighting_line
