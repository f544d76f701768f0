// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_extras.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "io/byte_scan.h"
#include "io/file_error.h"
#include "io/line_reader.h"

namespace velmora {

namespace {

// A whole decimal number ("-9", "72"), or nothing.
std::optional<int> parseNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads one number of an extras line and the comma after it at `p`: nothing, or "-" and one to
// nine digits, which no int overflows. Returns where the line goes on, or null for any other
// shape, which the full parse is left to judge. Reads eleven bytes at most.
const char* readNumberField(const char* p, std::optional<int>& number) {
    if (*p == ',') {
        number.reset();
        return p + 1;
    }
    const bool negative = *p == '-';
    if (negative) ++p;
    const char* const digits = p;
    int value = 0;
    for (unsigned digit; p - digits < 9 && (digit = static_cast<unsigned char>(*p - '0')) < 10; ++p)
        value = value * 10 + static_cast<int>(digit);
    if (p == digits || *p != ',') return nullptr;
    number = negative ? -value : value;
    return p + 1;
}

// The value of a lower-case hexadecimal digit, or 16 and more for another byte.
unsigned hexDigit(char c) {
    const unsigned byte = static_cast<unsigned char>(c);
    if (byte - '0' < 10U) return byte - '0';
    if (byte - 'a' < 6U) return byte - 'a' + 10;
    return 16;
}

// The check at `p` and the comma after it; null for any other bytes. Reads nine bytes at most.
const char* readCheck(const char* p, std::uint32_t& check) {
    check = 0;
    for (std::size_t k = 0; k < kExtrasCheckLength; ++k) {
        const unsigned digit = hexDigit(p[k]);
        if (digit > 15) return nullptr;
        check = check << 4 | digit;
    }
    return p[kExtrasCheckLength] == ',' ? p + kExtrasCheckLength + 1 : nullptr;
}

// The eight lower-case hexadecimal digits of `check`, as a word that holds them in the order
// of memory: built in a register, so that comparing it with the bytes of a line waits on no
// store.
std::uint64_t checkDigits(std::uint32_t check) {
    static_assert(kExtrasCheckLength == 8);
    // A nibble to each byte, the most significant in the top byte.
    std::uint64_t x = check;
    x = (x | x << 16) & 0x0000FFFF0000FFFFULL;
    x = (x | x << 8) & 0x00FF00FF00FF00FFULL;
    x = (x | x << 4) & 0x0F0F0F0F0F0F0F0FULL;
    // '0' + d, and 'a' - '0' - 10 more where d is ten or more (d + 6 then carries into bit 4).
    x += 0x3030303030303030ULL + (((x + 0x0606060606060606ULL) >> 4) & 0x0101010101010101ULL) * 39;
    if constexpr (std::endian::native == std::endian::little) x = __builtin_bswap64(x);
    return x;
}

// Whether the nine bytes at `p` are `check` and the comma after it as writeExtrasCheck writes
// them: readCheck's answer, compared, without a branch on each digit.
bool startsWithCheck(const char* p, std::uint32_t check) {
    std::uint64_t digits;
    std::memcpy(&digits, p, 8);
    return digits == checkDigits(check) && p[kExtrasCheckLength] == ',';
}

// The extras of the line that starts `bytes` after its check, when it has the shape the loader
// gives a wi-scan line (a check, three numbers of readNumberField's kind, an empty or
// well-formed date, the other values empty or missing, then LF or CR LF): then `used` is its length
// with the line end. False otherwise, and for fewer than kExtrasLineLimit bytes, so that the scan,
// which reads no more than a line of that shape can hold, needs no bounds.
bool parseWholeLine(std::string_view bytes, RecordExtras& extras, std::size_t& used) {
    if (bytes.size() < kExtrasLineLimit) return false;
    const char* p = bytes.data() + kExtrasCheckLength + 1;
    if (!(p = readNumberField(p, extras.snr)) || !(p = readNumberField(p, extras.signal)) ||
        !(p = readNumberField(p, extras.noise)))
        return false;
    const char* const date = p;
    if (isDigit(*p)) {
        if (!isExtrasDate(std::string_view(p, 10))) return false;
        p += 10;
    }
    extras.date = std::string_view(date, static_cast<std::size_t>(p - date));
    // The other formats' values empty as a wi-scan line leaves them, and its name with nothing
    // escaped; or none of them (the full parse takes any others).
    static constexpr std::string_view kEmptyRest = ",,,,,,,";
    static_assert(kEmptyRest.size() == kExtrasFieldCount - kWiScanExtrasFields);
    if (std::memcmp(p, kEmptyRest.data(), kEmptyRest.size()) == 0) {
        p += kEmptyRest.size();
        const char* const name = p;
        // No longer than the full parse takes a text, which keeps within the bytes known to
        // be there (a line's limit).
        static_assert(kExtrasCheckLength + 4 * 11 + 10 + kEmptyRest.size() + 3 * kExtrasTextLimit +
                          2 <=
                      kExtrasLineLimit);
        const char* const limit = name + 3 * kExtrasTextLimit;
        while (*p != '\r' && *p != '\n') {
            if (*p == '%' || *p == ',' || p == limit) return false;
            ++p;
        }
        extras.ssid = std::string_view(name, static_cast<std::size_t>(p - name));
    }
    if (p[0] == '\r' && p[1] == '\n')
        p += 2;
    else if (p[0] == '\n')
        ++p;
    else
        return false;
    used = static_cast<std::size_t>(p - bytes.data());
    return true;
}

}  // namespace

std::filesystem::path extrasFileOf(const std::filesystem::path& workingFile) {
    std::filesystem::path extras = workingFile;
    extras += ".extras";
    return extras;
}

bool isExtrasDate(std::string_view date) {
    static constexpr byte_scan::Shape kDate("9999-99-99");
    if (!kDate.matches(date)) return false;
    const int month = (date[5] - '0') * 10 + (date[6] - '0');
    const int day = (date[8] - '0') * 10 + (date[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::uint32_t recordCheck(std::string_view joinedItems) {
    // Sixteen bytes at a time, each eight multiplied into one of two hashes and folded: the two
    // chains run side by side, so a record line costs the loader little. The length goes in
    // first, so that a line and the same line with zero bytes added differ.
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    constexpr std::uint64_t kOther = 0xC2B2AE3D27D4EB4FULL;
    std::uint64_t a = (joinedItems.size() + 1) * kMultiplier;
    std::uint64_t b = kOther;
    const auto mix = [](std::uint64_t& hash, std::uint64_t word, std::uint64_t multiplier) {
        hash = (hash ^ word) * multiplier;
        hash ^= hash >> 29;
    };
    const char* p = joinedItems.data();
    std::size_t left = joinedItems.size();
    for (; left >= 16; p += 16, left -= 16) {
        std::uint64_t first, second;
        std::memcpy(&first, p, 8);
        std::memcpy(&second, p + 8, 8);
        mix(a, first, kMultiplier);
        mix(b, second, kOther);
    }
    if (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        mix(a, word, kMultiplier);
        p += 8;
        left -= 8;
    }
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, left);
        mix(b, word, kOther);
    }
    return static_cast<std::uint32_t>(((a ^ (b << 31 | b >> 33)) * kMultiplier) >> 32);
}

std::uint32_t recordCheck(const RecordFields& fields, std::string& scratch) {
    bool joined = oneRun(fields);
    for (std::size_t k = 1; joined && k < fields.size(); ++k) joined = fields[k].data()[-1] == ',';
    if (joined) {
        const char* const first = fields.front().data();
        return recordCheck(std::string_view(
            first, static_cast<std::size_t>(fields.back().data() + fields.back().size() - first)));
    }
    scratch.clear();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) scratch += ',';
        scratch += fields[k];
    }
    return recordCheck(scratch);
}

char* writeExtrasCheck(std::uint32_t check, char* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t k = kExtrasCheckLength; k-- > 0; check >>= 4) out[k] = kHex[check & 15];
    out[kExtrasCheckLength] = ',';
    return out + kExtrasCheckLength + 1;
}

std::optional<std::uint32_t> extrasCheckOf(std::string_view line) {
    std::uint32_t check;
    if (line.size() <= kExtrasCheckLength || !readCheck(line.data(), check)) return std::nullopt;
    return check;
}

namespace {

unsigned hexValue(char c) {
    const unsigned byte = static_cast<unsigned char>(c);
    if (byte - '0' < 10U) return byte - '0';
    if ((byte | 0x20) - 'a' < 6U) return (byte | 0x20) - 'a' + 10;
    return 16;
}

// An escaped text as it was, viewing `text` when nothing was escaped, else in `store`;
// nothing for a "%" that is not one of escapeExtrasText's.
std::optional<std::string_view> unescape(std::string_view text, std::string& store) {
    if (text.find('%') == std::string_view::npos) return text;
    store.clear();
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '%') {
            store += text[k];
            continue;
        }
        if (k + 2 >= text.size()) return std::nullopt;
        const unsigned high = hexValue(text[k + 1]), low = hexValue(text[k + 2]);
        if (high > 15 || low > 15) return std::nullopt;
        store += static_cast<char>(high << 4 | low);
        k += 2;
    }
    return std::string_view(store);
}

// The place of the exact name among an extras line's values.
constexpr std::size_t kNameValue = [] {
    std::size_t index = 0, name = 0;
#define VELMORA_EXTRAS_INDEX(member, kind, label, title, map) \
    if (std::string_view(#member) == "name") name = index;    \
    ++index;
    VELMORA_EXTRAS_FIELDS(VELMORA_EXTRAS_INDEX)
#undef VELMORA_EXTRAS_INDEX
    return name;
}();
// A line of the first values alone has no name.
static_assert(kNameValue >= kWiScanExtrasFields);

// Where [from, to) goes on after its `n`th comma (n > 0), or null for fewer commas; eight bytes
// at a time: the name sits past a dozen commas, and the "load + groups" and "load + aps" bench
// rows read it on every line.
const char* afterCommas(const char* from, const char* to, std::size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        for (; to - from >= 8; from += 8) {
            std::uint64_t w;
            std::memcpy(&w, from, 8);
            std::uint64_t hit = byte_scan::equalBytes(w, ',');
            const std::size_t count = byte_scan::markedCount(hit);
            if (count < n) {
                n -= count;
                continue;
            }
            while (--n > 0) hit &= hit - 1;
            return from + (std::countr_zero(hit) >> 3) + 1;
        }
    }
    for (; from < to; ++from)
        if (*from == ',' && --n == 0) return from + 1;
    return nullptr;
}

// One value of an extras line into its member; false for a text of another shape.
bool parseValue(ExtrasKind kind, std::string_view text, auto& member, std::string& store) {
    using Member = std::remove_reference_t<decltype(member)>;
    if constexpr (std::is_same_v<Member, std::optional<int>>) {
        if (text.empty()) return true;
        member = parseNumber(text);
        return member.has_value();
    } else if constexpr (std::is_same_v<Member, std::optional<double>>) {
        if (text.empty()) return true;
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
            return false;
        member = value;
        return true;
    } else if (kind == ExtrasKind::Date) {
        member = text;
        return text.empty() || isExtrasDate(text);
    } else {
        if (text.size() > 3 * kExtrasTextLimit) return false;
        const auto plain = unescape(text, store);
        if (!plain) return false;
        member = *plain;
        return true;
    }
}

}  // namespace

bool parseExtrasValues(std::string_view text, std::size_t first, std::size_t last,
                       RecordExtras& extras, ExtrasStore& store) {
    std::size_t at = 0, index = 0;
    bool good = true;
    forEachExtrasField(extras, [&](ExtrasKind kind, std::string_view, auto& member) {
        if (index++ < first || index > last || !good) return;
        if (at > text.size()) {
            good = false;
            return;
        }
        const std::size_t comma = std::min(text.find(',', at), text.size());
        good = parseValue(kind, text.substr(at, comma - at), member, store.texts[index - 1]);
        at = comma + 1;
    });
    return good && at == text.size() + 1;
}

RecordExtras parseExtras(std::string_view line, ExtrasStore& store) {
    RecordExtras extras;
    if (!extrasCheckOf(line)) return extras;
    line.remove_prefix(kExtrasCheckLength + 1);
    const auto commas = static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
    // A wi-scan line's four values, or every value.
    if (commas != kWiScanExtrasFields - 1 && commas != kExtrasFieldCount - 1) return {};
    return parseExtrasValues(line, 0, commas + 1, extras, store) ? extras : RecordExtras{};
}

RecordExtras parseExtras(std::string_view line) {
    static thread_local ExtrasStore store;
    return parseExtras(line, store);
}

std::string_view limitExtrasText(std::string_view text) {
    if (text.size() <= kExtrasTextLimit) return text;
    std::size_t end = kExtrasTextLimit;
    // Back to the first byte of the character the limit cuts.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

char* escapeExtrasText(std::string_view text, char* out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        escaped['%'] = escaped[','] = escaped['\r'] = escaped['\n'] = true;
        return escaped;
    }();
    text = limitExtrasText(text);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        // The bytes up to the next one escaped are copied as they stand, in one go.
        const char* run = p;
        while (run < end && !kEscaped[static_cast<unsigned char>(*run)]) ++run;
        std::memcpy(out, p, static_cast<std::size_t>(run - p));
        out += run - p;
        if (run == end) break;
        const auto c = static_cast<unsigned char>(*run);
        *out++ = '%';
        *out++ = kHex[c >> 4];
        *out++ = kHex[c & 15];
        p = run + 1;
    }
    return out;
}

namespace {

// std::to_chars(value)'s text (the shortest that reads back to `value`, in the shorter of
// fixed and scientific notation), found without it for the values logs give: a nonzero number
// below 1e5 with at most four decimals, which reads back to itself. The decimal m / 10^k of the
// fewest decimals k that does (division of two exact doubles rounds as reading the text does)
// has the fewest significant digits, ends in a nonzero digit where k > 0, and is shorter in
// fixed notation than in scientific where it is at least 1 or k < 4.
char* writeShortest(double value, char* out) {
    static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
    static constexpr std::uint64_t kWhole[] = {1, 10, 100, 1000, 10000};
    const double magnitude = std::abs(value);
    if (magnitude < 1e5 && value != 0) {
        for (std::size_t k = 0; k < std::size(kScale); ++k) {
            const double scaled = std::nearbyint(magnitude * kScale[k]);
            if (scaled / kScale[k] != magnitude) continue;
            if (magnitude < 1 && k == 4) break;
            if (value < 0) *out++ = '-';
            const auto units = static_cast<std::uint64_t>(scaled);
            out = std::to_chars(out, out + 6, units / kWhole[k]).ptr;
            if (k > 0) {
                *out++ = '.';
                auto fraction = units % kWhole[k];
                for (std::size_t d = k; d-- > 0; fraction /= 10)
                    out[d] = static_cast<char>('0' + fraction % 10);
                out += k;
            }
            return out;
        }
    }
    return std::to_chars(out, out + 24, value).ptr;
}

}  // namespace

char* writeExtrasValues(const RecordExtras& extras, std::size_t first, char* out) {
    std::size_t index = 0;
    forEachExtrasField(extras, [&](ExtrasKind, std::string_view, const auto& member) {
        if (index++ < first) return;
        *out++ = ',';
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, std::optional<int>>) {
            if (member) out = std::to_chars(out, out + 11, *member).ptr;
        } else if constexpr (std::is_same_v<Member, std::optional<double>>) {
            // Shortest round trip: 24 bytes at most for any double, fewer within +-1e9.
            if (member && std::isfinite(*member) && std::abs(*member) < 1e9)
                out = writeShortest(*member, out);
        } else if constexpr (std::is_same_v<Member, std::optional<std::string_view>>) {
            if (member) out = escapeExtrasText(*member, out);
        } else {
            out = escapeExtrasText(member, out);
        }
    });
    return out;
}

struct ExtrasReader::Lines {
    // Extras lines are short, and the export reads them beside the records: small chunks keep
    // the export's memory down.
    static constexpr std::size_t kChunkSize = 1 << 16;
    explicit Lines(const std::filesystem::path& file) : reader(file, kChunkSize) {}
    LineReader reader;
};

ExtrasReader::ExtrasReader(const std::filesystem::path& workingFile) {
    try {
        lines_ = std::make_unique<Lines>(extrasFileOf(workingFile));
    } catch (const FileError&) {
        // No extras file: every record has empty extras.
    }
}

ExtrasReader::~ExtrasReader() = default;

RecordExtras ExtrasReader::next(const RecordFields& record) {
    if (!lines_) return {};
    const std::uint32_t expected = recordCheck(record, scratch_);
    // The loader's lines are read straight from the reader's buffer in one pass; a line of any
    // other shape, or one the buffer holds only part of, goes through the full parse.
    const std::string_view bytes = lines_->reader.buffered();
    if (bytes.size() >= kExtrasLineLimit) {
        // Another record's check, or none, ends the reading whatever follows it.
        if (!startsWithCheck(bytes.data(), expected)) {
            lines_.reset();
            return {};
        }
        RecordExtras extras;
        std::size_t used = 0;
        if (parseWholeLine(bytes, extras, used)) {
            lines_->reader.skip(used);
            return extras;
        }
    }
    const auto line = nextLineOf(expected);
    return line ? parseExtras(*line, store_) : RecordExtras{};
}

std::string_view ExtrasReader::nextName(const RecordFields& record) {
    if (!lines_) return {};
    const std::uint32_t expected = recordCheck(record, scratch_);
    // A line whose end, and the byte after a CR, are buffered is taken from the buffer where it
    // stands; any other through the reader.
    std::string_view line;
    const std::string_view bytes = lines_->reader.buffered();
    const char* const data = bytes.data();
    const auto stop = static_cast<std::size_t>(
        byte_scan::findLineEnd(data, data + std::min(bytes.size(), kExtrasLineLimit + 1)) - data);
    if (stop <= kExtrasLineLimit && stop + 1 < bytes.size()) {
        line = bytes.substr(0, stop);
        lines_->reader.skip(stop + (data[stop] == '\r' && data[stop + 1] == '\n' ? 2 : 1));
        if (line.size() <= kExtrasCheckLength || !startsWithCheck(data, expected)) {
            lines_.reset();
            return {};
        }
    } else if (const auto read = nextLineOf(expected)) {
        line = *read;
    } else {
        return {};
    }
    // parseExtras gives a name only to a line of every value whose name is not empty: any
    // other line's name is empty, however the rest of it reads.
    const char* const end = line.data() + line.size();
    const char* const name = afterCommas(line.data() + kExtrasCheckLength + 1, end, kNameValue);
    if (!name || name == end || *name == ',') return {};
    return parseExtras(line, store_).name;
}

std::optional<std::string_view> ExtrasReader::nextLineOf(std::uint32_t check) {
    try {
        std::string_view line;
        bool complete = true;
        // A line too long to be the loader's has no check to trust either.
        if (lines_->reader.nextView(line, kExtrasLineLimit, complete) && complete &&
            line.size() > kExtrasCheckLength && startsWithCheck(line.data(), check))
            return line;
    } catch (const FileError&) {
        // An extras file that cannot be read on gives nothing more; the export goes on.
    }
    lines_.reset();
    return std::nullopt;
}

}  // namespace velmora
