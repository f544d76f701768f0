#include "export/map_text.h"

#include <charconv>
#include <cstddef>

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

// Appends the non-ASCII character at `p`, or U+FFFD for a byte that starts none (then one
// byte is used); returns the bytes used. `xml` also replaces U+FFFE and U+FFFF.
std::size_t appendNonAscii(std::string& out, const unsigned char* p, const unsigned char* end,
                           bool xml) {
    const std::size_t length = sequenceLength(p, end);
    if (length == 0) {
        out += kReplacement;
        return 1;
    }
    if (xml && length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)
        out += kReplacement;
    else
        out.append(reinterpret_cast<const char*>(p), length);
    return length;
}

// Appends the run of bytes from `p` for which `plain` holds; returns where it stops.
template <typename Plain>
const unsigned char* appendRun(std::string& out, const unsigned char* p, const unsigned char* end,
                               Plain plain) {
    const unsigned char* run = p;
    while (p != end && plain(*p)) ++p;
    out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
    return p;
}

const unsigned char* begin(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}
const unsigned char* end(std::string_view text) {
    return begin(text) + text.size();
}

bool needsCsvQuotes(std::string_view text) {
    for (const char c : text)
        if (c == ',' || c == '"' || c == ';' || static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

}  // namespace

void appendXml(std::string& out, std::string_view text) {
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = appendRun(out, p, last, [](unsigned char c) {
            return c >= 0x20 && c < 0x80 && c != '&' && c != '<' && c != '>';
        });
        if (p == last) break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            p += appendNonAscii(out, p, last, true);
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\t':
            case '\n':
                out += static_cast<char>(c);
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += kReplacement;
                break;
        }
        ++p;
    }
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = appendRun(out, p, last, [](unsigned char c) {
            return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
        });
        if (p == last) break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            p += appendNonAscii(out, p, last, false);
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            }
        }
        ++p;
    }
    out += '"';
}

void appendCsvField(std::string& out, std::string_view text) {
    const bool quoted = needsCsvQuotes(text);
    if (quoted) out += '"';
    const unsigned char* const last = end(text);
    const unsigned char* p = begin(text);
    while (p != last) {
        p = appendRun(out, p, last, [](unsigned char c) { return c < 0x80 && c != '"'; });
        if (p == last) break;
        if (*p == '"') {
            out += "\"\"";
            ++p;
        } else {
            p += appendNonAscii(out, p, last, false);
        }
    }
    if (quoted) out += '"';
}

void appendInt(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendChannels(std::string& out, const std::vector<int>& channels,
                    std::string_view separator) {
    for (std::size_t k = 0; k < channels.size(); ++k) {
        if (k > 0) out += separator;
        appendInt(out, channels[k]);
    }
}

bool isFullTime(std::string_view time) {
    // YYYY-MM-DDTHH:MM:SSZ
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (time.size() != kShape.size()) return false;
    for (std::size_t k = 0; k < kShape.size(); ++k) {
        const bool ok = kShape[k] == 'd' ? time[k] >= '0' && time[k] <= '9' : time[k] == kShape[k];
        if (!ok) return false;
    }
    return true;
}

std::optional<std::string_view> wepText(const MapPoint& point) {
    if (!point.wep) return std::nullopt;
    return *point.wep ? "on" : "off";
}

void appendXmlDescription(std::string& out, const MapPoint& point) {
    bool first = true;
    const auto label = [&](std::string_view name) {
        if (!first) out += '\n';
        first = false;
        out += name;
        out += ": ";
    };
    const auto text = [&](std::string_view name, std::string_view value) {
        if (value.empty()) return;
        label(name);
        appendXml(out, value);
    };
    const auto number = [&](std::string_view name, const std::optional<int>& value) {
        if (!value) return;
        label(name);
        appendInt(out, *value);
    };
    text("BSSID", point.bssid);
    text("Type", point.type);
    text("Flags", point.flags);
    if (const auto wep = wepText(point)) text("WEP", *wep);
    if (!point.channels.empty()) {
        label("Channels");
        appendChannels(out, point.channels, ", ");
    }
    number("SNR", point.snr);
    number("Signal", point.signal);
    number("Noise", point.noise);
    text("Time", point.time);
    if (point.vendor) text("Vendor", *point.vendor);
    if (const AccessPointSummary* ap = point.accessPoint) {
        label("Sightings");
        appendInt(out, static_cast<long long>(ap->sightings));
        text("First seen", ap->firstSeen);
        text("Last seen", ap->lastSeen);
    }
}

}  // namespace velmora::map_text
