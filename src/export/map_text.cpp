// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_text.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "io/byte_scan.h"

namespace velmora::map_text {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence (RFC 3629: shortest form, no surrogates, at most
// U+10FFFF) that starts at `p`, a byte of 0x80 or more; 0 when none does.
std::size_t sequenceLength(const unsigned char* p, const unsigned char* end) {
    const std::size_t left = static_cast<std::size_t>(end - p);
    const unsigned char c = p[0];
    if (c >= 0xC2 && c <= 0xDF) return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !isContinuation(p[1]) || !isContinuation(p[2])) return 0;
        if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
        if (c == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

// Writes the non-ASCII character at `p`, or U+FFFD for U+FFFE, U+FFFF and a byte that starts
// no character (then one byte is used). Returns where the text goes on.
const unsigned char* putNonAscii(char*& out, const unsigned char* p, const unsigned char* end) {
    const std::size_t length = sequenceLength(p, end);
    if (length == 0) {
        out = putText(out, kReplacement);
        return p + 1;
    }
    if (length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)
        out = putText(out, kReplacement);
    else
        out = putText(out, std::string_view(reinterpret_cast<const char*>(p), length));
    return p + length;
}

constexpr AsciiEscapes kXml = makeEscapes({{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}});
constexpr AsciiEscapes kJson = makeEscapes({{'"', "\\\""}, {'\\', "\\\\"}, {'\t', "\\t"}});
// A CSV field is quoted when anything in it is escaped: a quote is doubled, a comma, ";" and
// tab stand for themselves, a control character is U+FFFD.
constexpr AsciiEscapes kCsv = makeEscapes({{'"', "\"\""}, {',', ","}, {';', ";"}, {'\t', "\t"}});

// A CSV field starting with one of these is a formula to a spreadsheet: it gets an apostrophe.
constexpr std::string_view kFormulaStarts = "=+-@\t\r";

constexpr std::size_t longestEscape(const AsciiEscapes& escapes) {
    std::size_t longest = 0;
    for (const std::string_view& as : escapes) longest = std::max(longest, as.size());
    return longest;
}
static_assert(longestEscape(kXml) <= kEscapedGrowth && longestEscape(kJson) <= kEscapedGrowth &&
              longestEscape(kCsv) <= kEscapedGrowth && kReplacement.size() <= kEscapedGrowth);

}  // namespace

char* putMapText(char* out, std::string_view text, const AsciiEscapes& escapes, bool* escaped) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p != end) {
        const unsigned char c = *p;
        if (c >= 0x80) {
            p = putNonAscii(out, p, end);
            continue;
        }
        if (const std::string_view as = escapes[c]; as.empty())
            *out++ = static_cast<char>(c);
        else {
            out = putText(out, as);
            if (escaped) *escaped = true;
        }
        ++p;
    }
    return out;
}

char* putXml(char* out, std::string_view text) {
    return putMapText(out, text, kXml);
}

char* putJsonString(char* out, std::string_view text) {
    *out++ = '"';
    out = putMapText(out, text, kJson);
    *out++ = '"';
    return out;
}

char* putCsvField(char* out, std::string_view text) {
    // Written after room for an opening quote and the apostrophe; moved back onto that room
    // when it needs no quotes, as most fields do.
    const std::size_t apostrophe =
        !text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos ? 1 : 0;
    char* const field = out + 1 + apostrophe;
    bool quoted = false;
    char* const end = putMapText(field, text, kCsv, &quoted);
    if (quoted) {
        *out = '"';
        if (apostrophe) out[1] = '\'';
        *end = '"';
        return end + 1;
    }
    if (apostrophe) *out = '\'';
    std::memmove(out + apostrophe, field, static_cast<std::size_t>(end - field));
    return end - 1;
}

void appendXml(std::string& out, std::string_view text) {
    const std::size_t at = out.size();
    out.resize(at + kEscapedGrowth * text.size());
    out.resize(static_cast<std::size_t>(putXml(out.data() + at, text) - out.data()));
}

char* putInt(char* out, long long value) {
    return std::to_chars(out, out + 20, value).ptr;
}

char* putDecimal(char* out, double value) {
    return std::to_chars(out, out + 32, value).ptr;
}

char* putChannels(char* out, const std::vector<int>& channels, std::string_view separator) {
    for (std::size_t k = 0; k < channels.size(); ++k) {
        if (k > 0) out = putText(out, separator);
        out = putInt(out, channels[k]);
    }
    return out;
}

bool isFullTime(std::string_view time) {
    static constexpr byte_scan::Shape kFullTime("9999-99-99T99:99:99Z");
    return kFullTime.matches(time);
}

std::optional<std::string_view> wepText(const MapPointView& point) {
    if (!point.wep) return std::nullopt;
    return *point.wep ? "on" : "off";
}

char* putXmlDescription(char* out, const MapPointView& point) {
    bool first = true;
    const auto label = [&](std::string_view name) {
        if (!first) *out++ = '\n';
        first = false;
        out = putText(out, name);
        out = putText(out, ": ");
    };
    if (!point.bssid.empty()) {
        label("BSSID");
        out = putXml(out, point.bssid);
    }
    if (const auto wep = wepText(point)) {
        label("WEP");
        out = putText(out, *wep);  // "on" or "off": nothing to escape
    }
    if (!point.channels.empty()) {
        label("Channels");
        out = putChannels(out, point.channels, ", ");
    }
    // The signal as the log gives it: a wi-scan log's level, or another log's RSSI.
    forEachMapValue(point, [&](std::string_view name, std::string_view title, const auto& value) {
        if (!value || (name != "signal" && name != "rssi")) return;
        label(title);
        out = putMapValue(out, value, [](char* to, std::string_view t) { return putXml(to, t); });
    });
    return out;
}

std::size_t pointSizeBound(const MapPointView& point) {
    // The markup of the longest point (KML's ExtendedData, or GPX's description lines and
    // extensions, with every value given) is under 1,200 bytes; its numbers, GPX's written
    // twice, under 600 (31 channels at four bytes, seven numbers at 25, twice).
    constexpr std::size_t kMarkupAndNumbers = 2048;
    std::size_t texts = point.latitude.size() + point.longitude.size() + point.name.size() +
                        point.bssid.size() + point.type.size() + point.flags.size() +
                        point.time.size();
    if (point.vendor) texts += point.vendor->size();
    forEachMapValue(point, [&](std::string_view, std::string_view, const auto& value) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>,
                                     std::optional<std::string_view>>)
            if (value) texts += value->size();
    });
    if (const AccessPointSummary* ap = point.accessPoint)
        texts += ap->firstSeen.size() + ap->lastSeen.size();
    constexpr std::size_t kTexts = 11;
    return kMarkupAndNumbers + 2 * (kEscapedGrowth * texts + kEscapedExtra * kTexts);
}

}  // namespace velmora::map_text
