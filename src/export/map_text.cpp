// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "io/byte_scan.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velmora::map_text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

// Writes the non-ASCII character at `p`, or U+FFFD for a byte that starts none (then one
// byte is used); `xml` also replaces U+FFFE and U+FFFF. Returns where the text goes on.
const unsigned char* putNonAscii(char*& out, const unsigned char* p, const unsigned char* end,
                                 bool xml) {
    const std::size_t length = sequenceLength(p, end);
    if (length == 0) {
        out = putText(out, kReplacement);
        return p + 1;
    }
    if (xml && length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)
        out = putText(out, kReplacement);
    else
        out = putText(out, std::string_view(reinterpret_cast<const char*>(p), length));
    return p + length;
}

// Copies the run of bytes from `p` for which `plain` holds; returns where it stops.
template <typename Plain>
const unsigned char* putRun(char*& out, const unsigned char* p, const unsigned char* end,
                            Plain plain) {
    while (p != end && plain(*p)) *out++ = static_cast<char>(*p++);
    return p;
}

const unsigned char* begin(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}
const unsigned char* end(std::string_view text) {
    return begin(text) + text.size();
}

// The formats whose texts copyIfPlain looks at, by the bytes each escapes besides control
// characters and bytes from 0x80 up.
enum class Escaping {
    Xml,   // & < >
    Json,  // " backslash
    Csv,   // , " ;
};

// The high bit of each byte of `w` that `escaping` escapes for itself.
template <Escaping escaping>
std::uint64_t specialBytes(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const auto equal = [w](unsigned char c) { return byte_scan::zeroBytes(w ^ (kOnes * c)); };
    if constexpr (escaping == Escaping::Xml) {
        // "<" and ">" differ in one bit only: with it set, both are ">".
        return equal('&') | byte_scan::zeroBytes((w | kOnes * 0x02) ^ (kOnes * '>'));
    } else if constexpr (escaping == Escaping::Json) {
        return equal('"') | equal('\\');
    } else {
        return equal(',') | equal('"') | equal(';');
    }
}

#ifdef __SSE2__
// Whether `block` holds no byte that `escaping` changes.
template <Escaping escaping>
bool plainBlock(__m128i block) {
    const auto equal = [block](char c) { return _mm_cmpeq_epi8(block, _mm_set1_epi8(c)); };
    // Compared as signed bytes, those from 0x80 up are below 0x20 as control characters are.
    __m128i changed = _mm_cmplt_epi8(block, _mm_set1_epi8(0x20));
    if constexpr (escaping == Escaping::Xml) {
        changed = _mm_or_si128(changed, equal('&'));
        changed = _mm_or_si128(
            changed, _mm_cmpeq_epi8(_mm_or_si128(block, _mm_set1_epi8(0x02)), _mm_set1_epi8('>')));
    } else if constexpr (escaping == Escaping::Json) {
        changed = _mm_or_si128(changed, _mm_or_si128(equal('"'), equal('\\')));
    } else {
        changed =
            _mm_or_si128(changed, _mm_or_si128(equal(','), _mm_or_si128(equal('"'), equal(';'))));
    }
    return _mm_movemask_epi8(changed) == 0;
}
#endif

// Copies `text` to `out` when it holds no byte that putXml, putJsonString or putCsvField would
// change: no control character, no byte from 0x80 up, and none of the format's own. Such a
// text, as most are, is written as it stands. Returns whether it was; otherwise some of its
// bytes may stand at `out`, for the escaping to write over.
template <Escaping escaping>
bool copyIfPlain(char* out, std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = kOnes * 0x80;
    const auto plainWord = [](std::uint64_t w) {
        // The high bit of each byte from 0x20 to 0x7F (its low seven bits plus 0x60 reach
        // 0x80, and no sum reaches the next byte).
        const std::uint64_t printable = ((w & ~kHigh) + kOnes * 0x60) & ~w & kHigh;
        return printable == kHigh && specialBytes<escaping>(w) == 0;
    };
    const std::size_t size = text.size();
    const char* const in = text.data();
    if (size < 8) {
        // Two loads that overlap where the text is shorter than both cover it; the bytes of
        // the word they leave unset count as plain.
        std::uint64_t w = kOnes * 'a';
        if (size >= 4) {
            std::uint32_t head, tail;
            std::memcpy(&head, in, 4);
            std::memcpy(&tail, in + size - 4, 4);
            std::memcpy(out, &head, 4);
            std::memcpy(out + size - 4, &tail, 4);
            w = head | static_cast<std::uint64_t>(tail) << 32;
        } else if (size > 0) {
            const auto first = static_cast<unsigned char>(in[0]);
            const auto middle = static_cast<unsigned char>(in[size / 2]);
            const auto last = static_cast<unsigned char>(in[size - 1]);
            out[0] = in[0];
            out[size / 2] = in[size / 2];
            out[size - 1] = in[size - 1];
            w = (w << 24) | first | middle << 8 | static_cast<std::uint64_t>(last) << 16;
        }
        return plainWord(w);
    }
#ifdef __SSE2__
    // Sixteen bytes at a time: a text of 8 to 15 bytes in two words that overlap, a longer one
    // in blocks each checked, then stored, the last one overlapping those before it.
    if (size < 16) {
        const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
        const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + size - 8));
        if (!plainBlock<escaping>(_mm_unpacklo_epi64(head, tail))) return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), head);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + size - 8), tail);
        return true;
    }
    const auto copyBlock = [&](std::size_t at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
        if (!plainBlock<escaping>(block)) return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), block);
        return true;
    };
    for (std::size_t at = 0; at + 16 < size; at += 16)
        if (!copyBlock(at)) return false;
    return copyBlock(size - 16);
#endif
    // Each word is checked, then stored; the last one overlaps those before it.
    const auto copyWord = [&](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, text.data() + at, 8);
        if (!plainWord(w)) return false;
        std::memcpy(out + at, &w, 8);
        return true;
    };
    for (std::size_t at = 0; at + 8 < size; at += 8)
        if (!copyWord(at)) return false;
    return copyWord(size - 8);
}

// Appends what `put` writes for `text` to `out`.
template <typename Put>
void appendPut(std::string& out, std::string_view text, Put put) {
    const std::size_t at = out.size();
    out.resize(at + kEscapedGrowth * text.size() + kEscapedExtra);
    out.resize(static_cast<std::size_t>(put(out.data() + at, text) - out.data()));
}

bool needsCsvQuotes(std::string_view text) {
    for (const char c : text)
        if (c == ',' || c == '"' || c == ';' || static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// putXml, putJsonString and putCsvField for a text that is not plain: kept out of line, so
// that the plain texts' path stays short.
[[gnu::noinline]] char* putEscapedXml(char* out, std::string_view text) {
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = putRun(out, p, last, [](unsigned char c) {
            return c >= 0x20 && c < 0x80 && c != '&' && c != '<' && c != '>';
        });
        if (p == last) break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            p = putNonAscii(out, p, last, true);
            continue;
        }
        switch (c) {
            case '&':
                out = putText(out, "&amp;");
                break;
            case '<':
                out = putText(out, "&lt;");
                break;
            case '>':
                out = putText(out, "&gt;");
                break;
            case '\t':
            case '\n':
                *out++ = static_cast<char>(c);
                break;
            case '\r':
                out = putText(out, "&#13;");
                break;
            default:
                out = putText(out, kReplacement);
                break;
        }
        ++p;
    }
    return out;
}

[[gnu::noinline]] char* putEscapedJsonString(char* out, std::string_view text) {
    *out++ = '"';
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = putRun(out, p, last,
                   [](unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; });
        if (p == last) break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            p = putNonAscii(out, p, last, false);
            continue;
        }
        switch (c) {
            case '"':
                out = putText(out, "\\\"");
                break;
            case '\\':
                out = putText(out, "\\\\");
                break;
            case '\b':
                out = putText(out, "\\b");
                break;
            case '\f':
                out = putText(out, "\\f");
                break;
            case '\n':
                out = putText(out, "\\n");
                break;
            case '\r':
                out = putText(out, "\\r");
                break;
            case '\t':
                out = putText(out, "\\t");
                break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                out = putText(out, "\\u00");
                *out++ = kHex[c >> 4];
                *out++ = kHex[c & 0xF];
            }
        }
        ++p;
    }
    *out++ = '"';
    return out;
}

[[gnu::noinline]] char* putEscapedCsvField(char* out, std::string_view text) {
    // Most texts that get here are ASCII names with a comma (a vendor's "Cisco Systems, Inc"):
    // with no quote to double, such a text is written whole between quotes.
    if (byte_scan::isAscii(text) && text.find('"') == std::string_view::npos) {
        *out++ = '"';
        out = putText(out, text);
        *out++ = '"';
        return out;
    }
    const bool quoted = needsCsvQuotes(text);
    if (quoted) *out++ = '"';
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = putRun(out, p, last, [](unsigned char c) { return c < 0x80 && c != '"'; });
        if (p == last) break;
        if (*p == '"') {
            out = putText(out, "\"\"");
            ++p;
        } else {
            p = putNonAscii(out, p, last, false);
        }
    }
    if (quoted) *out++ = '"';
    return out;
}

}  // namespace

char* putXml(char* out, std::string_view text) {
    if (!copyIfPlain<Escaping::Xml>(out, text)) return putEscapedXml(out, text);
    return out + text.size();
}

char* putJsonString(char* out, std::string_view text) {
    if (!copyIfPlain<Escaping::Json>(out + 1, text)) return putEscapedJsonString(out, text);
    out[0] = '"';
    out += 1 + text.size();
    *out++ = '"';
    return out;
}

char* putCsvField(char* out, std::string_view text) {
    if (!copyIfPlain<Escaping::Csv>(out, text)) return putEscapedCsvField(out, text);
    return out + text.size();
}

void appendXml(std::string& out, std::string_view text) {
    appendPut(out, text, putXml);
}

void appendJsonString(std::string& out, std::string_view text) {
    appendPut(out, text, putJsonString);
}

void appendCsvField(std::string& out, std::string_view text) {
    appendPut(out, text, putCsvField);
}

char* putInt(char* out, long long value) {
    return std::to_chars(out, out + 20, value).ptr;
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
    const auto text = [&](std::string_view name, std::string_view value) {
        if (value.empty()) return;
        label(name);
        out = putXml(out, value);
    };
    const auto number = [&](std::string_view name, const std::optional<int>& value) {
        if (!value) return;
        label(name);
        out = putInt(out, *value);
    };
    text("BSSID", point.bssid);
    text("Type", point.type);
    text("Flags", point.flags);
    if (const auto wep = wepText(point)) {
        label("WEP");
        out = putText(out, *wep);  // "on" or "off": nothing to escape
    }
    if (!point.channels.empty()) {
        label("Channels");
        out = putChannels(out, point.channels, ", ");
    }
    number("SNR", point.snr);
    number("Signal", point.signal);
    number("Noise", point.noise);
    text("Time", point.time);
    if (point.vendor) text("Vendor", *point.vendor);
    if (const AccessPointSummary* ap = point.accessPoint) {
        label("Sightings");
        out = putInt(out, static_cast<long long>(ap->sightings));
        text("First seen", ap->firstSeen);
        text("Last seen", ap->lastSeen);
    }
    return out;
}

std::size_t pointSizeBound(const MapPointView& point) {
    // The markup of the longest point (KML's, with every description line) is under 400
    // bytes; its numbers under 300 (31 channels at five bytes, four numbers at 20).
    constexpr std::size_t kMarkupAndNumbers = 1024;
    std::size_t texts = point.latitude.size() + point.longitude.size() + point.name.size() +
                        point.bssid.size() + point.type.size() + point.flags.size() +
                        point.time.size();
    if (point.vendor) texts += point.vendor->size();
    if (const AccessPointSummary* ap = point.accessPoint)
        texts += ap->firstSeen.size() + ap->lastSeen.size();
    constexpr std::size_t kTexts = 10;
    return kMarkupAndNumbers + 2 * (kEscapedGrowth * texts + kEscapedExtra * kTexts);
}

}  // namespace velmora::map_text
