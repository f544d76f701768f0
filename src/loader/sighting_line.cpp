// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/sighting_line.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velmora::sighting_line {

namespace {

// The Unicode characters of bytes 0x80 to 0x9F in Windows-1252; the five it leaves undefined
// stand for the Latin-1 characters of the same value.
constexpr std::array<std::uint16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of a Unicode character in Windows-1252, or -1.
int windows1252Byte(std::uint32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (std::size_t k = 0; k < kHigh.size(); ++k)
        if (kHigh[k] == code) return static_cast<int>(0x80 + k);
    return -1;
}

// The character at `p` of UTF-8 text ending at `end`, and its length; length 0 for a byte
// that starts no valid character.
std::uint32_t decode(const unsigned char* p, const unsigned char* end, std::size_t& length) {
    length = 0;
    const unsigned lead = *p;
    std::size_t n;
    std::uint32_t code;
    if (lead < 0x80) {
        length = 1;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, code = lead & 0x07;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < n) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[k] & 0x3F);
    }
    // Overlong forms, surrogates and characters past U+10FFFF are no valid characters.
    if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    length = n;
    return code;
}

void appendFixed(std::string& line, double degrees, char positive, char negative) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%c %.7f", degrees < 0 ? negative : positive,
                                std::fabs(degrees));
    line.append(text, static_cast<std::size_t>(n));
}

}  // namespace

void appendWindows1252(std::string& out, std::string_view utf8, NameBytes rule) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = p + utf8.size();
    while (p < end) {
        std::size_t length;
        const std::uint32_t code = decode(p, end, length);
        if (length == 0) {
            out += '?';
            ++p;
            continue;
        }
        p += length;
        int byte = windows1252Byte(code);
        const bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0);
        if (rule == NameBytes::Printable ? control : code == '\t' || code == '\r' || code == '\n')
            byte = -1;
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
}

std::string_view dateOf(const SightingTime& time, char* text) {
    if (!time.hasDate || time.year < 0 || time.year > 9999 || time.month < 1 || time.month > 12 ||
        time.day < 1 || time.day > 31)
        return {};
    char made[16];
    std::snprintf(made, sizeof made, "%04d-%02d-%02d", time.year, time.month, time.day);
    std::memcpy(text, made, 10);
    return std::string_view(text, 10);
}

void write(const LogSighting& s, NameBytes rule, std::string& line) {
    line.clear();
    appendFixed(line, s.latitude, 'N', 'S');
    line += '\t';
    appendFixed(line, s.longitude, 'E', 'W');
    line += "\t( ";
    appendWindows1252(line, s.ssid, rule);
    line += " )\t";
    line += (s.capabilities & capability::kIbss) ? "ad-hoc" : "BSS";
    char text[96];
    std::snprintf(text, sizeof text, "\t( %02x:%02x:%02x:%02x:%02x:%02x )\t", s.bssid[0],
                  s.bssid[1], s.bssid[2], s.bssid[3], s.bssid[4], s.bssid[5]);
    line += text;
    const SightingTime& t = s.time;
    if (t.hasTime && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
        t.second >= 0 && t.second < 60) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d (GMT)", t.hour, t.minute, t.second);
        line += text;
    }
    if (s.snr && s.signal && s.noise)
        std::snprintf(text, sizeof text, "\t[ %d %d %d ]", *s.snr, *s.signal, *s.noise);
    else
        std::snprintf(text, sizeof text, "\t[ ]");
    line += text;
    std::snprintf(text, sizeof text, "\t# (  )\t%04x\t%08x\t%u",
                  static_cast<unsigned>(s.capabilities & 0xFFFF),
                  static_cast<unsigned>(s.channelBits & 0xFFFFFFFFu),
                  static_cast<unsigned>(s.beaconInterval.value_or(0)));
    line += text;
}

RecordExtras extrasOf(const LogSighting& s) {
    RecordExtras extras;
    extras.rssi = s.rssi;
    if (s.auth) extras.auth = *s.auth;
    extras.altitude = s.altitude;
    extras.accuracy = s.accuracy;
    extras.channel = s.channel;
    extras.name = s.ssid;
    return extras;
}

}  // namespace velmora::sighting_line
