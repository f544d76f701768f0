// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "loader/log_formats.h"
#include "loader/log_reader.h"
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

}  // namespace velmora::sighting_line
