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

// kFormulaStarts as a table by byte: one look-up for each field.
constexpr auto kStartsFormula = [] {
    std::array<bool, 256> starts{};
    for (const char c : kFormulaStarts) starts[static_cast<unsigned char>(c)] = true;
    return starts;
}();

constexpr std::size_t longestEscape(const AsciiEscapes& escapes) {
    std::size_t longest = 0;
    for (const std::string_view& as : escapes) longest = std::max(longest, as.size());
    return longest;
}
static_assert(longestEscape(kXml) <= kEscapedGrowth && longestEscape(kJson) <= kEscapedGrowth &&
              longestEscape(kCsv) <= kEscapedGrowth && kReplacement.size() <= kEscapedGrowth);

// Most texts (a BSSID, a time, a plain name) hold no byte a format changes: these find that
// eight bytes at a time and copy such a text in a few word moves. The escape tables stay the
// one statement of what each format changes (checked below); this keeps the "load +
// convert-all csv" and "load + convert-all geojson" bench rows within 2 times the Streets and
// Trips export (the byte-by-byte copy took about a tenth more of their time).

using byte_scan::equalBytes;

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The high bit of each byte of `w` that is 0x80 or more or a control character (below 0x20).
constexpr std::uint64_t nonAsciiOrControl(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    const std::uint64_t control = ~(((w & kLow7) + kOnes * 0x60) | w) & kHighBits;
    return control | (w & kHighBits);
}

// Each format's bytes that are not copied as they stand, as a high bit per byte; a byte found
// here may still be copied (XML's tab), which the byte-by-byte path then does.
struct XmlSpecial {
    constexpr std::uint64_t operator()(std::uint64_t w) const {
        return nonAsciiOrControl(w) | equalBytes(w, '&') | equalBytes(w, '<') | equalBytes(w, '>');
    }
};
struct JsonSpecial {
    constexpr std::uint64_t operator()(std::uint64_t w) const {
        return nonAsciiOrControl(w) | equalBytes(w, '"') | equalBytes(w, '\\');
    }
};
struct CsvSpecial {
    constexpr std::uint64_t operator()(std::uint64_t w) const {
        return nonAsciiOrControl(w) | equalBytes(w, '"') | equalBytes(w, ',') | equalBytes(w, ';');
    }
};

// Whether `special` finds every byte that `escapes` changes, and every byte of 0x80 or more.
template <typename Special>
constexpr bool findsEveryChange(const AsciiEscapes& escapes, Special special) {
    for (unsigned c = 0; c < 256; ++c) {
        const bool found = special(kOnes * c) != 0;
        if (!found && (c >= 0x80 || !escapes[c].empty())) return false;
    }
    return true;
}
static_assert(findsEveryChange(kXml, XmlSpecial{}) && findsEveryChange(kJson, JsonSpecial{}) &&
              findsEveryChange(kCsv, CsvSpecial{}));

std::uint64_t load8(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
std::uint32_t load4(const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// `text` copied to `out` when `special` finds none of its bytes, returning the end; null
// otherwise, with the bytes at `out` left undefined. Reads only the text; writes only the room
// the text takes.
template <typename Special>
char* copyIfPlain(char* out, std::string_view text, Special special) {
    const char* const p = text.data();
    const std::size_t size = text.size();
    if (size >= 8) {
        // Words from the start, then the last eight bytes, overlapping the word before.
        std::size_t k = 0;
        for (; k + 8 < size; k += 8) {
            const std::uint64_t w = load8(p + k);
            if (special(w)) return nullptr;
            std::memcpy(out + k, &w, 8);
        }
        const std::uint64_t last = load8(p + size - 8);
        if (special(last)) return nullptr;
        std::memcpy(out + size - 8, &last, 8);
        return out + size;
    }
    if (size >= 4) {
        const std::uint32_t head = load4(p), tail = load4(p + size - 4);
        if (special(std::uint64_t{tail} << 32 | head)) return nullptr;
        std::memcpy(out, &head, 4);
        std::memcpy(out + size - 4, &tail, 4);
        return out + size;
    }
    if (size > 0) {
        // The bytes looked at in the low three of a word of 'a's, which no format changes.
        const auto byte = [](char c) { return std::uint64_t{static_cast<unsigned char>(c)}; };
        const std::uint64_t w = (kOnes * 'a' & ~std::uint64_t{0xFFFFFF}) | byte(p[0]) |
                                byte(p[size / 2]) << 8 | byte(p[size - 1]) << 16;
        if (special(w)) return nullptr;
        out[0] = p[0];
        out[size / 2] = p[size / 2];
        out[size - 1] = p[size - 1];
    }
    return out + size;
}

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
    if (char* const end = copyIfPlain(out, text, XmlSpecial{})) return end;
    return putMapText(out, text, kXml);
}

char* putJsonString(char* out, std::string_view text) {
    *out++ = '"';
    if (char* const end = copyIfPlain(out, text, JsonSpecial{}))
        out = end;
    else
        out = putMapText(out, text, kJson);
    *out++ = '"';
    return out;
}

char* putCsvField(char* out, std::string_view text) {
    const std::size_t apostrophe =
        !text.empty() && kStartsFormula[static_cast<unsigned char>(text.front())] ? 1 : 0;
    // Most fields need no quotes and hold nothing to escape: copied as they stand.
    if (char* const end = copyIfPlain(out + apostrophe, text, CsvSpecial{})) {
        if (apostrophe) *out = '\'';
        return end;
    }
    // Written after room for an opening quote and the apostrophe; moved back onto that room
    // when it needs no quotes.
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
