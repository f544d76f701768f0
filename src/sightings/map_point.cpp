// SPDX-License-Identifier: GPL-3.0-or-later
#include "sightings/map_point.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "io/byte_scan.h"
#include "records/ascii.h"
#include "records/flags.h"
#include "records/mac_address.h"
#include "records/record_extras.h"
#include "records/vendor_list.h"

namespace velmora {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A coordinate item as the loader keeps it ("N41.1234567", "S0.0451234", "w007.50") as a JSON
// number: "-" for the `negative` hemisphere, the whole degrees without leading zeros (one
// "0" kept), and the fraction as it stands. Zero has no sign. Nothing for an item of any other
// shape, which no load writes. The text views `item`, or `store` where it needs a sign.
std::optional<std::string_view> readSignedDegrees(std::string_view item, char positive,
                                                  char negative, std::string& store) {
    if (item.size() < 2) return std::nullopt;
    const char hemisphere = upperAscii(item.front());
    if (hemisphere != positive && hemisphere != negative) return std::nullopt;
    const char* const number = item.data() + 1;
    const char* const end = item.data() + item.size();
    // Whole degrees, then perhaps "." and a fraction of one digit or more.
    const char* p = number;
    while (p != end && isDigit(*p)) ++p;
    const char* const wholeEnd = p;
    if (wholeEnd == number) return std::nullopt;
    const char* fraction = end;
    if (p != end) {
        if (*p++ != '.') return std::nullopt;
        fraction = p;
        while (p != end && isDigit(*p)) ++p;
        if (p == fraction || p != end) return std::nullopt;
    }
    const char* start = number;
    while (start + 1 < wholeEnd && *start == '0') ++start;
    const std::string_view digits(start, static_cast<std::size_t>(end - start));
    if (hemisphere == positive) return digits;
    // Zero has no sign; whole degrees without leading zeros are zero only as "0".
    if (*start == '0' && std::all_of(fraction, end, [](char c) { return c == '0'; })) return digits;
    // Filled in place: the coordinates of a log mostly have one length, which the store keeps.
    if (store.size() != 1 + digits.size()) store.resize(1 + digits.size());
    store[0] = '-';
    std::memcpy(store.data() + 1, digits.data(), digits.size());
    return store;
}

// readSignedDegrees, with "0" for an item of another shape.
std::string_view signedDegrees(std::string_view item, char positive, char negative,
                               std::string& store) {
    return readSignedDegrees(item, positive, negative, store).value_or("0");
}

// Two digits at `at` of `text` as a number no greater than `limit`, or -1.
int twoDigits(std::string_view text, std::size_t at, int limit) {
    if (!isDigit(text[at]) || !isDigit(text[at + 1])) return -1;
    const int value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return value <= limit ? value : -1;
}

// The Unicode characters of bytes 0x80 to 0x9F in Windows-1252; the five it leaves undefined
// are the Latin-1 characters of the same value.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The 5 GHz channels of Channelbits' bits 15 to 31.
constexpr std::array<int, 17> kHighBitChannels = {36,  40,  44,  48, 52, 56, 60, 64, 149,
                                                  153, 157, 161, 38, 46, 54, 62, 34};

// The rules of the public functions below, each filling a text or list that keeps its room.

void assignWindows1252AsUtf8(std::string& utf8, std::string_view text) {
    utf8.clear();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
            continue;
        }
        const unsigned code = byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
        if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | code >> 6);
        } else {
            utf8 += static_cast<char>(0xE0 | code >> 12);
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        }
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void assignChannelsFromBits(std::vector<int>& channels, std::string_view channelbits) {
    channels.clear();
    std::uint32_t bits = 0;  // the last eight digits: bits past 31 name no channel
    for (const char c : channelbits) {
        unsigned digit = static_cast<unsigned char>(c - '0');
        if (digit > 9) {
            digit = static_cast<unsigned char>((c | 0x20) - 'a');
            if (digit > 5) return;
            digit += 10;
        }
        bits = bits << 4 | digit;
    }
    for (std::uint32_t set = bits & ~1U; set != 0; set &= set - 1) {
        const int bit = std::countr_zero(set);
        channels.push_back(bit <= 14 ? bit : kHighBitChannels[static_cast<std::size_t>(bit - 15)]);
    }
    // Bits 1 to 14 alone come out ascending; the 5 GHz channels are not in bit order.
    if (bits >> 15 != 0 && channels.size() > 1) std::sort(channels.begin(), channels.end());
}

// `text` holds what the call before gave, or nothing: a full time there starts with a date
// already checked, which the sightings of a log mostly share.
void assignMapTime(std::string& text, std::string_view time, std::string_view date) {
    if (time.size() < 8 || (time.size() != 8 && time.substr(8) != "GMT") || time[2] != ':' ||
        time[5] != ':' || twoDigits(time, 0, 23) < 0 || twoDigits(time, 3, 59) < 0 ||
        twoDigits(time, 6, 59) < 0) {
        text.clear();
        return;
    }
    const std::string_view clock = time.substr(0, 8);
    if (text.size() == 20 && date.size() == 10 && std::memcmp(text.data(), date.data(), 10) == 0) {
        std::memcpy(text.data() + 11, clock.data(), 8);
        return;
    }
    if (!isExtrasDate(date)) {
        text.assign(clock);
        return;
    }
    // YYYY-MM-DDTHH:MM:SSZ, filled in place: a text that held a full time keeps its size.
    text.resize(20);
    std::memcpy(text.data(), date.data(), 10);
    text[10] = 'T';
    std::memcpy(text.data() + 11, clock.data(), 8);
    text[19] = 'Z';
}

template <typename T>
void takeValue(std::optional<T>& value, const std::optional<T>& extra) {
    value = extra;
}
void takeValue(std::optional<std::string_view>& value, std::string_view extra) {
    if (extra.empty())
        value.reset();
    else
        value = extra;
}

// `text` as UTF-8: itself where it is ASCII, as most texts are, otherwise its conversion, kept
// in `store`.
std::string_view utf8Of(std::string_view text, std::string& store) {
    if (byte_scan::isAscii(text)) return text;
    assignWindows1252AsUtf8(store, text);
    return store;
}

}  // namespace

std::string windows1252ToUtf8(std::string_view text) {
    std::string utf8;
    assignWindows1252AsUtf8(utf8, text);
    return utf8;
}

std::vector<int> channelsFromBits(std::string_view channelbits) {
    std::vector<int> channels;
    assignChannelsFromBits(channels, channelbits);
    return channels;
}

std::string mapTime(std::string_view time, std::string_view date) {
    std::string text;
    assignMapTime(text, time, date);
    return text;
}

void describeRecordInto(MapPointView& point, MapPointStore& store, const Sighting& record,
                        const VendorList* vendors) {
    const RecordFields& fields = record.fields;
    point.latitude = signedDegrees(fields[WorkingRecord::Latitude], 'N', 'S', store.latitude);
    point.longitude = signedDegrees(fields[WorkingRecord::Longitude], 'E', 'W', store.longitude);
    const RecordExtras& extras = record.extras;
    // The name exactly as the log has it, empty or not, where the extras give it; the SSID item
    // only for a record without them.
    if (!extras.name.empty())
        point.name = extras.name;
    else if (extras.ssid)
        point.name = *extras.ssid;
    else
        point.name = utf8Of(fields[WorkingRecord::SSID], store.name);
    const std::string_view bssid = fields[WorkingRecord::BSSID];
    point.bssid = utf8Of(bssid, store.bssid);
    point.type = utf8Of(fields[WorkingRecord::Type], store.type);
    const std::string_view flags = fields[WorkingRecord::Flags];
    point.flags = utf8Of(flags, store.flags);
    if (flags::kCountedWepOn(flags))
        point.wep = true;
    else if (flags::kCountedWepOff(flags))
        point.wep = false;
    else
        point.wep.reset();
    if (extras.channel) {
        point.channels.assign(1, *extras.channel);
    } else {
        assignChannelsFromBits(point.channels, fields[WorkingRecord::Channelbits]);
    }
    // The values written as they stand; an empty text is none.
#define VELMORA_MAP_TAKE_Value(member) takeValue(point.member, extras.member);
#define VELMORA_MAP_TAKE_Signal VELMORA_MAP_TAKE_Value
#define VELMORA_MAP_TAKE_Time(member)
#define VELMORA_MAP_TAKE_Channels(member)
#define VELMORA_MAP_TAKE_Name(member)
#define VELMORA_MAP_TAKE(member, kind, label, title, map) VELMORA_MAP_TAKE_##map(member)
    VELMORA_EXTRAS_FIELDS(VELMORA_MAP_TAKE)
#undef VELMORA_MAP_TAKE
#undef VELMORA_MAP_TAKE_Value
#undef VELMORA_MAP_TAKE_Signal
#undef VELMORA_MAP_TAKE_Time
#undef VELMORA_MAP_TAKE_Channels
#undef VELMORA_MAP_TAKE_Name
    assignMapTime(store.time, fields[WorkingRecord::Time], record.extras.date);
    point.time = store.time;
    // As the MAC window looks it up: by the upper-cased BSSID's prefix, the only part find()
    // reads.
    point.vendor.reset();
    if (vendors && bssid.size() >= kMacPrefixLength) {
        std::uint64_t prefix;
        std::memcpy(&prefix, bssid.data(), sizeof prefix);
        prefix = upperAsciiWord(prefix);
        const std::string_view upper(reinterpret_cast<const char*>(&prefix), sizeof prefix);
        if (const auto vendor = vendors->find(upper)) point.vendor = utf8Of(*vendor, store.vendor);
    }
    point.accessPoint = record.accessPoint;
}

std::optional<double> coordinateDegrees(std::string_view item, char positive, char negative) {
    // An item of at most 15 digits, as every log gives, is read as a whole number over a power
    // of ten: both exact as doubles, so their quotient is the double nearest the decimal, as
    // from_chars reads it. Weighing every sighting of one pin per access point reads two
    // ("load + convert-all --per-ap weighted" bench row).
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (item.size() >= 2 && item.size() <= 17) {
        const char hemisphere = upperAscii(item.front());
        std::uint64_t digits = 0;
        std::size_t whole = 0, fraction = 0, dots = 0;
        bool plain = hemisphere == positive || hemisphere == negative;
        for (std::size_t k = 1; plain && k < item.size(); ++k) {
            const char c = item[k];
            if (isDigit(c)) {
                digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
                ++(dots ? fraction : whole);
            } else {
                plain = c == '.' && dots++ == 0;
            }
        }
        if (plain && whole > 0 && (dots == 0 || fraction > 0) && whole + fraction <= 15) {
            const double degrees = static_cast<double>(digits) / kPowers[fraction];
            return hemisphere == negative && digits != 0 ? -degrees : degrees;
        }
    }
    std::string store;
    const std::optional<std::string_view> text = readSignedDegrees(item, positive, negative, store);
    if (!text) return std::nullopt;
    double degrees = 0;
    std::from_chars(text->data(), text->data() + text->size(), degrees);
    return degrees;
}

MapPoint describeRecord(const Sighting& record, const VendorList* vendors) {
    MapPointView point;
    MapPointStore store;
    describeRecordInto(point, store, record, vendors);
    return convertMapPoint<std::string>(point);
}

}  // namespace velmora
