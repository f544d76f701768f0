// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "sightings/map_point.h"

// Text pieces the map format writers share: the one rule for characters no map format may
// hold, each format's escaping, and the readable description KML and GPX give each point.
//
// The put functions write at `out`, which has room enough, and return the end of what they
// wrote: the writers build each point in place in the export's output (pointSizeBound tells
// the room).
namespace velmora::map_text {

// U+FFFD, written for every character a map format cannot hold.
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// What one format writes for each ASCII byte of a text: an empty entry keeps the byte.
using AsciiEscapes = std::array<std::string_view, 128>;

// A format's escapes: U+FFFD for every control character but tab (NUL included), which one
// format or another, or its usual readers, cannot hold (XML 1.0 has no NUL, GDAL ends a CSV
// row at one, a line break ends a CSV line for GPSBabel), then `own`, the format's own.
constexpr AsciiEscapes makeEscapes(std::initializer_list<std::pair<char, std::string_view>> own) {
    AsciiEscapes escapes{};
    for (std::size_t c = 0; c < 0x20; ++c)
        if (c != '\t') escapes[c] = kReplacement;
    for (const auto& [c, as] : own) escapes[static_cast<unsigned char>(c)] = as;
    return escapes;
}

// The most bytes a format's escapes write for one byte of a text ("&amp;"), and the most
// putXml, putJsonString or putCsvField adds around a text (two quotes and an apostrophe).
inline constexpr std::size_t kEscapedGrowth = 5;
inline constexpr std::size_t kEscapedExtra = 3;

// `text` (UTF-8) as a map format holds it, the one rule of every format: each ASCII byte as
// `escapes` says, and U+FFFD for each byte that starts no valid UTF-8 sequence (an overlong
// form, a lone surrogate, a sequence cut short, one above U+10FFFF) and for U+FFFE and U+FFFF.
// A format without escapes of its own passes makeEscapes({}). Sets `*escaped`, where given,
// when an ASCII byte was written as `escapes` says instead of as it stands.
char* putMapText(char* out, std::string_view text, const AsciiEscapes& escapes,
                 bool* escaped = nullptr);

// `text` as it is.
inline char* putText(char* out, std::string_view text) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// `text` as XML character data: "&", "<" and ">" escaped.
char* putXml(char* out, std::string_view text);
// `text` as a JSON string, quotes included: '"', '\' and tab escaped.
char* putJsonString(char* out, std::string_view text);
// `text` as one CSV text field: quoted, inner quotes doubled, when it holds a comma, a quote, a
// semicolon (the list separator of many spreadsheets) or a control character; with an apostrophe in
// front when it starts as a spreadsheet formula does ("=", "+", "-", "@", tab, carriage return), so
// a spreadsheet shows it as text. Numbers do not go through here.
char* putCsvField(char* out, std::string_view text);

void appendXml(std::string& out, std::string_view text);

// At most 20 bytes.
char* putInt(char* out, long long value);
// A finite number in its shortest decimal text that reads back to it ("61.4", "-5").
char* putDecimal(char* out, double value);
// One of the point's extras values (forEachMapValue): the number, or `text` of the text;
// nothing where it has none.
template <typename Value, typename PutText>
char* putMapValue(char* out, const std::optional<Value>& value, PutText&& text) {
    if (!value) return out;
    if constexpr (std::is_same_v<Value, int>)
        return putInt(out, *value);
    else if constexpr (std::is_same_v<Value, double>)
        return putDecimal(out, *value);
    else
        return text(out, std::string_view(*value));
}
// "1;6;11", or nothing for no channel; at most three digits and the separator per channel.
char* putChannels(char* out, const std::vector<int>& channels, std::string_view separator);

// Whether `time` is a full "YYYY-MM-DDTHH:MM:SSZ" time (and not the bare "HH:MM:SS" of a log
// without a date), which the formats' time elements require.
bool isFullTime(std::string_view time);

// "on", "off", or nothing for neither.
std::optional<std::string_view> wepText(const MapPointView& point);

// The few values a GPS unit's user reads beside the point's name, one "Label: value" line each
// (BSSID, WEP, Channels, Signal, RSSI; a missing value leaves its line out), XML-escaped: GPX's
// desc. Every value stands in the extensions as well.
char* putXmlDescription(char* out, const MapPointView& point);

// The most bytes a map writer writes for `point`: its markup and numbers, and each of its
// texts escaped, twice at most (GPX writes the type in desc and in type, the others in desc
// and in its extensions).
std::size_t pointSizeBound(const MapPointView& point);

}  // namespace velmora::map_text
