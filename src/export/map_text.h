// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sightings/map_point.h"

// Text pieces the map format writers share: escaping for XML, JSON and CSV, and the readable
// description KML and GPX give each point. The input is UTF-8; a byte that starts no valid
// UTF-8 sequence comes out as U+FFFD, so every file written is valid UTF-8.
//
// The put functions write at `out`, which has room enough, and return the end of what they
// wrote: the writers build each point in place in the export's output (pointSizeBound tells
// the room). The append functions add the same text to a string.
namespace velmora::map_text {

// The most bytes putXml, putJsonString or putCsvField writes for one byte of its text (a
// control character in JSON, "\u001f"), and the most it adds around the text (two quotes).
inline constexpr std::size_t kEscapedGrowth = 6;
inline constexpr std::size_t kEscapedExtra = 2;

// `text` as it is.
inline char* putText(char* out, std::string_view text) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// `text` as XML character data: "&", "<" and ">" escaped, carriage return as a reference (so a
// reader keeps it), and every character XML 1.0 cannot hold (control characters other than
// tab, line feed and carriage return; U+FFFE, U+FFFF) as U+FFFD.
char* putXml(char* out, std::string_view text);
// `text` as a JSON string, quotes included: '"' and '\' escaped, control characters as \uXXXX.
char* putJsonString(char* out, std::string_view text);
// `text` as one CSV field: quoted, inner quotes doubled, when it holds a comma, a quote, a
// semicolon (the list separator of many spreadsheets) or a control character.
char* putCsvField(char* out, std::string_view text);

void appendXml(std::string& out, std::string_view text);
void appendJsonString(std::string& out, std::string_view text);
void appendCsvField(std::string& out, std::string_view text);

// At most 20 bytes.
char* putInt(char* out, long long value);
// "1;6;11", or nothing for no channel; at most three digits and the separator per channel.
char* putChannels(char* out, const std::vector<int>& channels, std::string_view separator);

// Whether `time` is a full "YYYY-MM-DDTHH:MM:SSZ" time (and not the bare "HH:MM:SS" of a log
// without a date), which the formats' time elements require.
bool isFullTime(std::string_view time);

// "on", "off", or nothing for neither.
std::optional<std::string_view> wepText(const MapPointView& point);

// The point's values other than its name and position, one "Label: value" line each (a
// missing value leaves its line out), XML-escaped: KML's description and GPX's desc.
char* putXmlDescription(char* out, const MapPointView& point);

// The most bytes a map writer writes for `point`: its markup and numbers, and each of its
// texts escaped, twice at most (GPX writes the type in desc and in type).
std::size_t pointSizeBound(const MapPointView& point);

}  // namespace velmora::map_text
