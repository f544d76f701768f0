// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/wigle_csv_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "io/byte_scan.h"
#include "io/chunk_reader.h"
#include "io/file_error.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velmora {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

SightingTime validTime(SightingTime t);

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `text` starts with `prefix`, which is in upper case, in either case.
bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t k = 0; k < prefix.size(); ++k)
        if (upper(text[k]) != prefix[k]) return false;
    return true;
}

bool equalsNoCase(std::string_view text, std::string_view word) {
    return text.size() == word.size() && startsWithNoCase(text, word);
}

bool isBlankByte(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view trim(std::string_view text) {
    // Most fields have nothing to trim.
    if (text.empty() || (!isBlankByte(text.front()) && !isBlankByte(text.back()))) return text;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isBlank(std::string_view text) {
    return trim(text).empty();
}

// A decimal "-123.456" (the sign and the decimals optional) of at most eighteen digits whose
// digits as a whole number are below 2^53 and at most 22 decimals: read without from_chars.
// The whole number and the power of ten are exact doubles, so their quotient rounds as
// reading the text does. Nothing for text of any other form.
[[gnu::always_inline]] inline std::optional<double> plainDecimal(std::string_view text) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p < end && *p == '-';
    p += negative;
    std::uint64_t digits = 0;
    std::size_t count = 0, decimals = 0;
    const char* const whole = p;
    for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p, ++count)
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (p == whole) return std::nullopt;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        // Eight digits at a time while eight bytes of the field are left.
        for (std::uint64_t eight; end - p >= 8 && count <= 18; p += 8, count += 8) {
            std::memcpy(&eight, p, 8);
            if ((eight & 0xF0F0F0F0F0F0F0F0) != 0x3030303030303030 ||
                ((eight + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) != 0x3030303030303030)
                break;
            // The eight digit values (the first in the lowest byte) as a number.
            eight -= 0x3030303030303030;
            eight = eight * 10 + (eight >> 8);  // pairs in the bytes 0, 2, 4 and 6
            eight = ((eight & 0x000000FF000000FF) * (100 + (1000000ULL << 32)) +
                     ((eight >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32))) >>
                    32;
            digits = digits * 100'000'000 + eight;
        }
        for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p, ++count)
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        decimals = static_cast<std::size_t>(p - fraction);
        if (decimals == 0) return std::nullopt;
    }
    if (p != end || count > 18 || digits > (std::uint64_t{1} << 53) ||
        decimals >= std::size(kPowers))
        return std::nullopt;
    const double value = static_cast<double>(digits) / kPowers[decimals];
    return negative ? -value : value;
}

// A finite decimal number filling the whole (trimmed) field; a leading "+" allowed.
// Inlined into the row reader, where the divisions of a row's numbers overlap.
[[gnu::always_inline]] inline std::optional<double> number(std::string_view field) {
    field = trim(field);
    if (field.size() > 1 && field[0] == '+' && field[1] != '-') field.remove_prefix(1);
    if (const auto plain = plainDecimal(field)) return plain;
    double value = 0;
    const char* const end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// An integer of at most nine digits filling the whole (trimmed) field, optionally negative.
[[gnu::always_inline]] inline std::optional<int> integer(std::string_view field) {
    field = trim(field);
    const bool negative = !field.empty() && field[0] == '-';
    if (negative) field.remove_prefix(1);
    if (field.empty() || field.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = upper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Six hexadecimal pairs with ":" or "-" between them.
bool parseMac(std::string_view field, std::array<std::uint8_t, 6>& mac) {
    field = trim(field);
    if (field.size() != 17) return false;
    for (std::size_t k = 0; k < 6; ++k) {
        const int high = hexDigit(field[3 * k]);
        const int low = hexDigit(field[3 * k + 1]);
        if (high < 0 || low < 0) return false;
        if (k < 5 && field[3 * k + 2] != ':' && field[3 * k + 2] != '-') return false;
        mac[k] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool isOtherRadio(std::string_view type) {
    for (std::string_view radio : {"BT", "BLE", "GSM", "CDMA", "WCDMA", "LTE", "NR"})
        if (equalsNoCase(type, radio)) return true;
    return false;
}

// Splits one record into its fields by RFC 4180, with the lenient rules the header describes.
// The first fields.size() fields go into `fields` (the rest of `fields` is emptied); a quoted
// field holding a doubled quote is unquoted into `scratch`, whose capacity must hold the
// record, so that no view into it moves. Returns the number of fields the record holds;
// `extraText` tells whether one beyond fields.size() holds anything but blanks.
std::size_t split(std::string_view record, std::vector<std::string_view>& fields,
                  std::string& scratch, bool& extraText) {
    scratch.clear();
    extraText = false;
    const char* p = record.data();
    const char* const end = p + record.size();
    std::size_t count = 0;
    for (;;) {
        std::string_view value;
        if (p < end && *p == '"') {
            const char* const start = p + 1;
            const char* from = start;  // the bytes from here on are not yet in `scratch`
            const std::size_t first = scratch.size();
            bool copied = false;
            const auto copyUpTo = [&](const char* to) {
                scratch.append(from, static_cast<std::size_t>(to - from));
                from = to;
            };
            for (const char* q = start;;) {
                const auto* quote = static_cast<const char*>(
                    std::memchr(q, '"', static_cast<std::size_t>(end - q)));
                if (!quote) {
                    // Never closed: the field runs to the record's end.
                    if (copied) copyUpTo(end);
                    value = copied ? std::string_view(scratch).substr(first)
                                   : std::string_view(start, static_cast<std::size_t>(end - start));
                    p = end;
                    break;
                }
                const char* const after = quote + 1;
                if (after < end && *after == '"') {
                    // A doubled quote stands for one.
                    copied = true;
                    copyUpTo(after);
                    from = q = after + 1;
                    continue;
                }
                if (after == end || *after == ',') {
                    if (copied) copyUpTo(quote);
                    value = copied
                                ? std::string_view(scratch).substr(first)
                                : std::string_view(start, static_cast<std::size_t>(quote - start));
                    p = after;
                    break;
                }
                q = after;  // a lone quote inside the field is a character of it
            }
        } else {
            // An empty line may view no memory at all: memchr is not asked about it.
            const auto* comma = p < end ? static_cast<const char*>(std::memchr(
                                              p, ',', static_cast<std::size_t>(end - p)))
                                        : nullptr;
            if (!comma) comma = end;
            value = std::string_view(p, static_cast<std::size_t>(comma - p));
            p = comma;
        }
        if (count < fields.size()) {
            fields[count] = value;
        } else if (!isBlank(value)) {
            extraText = true;
        }
        ++count;
        if (p == end) break;
        ++p;  // the comma
    }
    for (std::size_t k = count; k < fields.size(); ++k) fields[k] = {};
    return count;
}

// split() for a record without a double quote: its commas found sixteen bytes at a time.
std::size_t splitPlain(std::string_view record, std::vector<std::string_view>& fields,
                       bool& extraText) {
    extraText = false;
    const char* const base = record.data();
    const std::size_t size = record.size();
    std::size_t count = 0;
    std::size_t start = 0;
    const auto field = [&](std::size_t stop) {
        const std::string_view value(base + start, stop - start);
        if (count < fields.size()) {
            fields[count] = value;
        } else if (!isBlank(value)) {
            extraText = true;
        }
        ++count;
        start = stop + 1;
    };
    std::size_t k = 0;
#ifdef __SSE2__
    const __m128i comma = _mm_set1_epi8(',');
    for (; k + 16 <= size; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + k));
        for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
             bits; bits &= bits - 1)
            field(k + static_cast<std::size_t>(std::countr_zero(bits)));
    }
#endif
    for (; k < size; ++k)
        if (base[k] == ',') field(k);
    field(size);
    for (std::size_t f = count; f < fields.size(); ++f) fields[f] = {};
    return count;
}

// The first CR or LF in [from, to), or `to`; sets `quote` when a double quote comes before it.
const char* findLineEnd(const char* from, const char* to, bool& quote) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i dq = _mm_set1_epi8('"');
    for (; to - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        const auto quotes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dq)));
        if (ends) {
            quote = quote || (quotes & ((ends & (0u - ends)) - 1)) != 0;
            return from + std::countr_zero(ends);
        }
        quote = quote || quotes != 0;
    }
#endif
    for (; from < to; ++from) {
        if (*from == '\r' || *from == '\n') return from;
        if (*from == '"') quote = true;
    }
    return to;
}

// Where the record that starts at `from` ends: at the first CR or LF outside a quoted field,
// or `to`. `open` tells that [from, to) ends inside a quoted field, or with a quote whose next
// byte is not known yet (`atEnd` says `to` is the end of the file).
const char* recordEnd(const char* from, const char* to, bool atEnd, bool& open) {
    open = false;
    bool fieldStart = true;
    for (const char* p = from; p < to;) {
        const char c = *p;
        if (c == '"' && fieldStart) {
            ++p;
            for (;;) {
                const auto* quote =
                    static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(to - p)));
                if (!quote || (quote + 1 == to && !atEnd)) {
                    open = true;
                    return to;
                }
                p = quote + 1;
                if (p == to) break;
                if (*p == '"') {
                    ++p;
                    continue;
                }
                if (*p == ',' || *p == '\r' || *p == '\n') break;
            }
            fieldStart = false;
            continue;
        }
        if (c == '\r' || c == '\n') return p;
        fieldStart = c == ',';
        ++p;
    }
    return to;
}

// The columns the reader uses, found by their header names.
struct Columns {
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::size_t mac = kNone, ssid = kNone, auth = kNone, firstSeen = kNone, channel = kNone,
                frequency = kNone, rssi = kNone, latitude = kNone, longitude = kNone,
                altitude = kNone, accuracy = kNone, type = kNone;
    std::size_t count = 0;   // the header's fields
    std::size_t needed = 0;  // a row shorter than this lacks a column the reader uses

    bool complete() const {
        for (std::size_t c : {mac, ssid, auth, firstSeen, channel, rssi, latitude, longitude})
            if (c == kNone) return false;
        return true;
    }
};

Columns findColumns(std::string_view header) {
    std::vector<std::string_view> names(1);
    std::string scratch;
    scratch.reserve(header.size());
    bool extra = false;
    names.resize(split(header, names, scratch, extra));
    split(header, names, scratch, extra);
    Columns c;
    c.count = names.size();
    const struct {
        std::size_t Columns::*column;
        std::string_view names[2];
    } known[] = {
        {&Columns::mac, {"MAC"}},
        {&Columns::ssid, {"SSID"}},
        {&Columns::auth, {"AUTHMODE"}},
        {&Columns::firstSeen, {"FIRSTSEEN"}},
        {&Columns::channel, {"CHANNEL"}},
        {&Columns::frequency, {"FREQUENCY"}},
        {&Columns::rssi, {"RSSI"}},
        {&Columns::latitude, {"CURRENTLATITUDE", "LATITUDE"}},
        {&Columns::longitude, {"CURRENTLONGITUDE", "LONGITUDE"}},
        {&Columns::altitude, {"ALTITUDEMETERS", "ALTITUDE"}},
        {&Columns::accuracy, {"ACCURACYMETERS", "ACCURACY"}},
        {&Columns::type, {"TYPE"}},
    };
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string_view name = trim(names[k]);
        for (const auto& column : known) {
            if (c.*column.column != Columns::kNone) continue;
            for (std::string_view wanted : column.names) {
                if (!wanted.empty() && equalsNoCase(name, wanted)) {
                    c.*column.column = k;
                    c.needed = std::max(c.needed, k + 1);
                }
            }
        }
    }
    return c;
}

class WigleCsvReader final : public LogReader {
  public:
    explicit WigleCsvReader(const std::filesystem::path& path) : path_(path) {
        file_ = openRegularFile(path);
        chunks_.emplace(file_, path, kDefaultChunkSize, ChunkReader::ReadAhead::PerFile,
                        ChunkReader::Content::Unpacked);
        scratch_.reserve(kWigleRecordLimit + 1);
        for (auto& known : knownAuth_) known.second = wigle::capabilities("");
    }
    ~WigleCsvReader() override {
        chunks_.reset();  // stops reading ahead before the file closes
        std::fclose(file_);
    }
    WigleCsvReader(const WigleCsvReader&) = delete;
    WigleCsvReader& operator=(const WigleCsvReader&) = delete;

    // Reads the pre-header, if any, and the column header; false when there is no column
    // header the reader can use.
    bool readHeader() {
        if (more() &&
            std::string_view(buffer_.data() + pos_, end_ - pos_).starts_with(kByteOrderMark))
            pos_ += kByteOrderMark.size();
        std::string_view record;
        bool tooLong = false;
        bool plain = false;
        bool preHeader = false;
        for (;;) {
            if (!nextRecord(record, tooLong, plain) || tooLong) return false;
            if (isBlank(record)) continue;
            if (!preHeader && startsWithNoCase(record, "WIGLEWIFI-")) {
                preHeader = true;
                continue;
            }
            break;
        }
        columns_ = findColumns(record);
        if (!columns_.complete()) return false;
        fields_.resize(columns_.count);
        return true;
    }

    bool next(LogEntry& entry) override {
        std::string_view record;
        bool tooLong = false;
        bool plain = false;
        for (;;) {
            if (!nextRecord(record, tooLong, plain)) return false;
            if (tooLong || !isBlank(record)) break;
        }
        entry.sighting = LogSighting{};
        entry.kind = tooLong ? LogEntry::Kind::NoPosition : read(record, plain, entry.sighting);
        return true;
    }

  private:
    LogEntry::Kind read(std::string_view record, bool plain, LogSighting& s) {
        using Kind = LogEntry::Kind;
        bool extraText = false;
        const std::size_t count = plain ? splitPlain(record, fields_, extraText)
                                        : split(record, fields_, scratch_, extraText);
        const Columns& c = columns_;
        if (c.type != Columns::kNone && c.type < count) {
            const std::string_view type = trim(fields_[c.type]);
            if (!type.empty() && !equalsNoCase(type, "WIFI"))
                return isOtherRadio(type) ? Kind::OtherRadio : Kind::NoPosition;
        }
        if (count < c.needed || extraText) return Kind::NoPosition;
        const std::optional<double> latitude = number(fields_[c.latitude]);
        const std::optional<double> longitude = number(fields_[c.longitude]);
        if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180 ||
            (*latitude == 0 && *longitude == 0) || !parseMac(fields_[c.mac], s.bssid)) {
            s.bssid = {};
            return Kind::NoPosition;
        }
        s.latitude = *latitude;
        s.longitude = *longitude;
        s.ssid = fields_[c.ssid];
        const std::string_view auth = fields_[c.auth];
        s.capabilities = capabilitiesOf(auth);
        if (!auth.empty()) s.auth = auth;
        std::optional<int> mhz;
        if (c.frequency != Columns::kNone) mhz = integer(fields_[c.frequency]);
        std::optional<int> channel = integer(fields_[c.channel]);
        if (!channel || *channel < 1 || *channel > 255) channel = std::nullopt;
        if (!channel && mhz) channel = wigle::channelOfFrequency(*mhz);
        if (channel) {
            s.channel = channel;
            s.channelBits = channelBitsOf(*channel, mhz);
        }
        s.time = firstSeenOf(fields_[c.firstSeen]);
        if (const auto rssi = integer(fields_[c.rssi]); rssi && *rssi >= -255 && *rssi <= 255)
            s.rssi = rssi;
        if (c.altitude != Columns::kNone) s.altitude = number(fields_[c.altitude]);
        if (c.accuracy != Columns::kNone) s.accuracy = number(fields_[c.accuracy]);
        return Kind::Sighting;
    }

    // wigle::channelBits() for a channel of 1 to 255, looked up by the band of `mhz`.
    static std::uint64_t channelBitsOf(int channel, std::optional<int> mhz) {
        // One row per band: no frequency, 2.4 GHz, 5 GHz, any other.
        static const auto table = [] {
            std::array<std::array<std::uint64_t, 256>, 4> bits{};
            constexpr std::optional<int> kBands[] = {std::nullopt, 2412, 5180, 1000};
            for (std::size_t band = 0; band < bits.size(); ++band)
                for (int k = 1; k < 256; ++k) bits[band][k] = wigle::channelBits(k, kBands[band]);
            return bits;
        }();
        std::size_t band = 0;
        if (mhz) band = *mhz >= 2400 && *mhz < 2500 ? 1 : *mhz >= 4900 && *mhz < 5925 ? 2 : 3;
        return table[band][static_cast<std::size_t>(channel)];
    }

    // wigle::firstSeen(), the date of a padded "YYYY-MM-DD" remembered while rows repeat it.
    SightingTime firstSeenOf(std::string_view text) {
        text = trim(text);
        if (text.size() != 19 || knownDate_.size() != 10 ||
            std::memcmp(text.data(), knownDate_.data(), 10) != 0) {
            SightingTime t = wigle::firstSeen(text);
            // Only a padded, valid date is remembered.
            if (t.hasDate && text.size() == 19) {
                knownDate_.assign(text.substr(0, 10));
                dateOfKnown_ = t;
            }
            return t;
        }
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':') return {};
        unsigned bad = 0;
        const auto two = [&](std::size_t at) {
            const unsigned high = static_cast<unsigned char>(text[at]) - unsigned{'0'};
            const unsigned low = static_cast<unsigned char>(text[at + 1]) - unsigned{'0'};
            bad |= static_cast<unsigned>(high > 9) | static_cast<unsigned>(low > 9);
            return static_cast<int>(high * 10 + low);
        };
        SightingTime t = dateOfKnown_;
        t.hour = two(11);
        t.minute = two(14);
        t.second = two(17);
        if (bad || t.hour > 23 || t.minute > 59 || t.second > 59) return {};
        return t;
    }

    // wigle::capabilities(), remembered for the last few AuthMode texts: a log repeats few.
    std::uint32_t capabilitiesOf(std::string_view auth) {
        for (const auto& [text, capabilities] : knownAuth_)
            if (text == auth) return capabilities;
        auto& [text, capabilities] = knownAuth_[nextAuth_++ % knownAuth_.size()];
        text.assign(auth);
        capabilities = wigle::capabilities(auth);
        return capabilities;
    }

    // Adds the file's next chunk to the bytes not yet used; false at the end of the file.
    bool more() {
        if (eof_) return false;
        if (!chunks_->append(buffer_, pos_, end_)) eof_ = true;
        return !eof_;
    }

    // Passes over the line end at `stop` (a CR LF split by the end of what is buffered
    // leaves its LF as a blank line, which gives no entry).
    void consume(const char* stop) {
        pos_ = static_cast<std::size_t>(stop - buffer_.data());
        if (pos_ == end_) return;
        if (buffer_[pos_++] == '\r' && pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
    }

    // Reads past the rest of a line too long to hold, holding no more than one chunk.
    void skipLine() {
        for (;;) {
            const char* const end = buffer_.data() + end_;
            const char* const stop = byte_scan::findLineEnd(buffer_.data() + pos_, end);
            if (stop < end) return consume(stop);
            pos_ = end_;
            if (!more()) return;
        }
    }

    // The next record, viewing the buffer; false at the end of the file. `tooLong` tells
    // that it was longer than kWigleRecordLimit and was read past (`record` is then empty),
    // `plain` that it holds no double quote.
    bool nextRecord(std::string_view& record, bool& tooLong, bool& plain) {
        tooLong = false;
        plain = false;
        if (pos_ == end_ && !more()) return false;
        std::size_t searched = 0;  // bytes from pos_ known to hold no line end
        bool quote = false;        // whether they hold a double quote
        for (;;) {
            const char* const begin = buffer_.data() + pos_;
            const char* const end = buffer_.data() + end_;
            const char* const lineEnd = findLineEnd(begin + searched, end, quote);
            const auto lineSize = static_cast<std::size_t>(lineEnd - begin);
            if (lineSize > kWigleRecordLimit) {
                tooLong = true;
                record = {};
                skipLine();
                return true;
            }
            if (lineEnd == end && !eof_) {
                searched = lineSize;
                more();
                continue;
            }
            plain = !quote;
            if (plain) {
                record = std::string_view(begin, lineSize);
                consume(lineEnd);
                return true;
            }
            // A quoted field may hold line ends: the record ends at the first one outside
            // quotes, within the limit.
            const std::size_t available = end_ - pos_;
            const std::size_t window = std::min(available, kWigleRecordLimit + 1);
            const bool atEnd = eof_ && window == available;
            bool open = false;
            const char* const stop = recordEnd(begin, begin + window, atEnd, open);
            if (!open && (stop < begin + window || (atEnd && window <= kWigleRecordLimit))) {
                record = std::string_view(begin, static_cast<std::size_t>(stop - begin));
                consume(stop);
                return true;
            }
            if (window == available && !eof_) {
                more();
                continue;
            }
            // A quote still open at the limit or at the end of the file is taken to be
            // unbalanced: the record is its line alone.
            record = std::string_view(begin, lineSize);
            consume(lineEnd);
            return true;
        }
    }

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::optional<ChunkReader> chunks_;
    std::vector<char> buffer_;  // [pos_, end_) not yet used
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    Columns columns_;
    std::vector<std::string_view> fields_;  // the current record's, one per header column
    std::string scratch_;                   // unquoted fields; never grows past its capacity
    std::array<std::pair<std::string, std::uint32_t>, 16> knownAuth_{};
    std::string knownDate_;     // the last padded date read, with its
    SightingTime dateOfKnown_;  // time (hasDate and hasTime set)
    std::size_t nextAuth_ = 0;
};

}  // namespace

bool looksLikeWigleCsv(std::string_view firstBytes) {
    std::string_view text = firstBytes.substr(0, kWigleSniffLimit);
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    if (startsWithNoCase(text, "WIGLEWIFI-")) return true;
    const std::size_t stop = text.find_first_of("\r\n");
    return findColumns(text.substr(0, stop)).complete();
}

std::unique_ptr<LogReader> openWigleCsv(const std::filesystem::path& path) {
    auto reader = std::make_unique<WigleCsvReader>(path);
    if (!reader->readHeader()) return nullptr;
    return reader;
}

namespace wigle {

std::uint32_t capabilities(std::string_view authMode) {
    bool privacy = false;
    bool ibss = false;
    const auto at = [&authMode](std::size_t k, std::string_view word) {
        return startsWithNoCase(authMode.substr(k), word);
    };
    for (std::size_t k = 0; k < authMode.size(); ++k) {
        switch (upper(authMode[k])) {
            case 'W':
                privacy = privacy || at(k, "WEP") || at(k, "WPA") || at(k, "WAPI");
                break;
            case 'R':
                privacy = privacy || at(k, "RSN");
                break;
            case 'P':
                privacy = privacy || at(k, "PSK");
                break;
            case 'E':
                privacy = privacy || at(k, "EAP") || at(k, "ENTERPRISE");
                break;
            case 'S':
                privacy = privacy || at(k, "SAE");
                break;
            case 'O':
                privacy = privacy || at(k, "OWE");
                break;
            case '[':
                ibss = ibss || at(k, "[IBSS]");
                break;
            default:
                break;
        }
    }
    return (ibss ? capability::kIbss : capability::kEss) | (privacy ? capability::kPrivacy : 0);
}

SightingTime firstSeen(std::string_view text) {
    text = trim(text);
    SightingTime t;
    // The padded form, which most writers use, is read at once.
    if (text.size() == 19 && text[4] == '-' && text[7] == '-' &&
        (text[10] == ' ' || text[10] == 'T') && text[13] == ':' && text[16] == ':') {
        unsigned bad = 0;
        const auto digits = [&](std::size_t at, std::size_t count) {
            int value = 0;
            for (std::size_t k = at; k < at + count; ++k) {
                const unsigned digit = static_cast<unsigned char>(text[k]) - unsigned{'0'};
                bad |= digit > 9;
                value = value * 10 + static_cast<int>(digit);
            }
            return value;
        };
        t.year = digits(0, 4);
        t.month = digits(5, 2);
        t.day = digits(8, 2);
        t.hour = digits(11, 2);
        t.minute = digits(14, 2);
        t.second = digits(17, 2);
        if (bad) return {};
        return validTime(t);
    }
    std::size_t at = 0;
    // One to `width` digits, then `separator` (none after the last field).
    const auto field = [&text, &at](std::size_t width, char separator, int& value) {
        const std::size_t start = at;
        value = 0;
        while (at < text.size() && at - start < width && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + (text[at++] - '0');
        if (at == start) return false;
        if (!separator) return at == text.size();
        if (at == text.size()) return false;
        const char c = text[at++];
        return c == separator || (separator == ' ' && c == 'T');
    };
    if (!field(4, '-', t.year) || !field(2, '-', t.month) || !field(2, ' ', t.day) ||
        !field(2, ':', t.hour) || !field(2, ':', t.minute) || !field(2, 0, t.second))
        return {};
    return validTime(t);
}

}  // namespace wigle

namespace {

// `t` with hasDate and hasTime when it is a valid date and time, else no time.
SightingTime validTime(SightingTime t) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDays[t.month - 1] ||
        (t.month == 2 && t.day == 29 && !leap) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return {};
    t.hasDate = t.hasTime = true;
    return t;
}

}  // namespace

namespace wigle {

std::optional<int> channelOfFrequency(int mhz) {
    if (mhz == 2484) return 14;
    if (mhz >= 2412 && mhz <= 2472 && mhz % 5 == 2) return (mhz - 2407) / 5;
    if (mhz > 5000 && mhz <= 5900 && mhz % 5 == 0) return (mhz - 5000) / 5;
    if (mhz == 5935) return 2;
    if (mhz >= 5955 && mhz <= 7115 && mhz % 5 == 0) return (mhz - 5950) / 5;
    return std::nullopt;
}

std::uint64_t channelBits(int channel, std::optional<int> mhz) {
    enum class Band { Unknown, Low, High, Other };
    Band band = Band::Unknown;
    if (mhz) {
        band = *mhz >= 2400 && *mhz < 2500   ? Band::Low
               : *mhz >= 4900 && *mhz < 5925 ? Band::High
                                             : Band::Other;
    }
    if (channel >= 1 && channel <= 14)
        return band == Band::Unknown || band == Band::Low ? std::uint64_t{1} << channel : 0;
    static constexpr int kHighChannels[] = {36,  40,  44,  48, 52, 56, 60, 64, 149,
                                            153, 157, 161, 38, 46, 54, 62, 34};
    if (band != Band::Unknown && band != Band::High) return 0;
    for (std::size_t k = 0; k < std::size(kHighChannels); ++k)
        if (kHighChannels[k] == channel) return std::uint64_t{1} << (15 + k);
    return 0;
}

}  // namespace wigle
}  // namespace velmora
