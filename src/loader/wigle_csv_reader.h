// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "loader/log_reader.h"

// The reader of WiGLE CSV logs: the phone app's "WigleWifi-1.x" files and the boards' files in
// the same columns. UTF-8 text, RFC 4180 quoting; an optional pre-header line
// ("WigleWifi-1.4,appRelease=...") and a column header, then one observation a line.
//
// What the reader makes of each line:
// - a blank line: no entry;
// - Type WIFI, or an empty Type, or no Type column: a Wi-Fi sighting; it is Kind::Sighting when
//   its MAC is six hexadecimal pairs (":" or "-" between) and its latitude and longitude are
//   finite numbers within +-90 and +-180, not both zero (no fix), and the line has every
//   column the reader uses and no non-empty field beyond the header's; else Kind::NoPosition
//   (counted, never dropped unseen);
// - Type BT, BLE, GSM, CDMA, WCDMA, LTE or NR (either case): Kind::OtherRadio; any other Type
//   is not a sighting the reader can place: Kind::NoPosition;
// - a line (or a quoted record spanning lines) longer than kWigleRecordLimit bytes:
//   Kind::NoPosition, read past without being held;
// - a quoted field still open kWigleRecordLimit bytes after its line's start, or at the end of
//   the file: the quote is taken to be unbalanced, the field ends with its own line, and the
//   lines after it are read as lines of their own;
// - a double quote inside an unquoted field, and one inside a quoted field that is followed by
//   neither a quote, a comma nor the line's end, is a literal character;
// - a NUL byte or invalid UTF-8 is kept as it is (in a name) or makes a number unreadable;
// - the last line without a line end is read like any other (cut short, it usually lacks
//   columns: Kind::NoPosition).
// The reader never ends a log early: damage() is always empty.
namespace velmora {

// The longest record (a line, or the lines of a record with a quoted line break) that is read.
inline constexpr std::size_t kWigleRecordLimit = 1 << 16;
// How many of a file's first bytes looksLikeWigleCsv() looks at.
inline constexpr std::size_t kWigleSniffLimit = 4096;

// Whether a file whose first bytes are `firstBytes` is a WiGLE CSV: after an optional UTF-8
// byte order mark, its first line starts with "WigleWifi-" (either case), or is a column header
// naming every column the reader needs (MAC, SSID, AuthMode, FirstSeen, Channel, RSSI,
// CurrentLatitude or Latitude, CurrentLongitude or Longitude; either case, in any order).
// Looks at no more than the first kWigleSniffLimit bytes.
bool looksLikeWigleCsv(std::string_view firstBytes);

// Opens a WiGLE CSV log and reads its header. Throws FileError when the file cannot be opened
// or read; returns nullptr when it is not a WiGLE CSV the reader can read: no column header
// (after the pre-header, if any, and blank lines) naming every column looksLikeWigleCsv()
// names, within kWigleRecordLimit bytes.
std::unique_ptr<LogReader> openWigleCsv(const std::filesystem::path& path);

// The rules the reader applies to single fields, exposed for the tests.
namespace wigle {

// capability::kPrivacy when `authMode` names any protection (WEP, WPA, RSN, PSK, EAP, SAE,
// OWE, WAPI, ENTERPRISE, either case, anywhere in it), plus kIbss when it holds "[IBSS]",
// else kEss.
std::uint32_t capabilities(std::string_view authMode);

// "YYYY-MM-DD HH:MM:SS" with fields padded or not (a "T" instead of the space, and spaces
// around, allowed); a valid date and time give hasDate and hasTime, anything else no time.
SightingTime firstSeen(std::string_view text);

// The Wi-Fi channel of a frequency in MHz: 2.4 GHz (2412-2472, 2484), 5 GHz (5005-5900) and
// 6 GHz (5935, 5955-7115), on the band's 5 MHz grid; nothing otherwise.
std::optional<int> channelOfFrequency(int mhz);

// The wi-scan channel bits of a channel: bit n for channels 1 to 14, bits 15 to 31 for the 5 GHz
// channels the format names; 0 for any other channel, and for a channel of a band other than
// the one its bit stands for when `mhz` (the sighting's frequency, when known) says so.
std::uint64_t channelBits(int channel, std::optional<int> mhz = std::nullopt);

}  // namespace wigle
}  // namespace velmora
