// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/survey.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <system_error>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "io/block_writer.h"
#include "io/file_error.h"
#include "io/gzip_stream.h"
#include "io/interrupt_cleanup.h"
#include "io/line_reader.h"
#include "io/protected_files.h"
#include "io/text_file_writer.h"
#include "loader/log_formats.h"
#include "sightings/sighting_walk.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kNoTime = (1u << 17) - 1;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isFiller(char c) {
    return c == ' ' || c == '(' || c == ')';
}

void skipFiller(std::string_view& text) {
    while (!text.empty() && isFiller(text.front())) text.remove_prefix(1);
}

// A coordinate in 10^-7 degrees, rounded half up at the eighth decimal; 0 for another text
// (which a kept sighting never has).
std::int64_t coordinate(std::string_view text) {
    skipFiller(text);
    if (text.empty()) return 0;
    const char letter = static_cast<char>(text.front() & ~0x20);
    const bool negative = letter == 'S' || letter == 'W';
    text.remove_prefix(1);
    skipFiller(text);
    std::int64_t whole = 0;
    std::size_t i = 0;
    for (; i < text.size() && isDigit(text[i]) && whole < 1000; ++i)
        whole = whole * 10 + (text[i] - '0');
    std::int64_t fraction = 0;
    int digits = 0;
    bool roundUp = false;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            if (digits < 7) fraction = fraction * 10 + (text[i] - '0');
            if (digits == 7) roundUp = text[i] >= '5';
        }
    }
    for (; digits < 7; ++digits) fraction *= 10;
    const std::int64_t value = whole * 10'000'000 + fraction + (roundUp ? 1 : 0);
    return negative ? -value : value;
}

std::uint64_t fnv(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (char c : text) {
        if (isFiller(c)) continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// Twelve hexadecimal digits, in any case, with ":" "-" "." or filler between them, as 48 bits;
// any other text by a 48-bit hash of its upper-cased bytes.
std::uint64_t bssidNumber(std::string_view text) {
    std::uint64_t value = 0;
    int digits = 0;
    for (const char c : text) {
        int digit;
        if (isDigit(c)) {
            digit = c - '0';
        } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = (c | 0x20) - 'a' + 10;
        } else if (c == ':' || c == '-' || c == '.' || isFiller(c)) {
            continue;
        } else {
            digits = 13;
            break;
        }
        if (++digits > 12) break;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    return digits == 12 ? value : fnv(text) & 0xFFFF'FFFF'FFFFull;
}

// "H:MM:SS" or "HH:MM:SS" first (filler before it, anything after), in seconds; kNoTime else.
std::uint32_t timeOfDay(std::string_view text) {
    skipFiller(text);
    unsigned parts[3] = {};
    std::size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t start = i;
        for (; i < text.size() && isDigit(text[i]) && i - start < 2; ++i)
            parts[part] = parts[part] * 10 + static_cast<unsigned>(text[i] - '0');
        if (i == start || (part > 0 && i - start != 2)) return kNoTime;
        if (part < 2 && (i >= text.size() || text[i++] != ':')) return kNoTime;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 60) return kNoTime;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

// Days since 1969-12-31 of "YYYY-MM-DD"; SightingKey::kNoDate for anything else.
std::uint16_t dayNumber(std::string_view date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return SightingKey::kNoDate;
    const auto number = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t k = at; k < at + n; ++k) {
            if (!isDigit(date[k])) return -1;
            v = v * 10 + (date[k] - '0');
        }
        return v;
    };
    int y = number(0, 4);
    const int m = number(5, 2), d = number(8, 2);
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > 31) return SightingKey::kNoDate;
    // Days from the civil date (the proleptic Gregorian calendar).
    y -= m <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = era * 146097L + doe - 719468L + 1;
    return days >= 1 && days < 0xFFFF ? static_cast<std::uint16_t>(days) : SightingKey::kNoDate;
}

// The key's fast readers, for items as the scanner writes them (without the spaces and
// parentheses a record drops). Each gives false for any other item, which then takes the
// general reader above; where both read an item they agree.

// Eight digits at `p`, or false.
bool eightDigits(const char* p, std::uint32_t& value) {
    if constexpr (std::endian::native != std::endian::little) return false;
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
    if (((w & kHigh) | (((w + 0x0606060606060606ull) & kHigh) >> 4)) != 0x3333333333333333ull)
        return false;
    // Pairs, then fours, then all eight, the first byte the highest digit.
    w -= 0x3030303030303030ull;
    w = w * 10 + (w >> 8);
    constexpr std::uint64_t kMask = 0x000000FF000000FFull;
    w = ((w & kMask) * 0x000F424000000064ull + ((w >> 16) & kMask) * 0x0000271000000001ull) >> 32;
    value = static_cast<std::uint32_t>(w);
    return true;
}

// A letter, perhaps one space, one to three digits, "." and seven digits: coordinate()'s
// value.
bool scannerCoordinate(std::string_view item, std::int64_t& value) {
    const std::size_t n = item.size();
    const std::size_t first = n > 1 && item[1] == ' ' ? 2 : 1;
    if (n < first + 9 || n > first + 11 || isFiller(item[0]) || item[n - 8] != '.') return false;
    // The "." read as a leading zero.
    char digits[8];
    std::memcpy(digits, item.data() + n - 8, 8);
    digits[0] = '0';
    std::uint32_t fraction;
    if (!eightDigits(digits, fraction)) return false;
    std::int64_t whole = 0;
    for (std::size_t k = first; k < n - 8; ++k) {
        if (!isDigit(item[k])) return false;
        whole = whole * 10 + (item[k] - '0');
    }
    const char letter = static_cast<char>(item.front() & ~0x20);
    value = whole * 10'000'000 + fraction;
    if (letter == 'S' || letter == 'W') value = -value;
    return true;
}

constexpr std::array<std::uint8_t, 256> kHexDigit = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(0xFF);
    for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 6; ++c) table['a' + c] = table['A' + c] = static_cast<std::uint8_t>(10 + c);
    return table;
}();

// "xx:xx:xx:xx:xx:xx", hexadecimal digits in any case, perhaps as "( ... )": bssidNumber()'s
// value.
bool scannerBssid(std::string_view item, std::uint64_t& value) {
    if (item.size() == 21 && item.starts_with("( ") && item.ends_with(" )"))
        item = item.substr(2, 17);
    if (item.size() != 17) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(item.data());
    std::uint64_t v = 0;
    unsigned bad = 0;
    for (int k = 0; k < 6; ++k, p += 3) {
        const unsigned high = kHexDigit[p[0]], low = kHexDigit[p[1]];
        bad |= high | low;
        v = v << 8 | high << 4 | low;
        if (k < 5) bad |= p[2] == ':' ? 0 : 0x10;
    }
    if (bad & 0xF0) return false;
    value = v;
    return true;
}

// "HH:MM:SS" first: timeOfDay()'s value.
bool scannerTime(std::string_view item, std::uint32_t& seconds) {
    if (item.size() < 8 || item[2] != ':' || item[5] != ':') return false;
    const auto two = [&](std::size_t at) {
        return isDigit(item[at]) && isDigit(item[at + 1])
                   ? static_cast<unsigned>((item[at] - '0') * 10 + (item[at + 1] - '0'))
                   : 100u;
    };
    const unsigned h = two(0), m = two(3), s = two(6);
    if (h > 99 || m > 99 || s > 99) return false;
    seconds = h > 23 || m > 59 || s > 60 ? kNoTime : h * 3600 + m * 60 + s;
    return true;
}

SightingKey packKey(std::int64_t latitude, std::int64_t longitude, std::uint64_t bssid,
                    std::uint32_t seconds, std::uint16_t day) {
    const auto lat = static_cast<std::uint64_t>(
        std::clamp<std::int64_t>(latitude + 900'000'000, 0, (1ll << 31) - 1));
    const auto lon = static_cast<std::uint64_t>(
        std::clamp<std::int64_t>(longitude + 1'800'000'000, 0, (1ll << 32) - 1));
    SightingKey key;
    key.high = bssid << 16 | (seconds & 0xFFFF);
    key.low = lon << 32 | lat << 1 | seconds >> 16;
    key.day = day;
    return key;
}

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Copies the file `from` to the end of `to`; a missing `from` adds nothing when `optional`.
void copyInto(const fs::path& from, TextFileWriter& to, bool optional) {
    errno = 0;
    const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (optional && errno == ENOENT) return;
        throw FileError(from, systemReason());
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        errno = 0;
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const std::string why = systemReason();
            ::close(fd);
            throw FileError(from, why);
        }
        if (got == 0) break;
        to.write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    ::close(fd);
}

SightingKey keyOfLine(std::string_view line, std::uint16_t day);

// Takes a log's sightings that no earlier log of the survey holds.
class NewSightings : public SightingAdmission {
  public:
    explicit NewSightings(SightingKeys& keys) : keys_(keys) {}
    void see(std::string_view line, std::string_view date) override {
        // The key worked out when the line was expected, if it was: lines expected and then
        // passed over are dropped.
        bool known = false;
        for (; first_ != end_; ++first_) {
            const Expected& next = expected_[first_ % kExpected];
            if (std::less<const char*>()(next.line.data(), line.data())) continue;
            if (next.line.data() == line.data() && next.line.size() == line.size()) {
                key_ = next.key;
                known = true;
                ++first_;
            }
            break;
        }
        if (known) {
            key_.day = day(date);
            return;
        }
        key_ = keyOfLine(line, day(date));
        keys_.prefetch(key_);
    }

    bool expect(std::string_view line) override {
        if (end_ - first_ == kExpected) return false;
        Expected& next = expected_[end_++ % kExpected];
        next.line = line;
        next.key = keyOfLine(line, SightingKey::kNoDate);
        return true;
    }

    void fetch() override {
        // One read after the other, so that the processor waits for them all at once.
        for (; fetched_ < end_; ++fetched_)
            touched_ += keys_.touch(expected_[fetched_ % kExpected].key);
    }

    void forget() override { first_ = end_ = fetched_ = 0; }
    bool admit() override { return keys_.admit(key_); }

  private:
    // A log's sightings mostly share their date: its day is worked out once.
    std::uint16_t day(std::string_view date) {
        if (date != date_) {
            date_.assign(date);
            day_ = dayNumber(date);
        }
        return day_;
    }

    // The lines expected and not yet shown, with their keys (without the date, which the
    // slot does not depend on).
    struct Expected {
        std::string_view line;
        SightingKey key;
    };
    static constexpr std::size_t kExpected = 64;

    SightingKeys& keys_;
    SightingKey key_;
    std::array<Expected, kExpected> expected_;
    std::size_t first_ = 0, end_ = 0, fetched_ = 0;
    unsigned touched_ = 0;  // the tags read, kept so that the reads are made
    std::string date_;
    std::uint16_t day_ = SightingKey::kNoDate;
};

// The size of `file` when its first bytes make it a log, else 0 (a folder's videos and
// pictures take no room in the key table). A log whose first line is longer than the bytes
// read here counts as none: the table still grows when its keys come. A compressed log's
// first bytes are those it holds, and its size what the gzip trailer gives (the last member's,
// modulo 4 GiB), taken as at most 16 times the file's: a trailer can claim anything.
std::uintmax_t logBytes(const fs::path& file) {
    std::FILE* f = nullptr;
    try {
        f = openRegularFile(file);
    } catch (const FileError&) {
        return 0;
    }
    std::array<char, 4096> first;
    std::size_t n = std::fread(first.data(), 1, first.size(), f);
    struct stat info {};
    const bool sized = ::fstat(::fileno(f), &info) == 0;
    auto size = static_cast<std::uintmax_t>(info.st_size);
    if (sized && startsGzip({first.data(), n})) {
        try {
            GzipStream content(f, file, {first.data(), n});
            n = content.read(first.data(), first.size());
            unsigned char trailer[4] = {};
            if (::pread(::fileno(f), trailer, 4, info.st_size - 4) == 4) {
                const std::uintmax_t held = trailer[0] | trailer[1] << 8 | trailer[2] << 16 |
                                            std::uintmax_t{trailer[3]} << 24;
                size = std::clamp(held, size, 16 * size);
            }
        } catch (const FileError&) {
            n = 0;
        }
    }
    std::fclose(f);
    if (!sized || !recogniseLog(std::string_view(first.data(), n))) return 0;
    return size;
}

// A read failure's reason for the log named beside it: the system's reason, without the
// log's path in front that a load's own report carries.
std::string reasonFor(const fs::path& log, const std::string& reason) {
    const std::string prefix = log.string() + ": ";
    return reason.starts_with(prefix) ? reason.substr(prefix.size()) : reason;
}

SurveyAddResult addFailure(LoadStatus status, std::string report, std::string reason = {}) {
    SurveyAddResult result;
    result.status = status;
    result.report = std::move(report);
    result.reason = std::move(reason);
    return result;
}

}  // namespace

SightingKey sightingKey(std::string_view latitude, std::string_view longitude,
                        std::string_view bssid, std::string_view time, std::string_view date) {
    return packKey(coordinate(latitude), coordinate(longitude), bssidNumber(bssid), timeOfDay(time),
                   dayNumber(date));
}

namespace {

// sightingKeyOfLine() with the date's day.
SightingKey keyOfLine(std::string_view line, std::uint16_t day) {
    // Where the first six columns start; one past the line's end for a missing one.
    std::size_t starts[7] = {0};
    std::size_t found = 0, at = 0;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi8('\t');
    for (; found < 6 && at + 16 <= line.size(); at += 16) {
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at)), tab)));
        for (; bits && found < 6; bits &= bits - 1)
            starts[++found] = at + static_cast<std::size_t>(std::countr_zero(bits)) + 1;
    }
#endif
    for (; found < 6 && at < line.size(); ++at)
        if (line[at] == '\t') starts[++found] = at + 1;
    while (found < 6) starts[++found] = line.size() + 1;
    const auto column = [&](std::size_t k) {
        return starts[k] > line.size()
                   ? std::string_view()
                   : line.substr(starts[k], std::min(starts[k + 1] - 1, line.size()) - starts[k]);
    };
    // A column the fast readers do not take is read as its record item, without its spaces
    // and parentheses.
    std::string room;
    const auto item = [&](std::string_view text) {
        if (std::none_of(text.begin(), text.end(), isFiller)) return text;
        room.clear();
        for (const char c : text)
            if (!isFiller(c)) room += c;
        return std::string_view(room);
    };
    std::int64_t lat, lon;
    if (!scannerCoordinate(column(0), lat)) lat = coordinate(item(column(0)));
    if (!scannerCoordinate(column(1), lon)) lon = coordinate(item(column(1)));
    std::uint64_t bssid;
    if (!scannerBssid(column(4), bssid)) bssid = bssidNumber(column(4));
    std::uint32_t seconds;
    if (!scannerTime(column(5), seconds)) seconds = timeOfDay(item(column(5)));
    return packKey(lat, lon, bssid, seconds, day);
}

}  // namespace

SightingKey sightingKeyOfLine(std::string_view line, std::string_view date) {
    return keyOfLine(line, dayNumber(date));
}

std::uint64_t SightingKeys::hash(const SightingKey& key) {
    return mix(key.high * 0x9E3779B97F4A7C15ull ^ key.low);
}

std::size_t SightingKeys::home(std::uint64_t hash) const {
    // The hash's high bits scaled to the table; the tag takes its low bits.
    return static_cast<std::size_t>((static_cast<unsigned __int128>(hash) * count_) >> 64);
}

namespace {

std::uint8_t tagOf(std::uint64_t hash) {
    return static_cast<std::uint8_t>((hash & 0x7F) + 1);
}

constexpr std::size_t kLargePage = std::size_t{1} << 21;

// Zeroed memory for `bytes`; past a large page, whole large pages from the system.
void* zeroedBytes(std::size_t& bytes) {
    if (bytes < kLargePage) {
        void* const p = std::calloc(bytes, 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
    bytes = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* const p =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    // Only a hint: without large pages the table works as well, if slower.
    ::madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void releaseBytes(void* p, std::size_t bytes) {
    if (bytes < kLargePage)
        std::free(p);
    else
        ::munmap(p, (bytes + kLargePage - 1) & ~(kLargePage - 1));
}

}  // namespace

SightingKeys::~SightingKeys() {
    release();
}

void SightingKeys::release() {
    if (clearing_.joinable()) clearing_.join();
    if (slots_) releaseBytes(slots_, count_ * sizeof(Slot));
    slots_ = nullptr;
    count_ = 0;
}

bool SightingKeys::containsSighting(const SightingKey& key) const {
    if (count_ == 0) return false;
    const std::uint64_t h = hash(key);
    const std::uint8_t tag = tagOf(h);
    for (std::size_t i = home(h); slots_[i].tag != 0; i = i + 1 == count_ ? 0 : i + 1) {
        const Slot& slot = slots_[i];
        if (slot.tag == tag && slot.high == key.high && slot.low == key.low &&
            key.sameSighting({key.high, key.low, slot.day}))
            return true;
    }
    return false;
}

std::uint8_t SightingKeys::touch(const SightingKey& key) const {
    if (count_ == 0) return 0;
    // The home slot's bytes and the next line's, where most probe runs end.
    const std::size_t at = home(hash(key));
    const auto* const first = reinterpret_cast<const volatile std::uint8_t*>(&slots_[at]);
    const std::size_t next = at + 3 < count_ ? at + 3 : at;
    return static_cast<std::uint8_t>(first[0] + slots_[at].tag + slots_[next].tag);
}

void SightingKeys::prefetch(const SightingKey& key) const {
    if (count_ == 0) return;
    __builtin_prefetch(&slots_[home(hash(key))], 1);
}

bool SightingKeys::admit(const SightingKey& key) {
    if ((size_ + 1) * 4 > count_ * 3) rebuild(count_ == 0 ? 1024 : 2 * count_, true);
    const std::uint64_t h = hash(key);
    const std::uint8_t tag = tagOf(h);
    std::size_t i = home(h);
    for (; slots_[i].tag != 0; i = i + 1 == count_ ? 0 : i + 1) {
        const Slot& slot = slots_[i];
        if (slot.tag != tag || slot.high != key.high || slot.low != key.low) continue;
        if (slot.log != log_) {
            if (key.sameSighting({key.high, key.low, slot.day})) return false;
        } else if (slot.day == key.day) {
            return true;
        }
    }
    place(key, log_, i, tag);
    return true;
}

void SightingKeys::place(const SightingKey& key, std::uint8_t log, std::size_t at,
                         std::uint8_t tag) {
    Slot& slot = slots_[at];
    slot.high = key.high;
    slot.low = key.low;
    slot.day = key.day;
    slot.log = log;
    slot.tag = tag;
    ++size_;
}

void SightingKeys::nextLog() {
    // Marks come round after 255 logs: every key is settled first.
    if (log_ == 0xFF) {
        for (std::size_t i = 0; i < count_; ++i) slots_[i].log = 0;
        log_ = 0;
    }
    ++log_;
}

void SightingKeys::reserve(std::size_t keys) {
    // Two thirds full at most: the probe runs of new keys, most of a survey's, stay short.
    const std::size_t slots = std::max<std::size_t>(1024, keys / 2 * 3 + 4);
    if (slots > count_) rebuild(slots, true);
}

void SightingKeys::dropLog() {
    rebuild(count_, false);
}

void SightingKeys::rebuild(std::size_t slots, bool keepCurrent) {
    if (clearing_.joinable()) clearing_.join();
    Slot* const old = slots_;
    const std::size_t oldCount = count_;
    std::size_t bytes = slots * sizeof(Slot);
    slots_ = static_cast<Slot*>(zeroedBytes(bytes));
    count_ = slots;
#ifdef MADV_POPULATE_WRITE
    // Pages the system clears on first use, one at a time where a key lands: asked for all at
    // once, on the other processor, they are mostly ready when the keys reach them.
    if (bytes >= kLargePage) {
        void* const p = slots_;
        try {
            clearing_ = workerThread([p, bytes] { ::madvise(p, bytes, MADV_POPULATE_WRITE); });
        } catch (const std::system_error&) {
            // No thread to spare: the pages are cleared as the keys reach them.
        }
    }
#endif
    size_ = 0;
    for (std::size_t k = 0; k < oldCount; ++k) {
        const Slot& slot = old[k];
        if (slot.tag == 0 || (!keepCurrent && slot.log == log_)) continue;
        const SightingKey key{slot.high, slot.low, slot.day};
        std::size_t i = home(hash(key));
        while (slots_[i].tag != 0) i = i + 1 == count_ ? 0 : i + 1;
        place(key, slot.log, i, slot.tag);
    }
    if (old) releaseBytes(old, oldCount * sizeof(Slot));
}

std::size_t SightingKeys::bytes() const {
    return count_ * sizeof(Slot);
}

void SightingKeys::clear() {
    release();
    size_ = 0;
    log_ = 0;
}

void Survey::adopt(const fs::path& log, const LoadResult& loaded) {
    clear();
    logs_.push_back({log, loaded.type, loaded.counts, 0});
    keysRead_ = false;
}

void Survey::clear() {
    logs_.clear();
    keys_.clear();
    keysRead_ = true;
}

LoadCounts Survey::counts() const {
    LoadCounts sum;
    for (const SurveyLog& log : logs_) sum += log.counts;
    return sum;
}

std::uint64_t Survey::duplicates() const {
    std::uint64_t sum = 0;
    for (const SurveyLog& log : logs_) sum += log.duplicates;
    return sum;
}

void Survey::readKeys(std::size_t moreKeys) {
    if (keysRead_) return;
    keys_.clear();
    // Sized once for its records (about 90 bytes each) and the keys still to come.
    std::error_code ec;
    const auto size = fs::file_size(files_.output1(), ec);
    keys_.reserve((ec ? 0 : static_cast<std::size_t>(size / 90)) + moreKeys);
    keys_.nextLog();
    forEachSighting(files_.output1(), [&](const Sighting& s) {
        keys_.admit(sightingKey(s.fields[WorkingRecord::Latitude],
                                s.fields[WorkingRecord::Longitude], s.fields[WorkingRecord::BSSID],
                                s.fields[WorkingRecord::Time], s.extras.date));
    });
    keysRead_ = true;
}

SurveyAddResult Survey::add(const std::vector<fs::path>& logs) {
    std::optional<WorkingFolderLock> ownLock;
    if (auto failed = lockWorkingFolder(files_, ownLock))
        return addFailure(failed->status, std::move(failed->report), std::move(failed->reason));

    SurveyAddResult result;
    // The new files share the prefix of the old ones a load moves aside, so that one left by a
    // program killed outright goes with them at the next load.
    const auto tag = ".old-add" + std::to_string(std::random_device()());
    const auto staged = [&](const fs::path& file) {
        return file.parent_path() / ("." + file.filename().string() + tag);
    };
    const fs::path targets[3] = {files_.extras(), files_.output2(), files_.output1()};
    const fs::path news[3] = {staged(targets[0]), staged(targets[1]), staged(targets[2])};
    std::optional<InterruptCleanup> made[3];
    std::vector<SurveyLog> added;
    try {
        // The table is sized once for the sightings the logs hold at about 100 bytes each (a
        // text or WiGLE line; a binary log's denser sightings still let it grow), before its
        // pages are needed, so that the system clears them while the survey's files are copied.
        std::uintmax_t bytes = 0;
        for (const fs::path& log : logs) bytes += logBytes(log);
        const auto newKeys = static_cast<std::size_t>(bytes / 100);
        readKeys(newKeys);
        keys_.reserve(keys_.size() + newKeys);
        // Named for the cleanup before they exist: a signal between the two would leave one.
        for (int k = 0; k < 3; ++k) made[k].emplace(news[k]);
        TextFileWriter outExtras(news[0]);
        TextFileWriter out2(news[1]);
        TextFileWriter out1(news[2]);
        if (!logs_.empty()) {
            copyInto(files_.extras(), outExtras, true);
            copyInto(files_.output1(), out1, false);
            copyInto(files_.output1(), out2, false);
        }
        NewSightings admission(keys_);
        // One set of read buffers and one thread to read ahead for every wi-scan log: a
        // survey's logs are mostly small, and buffers cleared and a thread started for each
        // would cost more than reading it.
        LineReadAhead reading;
        // One pair of block writers for every log; a log that cannot be read whole is taken
        // back from where it started in the files.
        const std::uint64_t starts[3] = {outExtras.size(), out2.size(), out1.size()};
        BlockWriter records({&out1, &out2});
        BlockWriter extras({&outExtras});
        for (const fs::path& log : logs) {
            const std::uint64_t recordsAt = records.position(), extrasAt = extras.position();
            keys_.nextLog();
            std::uint64_t duplicates = 0;
            const LoadResult read =
                readSourceLog(log, records, extras, &admission, duplicates, &reading);
            if (read.status == LoadStatus::Loaded && read.damage.empty()) {
                added.push_back({log, read.type, read.counts, duplicates});
                continue;
            }
            keys_.dropLog();
            records.finish();
            extras.finish();
            outExtras.truncate(starts[0] + extrasAt);
            out2.truncate(starts[1] + recordsAt);
            out1.truncate(starts[2] + recordsAt);
            records.rewindTo(recordsAt);
            extras.rewindTo(extrasAt);
            if (read.status == LoadStatus::BadFile && read.reason.empty())
                result.notLogs.push_back(log);
            else
                result.failed.push_back(
                    {log, read.damage.empty() ? reasonFor(log, read.reason) : read.damage});
        }
        records.finish();
        extras.finish();
        if (added.empty()) {
            for (const fs::path& file : news) removeWorkingFile(file);
            result.status = LoadStatus::BadFile;
            result.report = "Bad File - Try Again";
            return result;
        }
        out1.makeReadOnly();
        outExtras.makeReadOnly();
        outExtras.close();
        out2.close();
        out1.close();
        // The extras file first: with the old output1 its new lines are never reached. Each
        // new file trades names with the old one in one step (a rename over an existing file
        // would make ext4 write the new one out at once); the old one, now under the new
        // one's name, is then deleted.
        for (int k = 0; k < 3; ++k) {
            errno = 0;
            if (::renameat2(AT_FDCWD, news[k].c_str(), AT_FDCWD, targets[k].c_str(),
                            RENAME_EXCHANGE) == 0) {
                removeWorkingFile(news[k]);
            } else if (::rename(news[k].c_str(), targets[k].c_str()) != 0) {
                throw FileError(targets[k], systemReason());
            }
            made[k]->release();
        }
    } catch (const FileError& e) {
        for (int k = 0; k < 3; ++k)
            if (made[k]) removeWorkingFile(news[k]);
        // Keys of logs this add took are held: read them again from output1 next time.
        keysRead_ = logs_.empty() ? (keys_.clear(), true) : false;
        return addFailure(LoadStatus::WorkingFileError, "Working File Error - Check Folder",
                          e.what());
    }
    logs_.insert(logs_.end(), added.begin(), added.end());
    std::vector<fs::path> paths;
    for (const SurveyLog& log : logs_) paths.push_back(log.path);
    protectFiles(ProtectedRole::LoadedLog, paths);
    result.added = std::move(added);
    result.status = LoadStatus::Loaded;
    result.report = "Processing Done!";
    return result;
}

std::vector<fs::path> filesInFolder(const fs::path& folder, bool recursive,
                                    std::vector<SkippedLog>& unreadable) {
    std::vector<fs::path> files, folders;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw FileError(folder, ec.message());
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw FileError(folder, ec.message());
        const fs::path& path = it->path();
        if (path.filename().string().starts_with(".")) continue;
        std::error_code ignored;
        if (it->is_symlink(ignored) && it->is_directory(ignored)) continue;
        if (it->is_directory(ignored))
            folders.push_back(path);
        else if (it->is_regular_file(ignored))
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    if (recursive) {
        std::sort(folders.begin(), folders.end());
        for (const fs::path& sub : folders) {
            try {
                std::vector<fs::path> more = filesInFolder(sub, true, unreadable);
                files.insert(files.end(), more.begin(), more.end());
            } catch (const FileError& e) {
                unreadable.push_back({sub, e.reason()});
            }
        }
    }
    return files;
}

std::string surveyTitle(const std::vector<SurveyLog>& logs) {
    if (logs.empty()) return {};
    std::string title = logs.front().path.filename().string();
    if (logs.size() == 2) title += " and 1 more log";
    if (logs.size() > 2) title += " and " + std::to_string(logs.size() - 1) + " more logs";
    return title;
}

}  // namespace velmora
