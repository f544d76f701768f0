#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/map_point.h"

// Text pieces the map format writers share: escaping for XML, JSON and CSV, and the readable
// description KML and GPX give each point. The input is UTF-8; a byte that starts no valid
// UTF-8 sequence comes out as U+FFFD, so every file written is valid UTF-8.
namespace velmora::map_text {

// `text` as XML character data: "&", "<" and ">" escaped, carriage return as a reference (so a
// reader keeps it), and every character XML 1.0 cannot hold (control characters other than
// tab, line feed and carriage return; U+FFFE, U+FFFF) as U+FFFD.
void appendXml(std::string& out, std::string_view text);
// `text` as a JSON string, quotes included: '"' and '\' escaped, control characters as \uXXXX.
void appendJsonString(std::string& out, std::string_view text);
// `text` as one CSV field: quoted, inner quotes doubled, when it holds a comma, a quote, a
// semicolon (the list separator of many spreadsheets) or a control character.
void appendCsvField(std::string& out, std::string_view text);

void appendInt(std::string& out, long long value);
// "1;6;11", or nothing for no channel.
void appendChannels(std::string& out, const std::vector<int>& channels, std::string_view separator);

// Whether `time` is a full "YYYY-MM-DDTHH:MM:SSZ" time (and not the bare "HH:MM:SS" of a log
// without a date), which the formats' time elements require.
bool isFullTime(std::string_view time);

// "on", "off", or nothing for neither.
std::optional<std::string_view> wepText(const MapPoint& point);

// The point's values other than its name and position, one "Label: value" line each (a
// missing value leaves its line out), XML-escaped: KML's description and GPX's desc.
void appendXmlDescription(std::string& out, const MapPoint& point);

}  // namespace velmora::map_text
