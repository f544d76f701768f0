// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/sighting_line.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "loader/record_line.h"

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

constexpr char kHexDigits[] = "0123456789abcdef";

// "00" to "99".
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int k = 0; k < 100; ++k) {
        pairs[2 * k] = static_cast<char>('0' + k / 10);
        pairs[2 * k + 1] = static_cast<char>('0' + k % 10);
    }
    return pairs;
}();

// `value` in `digits` decimal digits, zeros in front; two at a time from the last.
char* writePadded(char* out, unsigned value, int digits) {
    int k = digits;
    for (; k >= 2; k -= 2, value /= 100)
        std::memcpy(out + k - 2, &kDigitPairs[2 * (value % 100)], 2);
    if (k) out[0] = static_cast<char>('0' + value % 10);
    return out + digits;
}

// Whether a sighting's time of day can be written: a wi-scan line and a record hold none else.
bool hasClock(const SightingTime& t) {
    return t.hasTime && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
           t.second >= 0 && t.second < 60;
}

// "HH:MM:SS" of a time hasClock() takes.
char* writeClock(char* out, const SightingTime& t) {
    out = writePadded(out, static_cast<unsigned>(t.hour), 2);
    *out++ = ':';
    out = writePadded(out, static_cast<unsigned>(t.minute), 2);
    *out++ = ':';
    return writePadded(out, static_cast<unsigned>(t.second), 2);
}

// "00" to "ff".
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (int k = 0; k < 256; ++k) {
        pairs[2 * k] = kHexDigits[k >> 4];
        pairs[2 * k + 1] = kHexDigits[k & 15];
    }
    return pairs;
}();

// `value` in `digits` (an even number) lower-case hexadecimal digits, zeros in front.
char* writeHex(char* out, std::uint32_t value, int digits) {
    for (int k = digits; k > 0; k -= 2, value >>= 8)
        std::memcpy(out + k - 2, &kHexPairs[2 * (value & 0xFF)], 2);
    return out + digits;
}

char* writeText(char* out, std::string_view text) {
    if (text.empty()) return out;  // an empty view may point nowhere
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// "%.7f" of a non-negative `x` below 1e9, written without printf: the exact binary value
// times 10^7 (at most 77 bits) rounded to a whole number, ties to even, as printf rounds.
char* writeSevenDecimals(char* out, double x) {
    if (x < 1000) {
        // x * 10^7 as a double is within 2^-19 of the exact product: unless it lies that close
        // to a tie, its nearest whole number is the exact product's.
        const double scaled = x * 10'000'000;
        const auto whole = static_cast<std::uint64_t>(scaled);
        const double rest = scaled - static_cast<double>(whole);
        if (std::fabs(rest - 0.5) > 1e-5) {
            const std::uint64_t units = whole + (rest > 0.5);
            const auto degrees = static_cast<unsigned>(units / 10'000'000);
            out = writePadded(out, degrees,
                              degrees < 10     ? 1
                              : degrees < 100  ? 2
                              : degrees < 1000 ? 3
                                               : 4);
            *out++ = '.';
            return writePadded(out, static_cast<unsigned>(units % 10'000'000), 7);
        }
    }
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>(bits >> 52);  // the sign bit is clear
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    // x = mantissa * 2^exponent
    const std::uint64_t mantissa = biased ? fraction | std::uint64_t{1} << 52 : fraction;
    const int exponent = (biased ? biased : 1) - 1075;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 10'000'000u;
    std::uint64_t units;
    if (exponent >= 0) {
        units = static_cast<std::uint64_t>(scaled << exponent);  // below 1e16: x < 1e9
    } else if (exponent < -100) {
        units = 0;  // below 2^77 * 2^-101: less than half a unit
    } else {
        const int shift = -exponent;
        const unsigned __int128 whole = scaled >> shift;
        const unsigned __int128 rest = scaled - (whole << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        units = static_cast<std::uint64_t>(whole) + (rest > half || (rest == half && (whole & 1)));
    }
    out = std::to_chars(out, out + 10, units / 10'000'000).ptr;
    *out++ = '.';
    return writePadded(out, static_cast<unsigned>(units % 10'000'000), 7);
}

// A record line's coordinate item: the hemisphere letter and "%.7f" of the magnitude of
// `degrees`, which is below 1e9.
char* writeCoordinateItem(char* out, double degrees, char positive, char negative) {
    *out++ = degrees < 0 ? negative : positive;
    return writeSevenDecimals(out, std::fabs(degrees));
}

// The room writeCoordinate may take: printf's "%.7f" of the largest double is 317 bytes.
constexpr std::size_t kCoordinateRoom = 2 + 309 + 1 + 7 + 1;

// "N 41.1234567": the hemisphere letter, a space and "%.7f" of the degrees' magnitude.
char* writeCoordinate(char* out, double degrees, char positive, char negative) {
    *out++ = degrees < 0 ? negative : positive;
    *out++ = ' ';
    const double magnitude = std::fabs(degrees);
    if (magnitude < 1e9) return writeSevenDecimals(out, magnitude);
    // Not a position any reader hands over (nor infinity or NaN): the library says what it is,
    // as printf's "%.7f" does in the C locale, whatever locale the program runs in.
    return std::to_chars(out, out + kCoordinateRoom, magnitude, std::chars_format::fixed, 7).ptr;
}

}  // namespace

char* writeWindows1252(char* out, std::string_view utf8, NameBytes rule) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = p + utf8.size();
    while (p < end) {
        // Printable ASCII, which most names are, stays as it is by either rule.
        if (*p >= 0x20 && *p < 0x7F) {
            *out++ = static_cast<char>(*p++);
            continue;
        }
        std::size_t length;
        const std::uint32_t code = decode(p, end, length);
        if (length == 0) {
            *out++ = '?';
            ++p;
            continue;
        }
        p += length;
        int byte = windows1252Byte(code);
        const bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0);
        if (rule == NameBytes::Printable ? control : code == '\t' || code == '\r' || code == '\n')
            byte = -1;
        *out++ = byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

void appendWindows1252(std::string& out, std::string_view utf8, NameBytes rule) {
    const std::size_t at = out.size();
    out.resize(at + utf8.size());
    char* const end = writeWindows1252(out.data() + at, utf8, rule);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string_view dateOf(const SightingTime& time, char* text) {
    if (!time.hasDate || time.year < 0 || time.year > 9999 || time.month < 1 || time.month > 12 ||
        time.day < 1 || time.day > 31)
        return {};
    char* out = writePadded(text, static_cast<unsigned>(time.year), 4);
    *out++ = '-';
    out = writePadded(out, static_cast<unsigned>(time.month), 2);
    *out++ = '-';
    writePadded(out, static_cast<unsigned>(time.day), 2);
    return std::string_view(text, 10);
}

std::size_t lineRoom(const LogSighting& sighting) {
    // Beside the coordinates and the name (no longer as Windows-1252 than as UTF-8): the
    // separators, type, BSSID, time, three ints, four and eight hex digits and a uint.
    return 2 * kCoordinateRoom + sighting.ssid.size() + 160;
}

char* write(const LogSighting& s, NameBytes rule, char* out) {
    out = writeCoordinate(out, s.latitude, 'N', 'S');
    *out++ = '\t';
    out = writeCoordinate(out, s.longitude, 'E', 'W');
    out = writeText(out, "\t( ");
    out = writeWindows1252(out, s.ssid, rule);
    out = writeText(out, " )\t");
    out = writeText(out, (s.capabilities & capability::kIbss) ? "ad-hoc" : "BSS");
    out = writeText(out, "\t( ");
    for (std::size_t k = 0; k < s.bssid.size(); ++k) {
        if (k > 0) *out++ = ':';
        out = writeHex(out, s.bssid[k], 2);
    }
    out = writeText(out, " )\t");
    if (hasClock(s.time)) out = writeText(writeClock(out, s.time), " (GMT)");
    if (s.snr && s.signal && s.noise) {
        out = writeText(out, "\t[ ");
        for (const int number : {*s.snr, *s.signal, *s.noise}) {
            out = std::to_chars(out, out + 11, number).ptr;
            *out++ = ' ';
        }
        *out++ = ']';
    } else {
        out = writeText(out, "\t[ ]");
    }
    out = writeText(out, "\t# (  )\t");
    out = writeHex(out, s.capabilities & 0xFFFF, 4);
    *out++ = '\t';
    out = writeHex(out, static_cast<std::uint32_t>(s.channelBits & 0xFFFFFFFFu), 8);
    *out++ = '\t';
    return std::to_chars(out, out + 10, s.beaconInterval.value_or(0)).ptr;
}

void write(const LogSighting& sighting, NameBytes rule, std::string& line) {
    line.resize(lineRoom(sighting));
    char* const end = write(sighting, rule, line.data());
    line.resize(static_cast<std::size_t>(end - line.data()));
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

namespace {

// A kept part at `out`, which has room for 64 bytes more than it: a short one in one copy of
// a fixed size.
char* writeFixed(char* out, const auto& part) {
    static_assert(sizeof part.bytes >= 64);
    if (part.size <= 64) {
        std::memcpy(out, part.bytes.data(), 64);
        return out + part.size;
    }
    return writeText(out, part.view());
}

}  // namespace

const RecordWriter::Fixed& RecordWriter::fixedOf(const LogSighting& s) {
    Fixed& f = fixed_;
    if (f.valid && f.bssid == s.bssid && f.capabilities == s.capabilities &&
        f.channelBits == s.channelBits && f.beaconInterval == s.beaconInterval &&
        f.channel == s.channel && f.ssid.view() == s.ssid)
        return f;
    f.valid = true;
    writeText(f.ssid.bytes.data(), s.ssid);  // s.ssid.size() <= kNameLimit
    f.ssid.size = s.ssid.size();
    f.bssid = s.bssid;
    f.capabilities = s.capabilities;
    f.channelBits = s.channelBits;
    f.beaconInterval = s.beaconInterval;
    f.channel = s.channel;

    // The name item: the name as Windows-1252 without the spaces and parentheses a record
    // drops; one with a comma or a quote is stored quoted, which the line's way writes.
    const char* const nameEnd = writeWindows1252(name_.data(), s.ssid, rule_);
    char* const middle = f.middle.bytes.data();
    char* out = middle;
    *out++ = ',';
    for (const char* c = name_.data(); c < nameEnd; ++c) {
        if (*c == ',' || *c == '"') {
            f.middle.size = 0;
            return f;
        }
        *out = *c;
        out += *c != ' ' && *c != '(' && *c != ')';
    }
    if (out == middle + 1) out = writeText(out, record_line::kBlankName);
    out = writeText(out, (s.capabilities & capability::kIbss) ? ",ad-hoc," : ",BSS,");
    for (std::size_t k = 0; k < s.bssid.size(); ++k) {
        if (k > 0) *out++ = ':';
        out = writeHex(out, s.bssid[k], 2);
    }
    *out++ = ',';
    f.middle.size = static_cast<std::size_t>(out - middle);

    char* const tail = f.tail.bytes.data();
    out = writeText(tail, ",#,");
    char* const flags = out;
    out = writeHex(out, s.capabilities & 0xFFFF, 4);
    f.counts = LoadCounts{};
    record_line::count(std::string_view(flags, 4), f.counts);
    *out++ = ',';
    out = writeHex(out, static_cast<std::uint32_t>(s.channelBits & 0xFFFFFFFFu), 8);
    *out++ = ',';
    out = std::to_chars(out, out + 10, s.beaconInterval.value_or(0)).ptr;
    f.tail.size = static_cast<std::size_t>(out - tail);

    char* const extras = f.extrasTail.bytes.data();
    out = extras;
    *out++ = ',';
    if (s.channel) out = std::to_chars(out, out + 11, *s.channel).ptr;
    *out++ = ',';
    out = escapeExtrasText(s.ssid, out);
    f.extrasTail.size = static_cast<std::size_t>(out - extras);
    return f;
}

std::string_view RecordWriter::escapedAuth(std::string_view auth) {
    // A log repeats few texts, most of them of lengths of their own.
    Escaped& known = auths_[auth.size() % auths_.size()];
    if (!known.valid || known.text != auth) {
        known.valid = true;
        known.text.assign(auth);
        known.escaped.resize(3 * kExtrasTextLimit);
        known.escaped.resize(static_cast<std::size_t>(escapeExtrasText(auth, known.escaped.data()) -
                                                      known.escaped.data()));
    }
    return known.escaped;
}

RecordWriter::Outcome RecordWriter::writeRecord(const LogSighting& s, char* out, LoadCounts& counts,
                                                char*& end, std::uint32_t& check) {
    // Positions as the readers hand them over; any other is left to the line and its tests.
    if (!(std::fabs(s.latitude) <= 90) || !(std::fabs(s.longitude) <= 180) ||
        s.ssid.size() > kNameLimit)
        return Outcome::LinePath;
    const Fixed& f = fixedOf(s);
    if (f.middle.size == 0) return Outcome::LinePath;
    char* const start = out;
    out = writeCoordinateItem(out, s.latitude, 'N', 'S');
    // A latitude of zero is no fix.
    if (out - start == 10 && std::memcmp(start + 1, "0.0000000", 9) == 0) return Outcome::NoFix;
    *out++ = ',';
    out = writeCoordinateItem(out, s.longitude, 'E', 'W');
    out = writeFixed(out, f.middle);
    if (hasClock(s.time)) out = writeText(writeClock(out, s.time), "GMT");
    *out++ = ',';
    *out++ = '[';
    if (s.snr && s.signal && s.noise) {
        // Kept for the extras line, which has the same numbers.
        char* numbers = signalText_.data();
        for (const int number : {*s.snr, *s.signal, *s.noise}) {
            char* const end = std::to_chars(numbers, numbers + 11, number).ptr;
            // One to nine digits, "-" allowed: the extras line's numbers; others stay empty.
            const bool kept = end - numbers - (number < 0) <= 9;
            out =
                writeText(out, std::string_view(numbers, static_cast<std::size_t>(end - numbers)));
            numbers = kept ? end : numbers;
            *numbers++ = ',';
        }
        signalSize_ = static_cast<std::size_t>(numbers - signalText_.data());
    }
    *out++ = ']';
    out = writeFixed(out, f.tail);
    check = recordCheck(std::string_view(start, static_cast<std::size_t>(out - start)));
    *out++ = '\r';
    *out++ = '\n';
    end = out;
    counts.wepOff += f.counts.wepOff;
    counts.wepOn += f.counts.wepOn;
    counts.infrastructure += f.counts.infrastructure;
    counts.adHoc += f.counts.adHoc;
    ++counts.total;
    return Outcome::Written;
}

char* RecordWriter::writeExtras(const LogSighting& s, std::uint32_t check, char* out) {
    // The check as writeExtrasCheck writes it.
    out = writeHex(out, check, static_cast<int>(kExtrasCheckLength));
    *out++ = ',';
    out = writeText(out, s.snr && s.signal && s.noise
                             ? std::string_view(signalText_.data(), signalSize_)
                             : std::string_view(",,,"));
    // A log's sightings share few dates.
    const SightingTime& t = s.time;
    if (!dateKnown_ || t.year != date_.year || t.month != date_.month || t.day != date_.day ||
        t.hasDate != date_.hasDate) {
        date_ = t;
        dateKnown_ = true;
        dateSize_ = dateOf(t, dateText_.data()).size();
    }
    out = writeText(out, std::string_view(dateText_.data(), dateSize_));
    // The values that vary from one sighting to the next, as writeExtrasValues writes them;
    // the channel and the name, which end the line, are the access point's and left empty
    // here.
    *out++ = ',';
    if (s.rssi) out = std::to_chars(out, out + 11, *s.rssi).ptr;
    *out++ = ',';
    if (s.auth) out = writeText(out, escapedAuth(*s.auth));
    RecordExtras more;
    more.altitude = s.altitude;
    more.accuracy = s.accuracy;
    // The altitude and the accuracy; the table's later values, empty here, are one "," each.
    constexpr std::size_t kLater = kExtrasFieldCount - kAltitudeField - 2;
    out = writeExtrasValues(more, kAltitudeField, out) - kLater;
    out = writeText(out, fixed_.extrasTail.view());
    // The values after the channel and the name: none of them comes from a log reader.
    for (std::size_t k = 2; k < kLater; ++k) *out++ = ',';
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

}  // namespace velmora::sighting_line
