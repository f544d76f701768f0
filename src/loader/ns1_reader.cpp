// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/ns1_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "io/chunk_reader.h"
#include "io/file_error.h"
#include "io/gzip_stream.h"
#include "sightings/map_point.h"

namespace velmora {

namespace {

constexpr std::string_view kSignature = "NetS";
constexpr std::size_t kHeaderSize = 12;
// The bytes of a data entry, and those a GPS position adds.
constexpr std::size_t kEntrySize = 20;
constexpr std::size_t kGpsSize = 60;
constexpr std::int32_t kGpsSource = 1;
// The most a record's entries keep of the buffer for their second reading; past it they are
// read from the file again.
constexpr std::size_t kKeepLimit = 1 << 20;
// Skips up to this long go through the buffer; longer ones move in the file.
constexpr std::size_t kSmallSkip = 1 << 16;
// FILETIME ticks per second, and the seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kEpochSeconds = 11'644'473'600;

template <typename T>
T load(const char* p) {
    static_assert(std::endian::native == std::endian::little, "the format is little-endian");
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

bool supportedVersion(std::uint32_t v) {
    return v == 1 || v == 6 || v == 8 || v == 11 || v == 12;
}

// 1234567 as "1,234,567".
std::string grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, ',');
    return digits;
}

// The civil date of a day counted from 1970-01-01 (days_from_civil reversed).
void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400) + (month <= 2);
}

class Ns1FileReader final : public Ns1Reader {
  public:
    Ns1FileReader(const std::filesystem::path& path, std::FILE* file, std::uint64_t size)
        : path_(path), file_(file), fileSize_(size), chunks_(file, path) {}
    ~Ns1FileReader() override {
        chunks_.stop();  // before the file closes
        std::fclose(file_);
    }

    void readHeader();
    bool next(LogEntry& entry) override;
    std::string damage() const override { return damage_; }

  private:
    // Makes `n` bytes from the read position available; false where the file ends first.
    bool fill(std::size_t n);
    const char* take(std::size_t n) {
        const char* p = buffer_.data() + pos_;
        pos_ += n;
        return p;
    }
    template <typename T>
    bool read(T& value) {
        if (!fill(sizeof value)) return false;
        value = load<T>(take(sizeof value));
        return true;
    }
    bool skip(std::uint64_t n);
    std::uint64_t offset() const { return start_ + (pos_ - begin_); }
    void seekTo(std::uint64_t offset);
    // Reads the next access point's record up to its end, leaving its entries for next().
    bool scanRecord();
    void readEntry(LogEntry& entry);
    // fileTimeToSightingTime(), the civil dates kept for the days last seen: a drive's entries
    // share few days.
    SightingTime timeOf(std::uint64_t fileTime);

    std::filesystem::path path_;
    std::FILE* file_;
    std::uint64_t fileSize_;
    ChunkReader chunks_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, pos_ = 0, end_ = 0;  // buffer_[begin_, end_) is the file from start_
    std::uint64_t start_ = 0;
    bool keep_ = false;  // bytes already read stay in the buffer (up to kKeepLimit)

    // The record being handed over.
    std::uint32_t index_ = 0;  // records read
    std::string ssid_;         // UTF-8
    std::array<std::uint8_t, 6> bssid_{};
    std::uint32_t flags_ = 0, beaconInterval_ = 0;
    std::uint64_t channels_ = 0;
    std::uint64_t entriesAt_ = 0, recordEnd_ = kHeaderSize;
    std::uint32_t entries_ = 0, handed_ = 0;
    bool ended_ = false;
    std::string damage_;
    // Days (FILETIME seconds / 86400) and their dates (no time of day), by day modulo 8.
    std::array<std::pair<std::uint64_t, SightingTime>, 8> days_ = [] {
        std::array<std::pair<std::uint64_t, SightingTime>, 8> days;
        for (auto& [day, date] : days) day = ~std::uint64_t{0};
        return days;
    }();
};

SightingTime Ns1FileReader::timeOf(std::uint64_t fileTime) {
    const std::uint64_t seconds = fileTime / kTicksPerSecond;
    const std::uint64_t day = seconds / 86400;
    auto& [known, date] = days_[day % days_.size()];
    if (known != day) {
        // The day's first second: its date, or no time where the day is out of range.
        date = fileTimeToSightingTime(day * 86400 * kTicksPerSecond);
        date.hour = date.minute = date.second = 0;
        known = day;
    }
    if (!date.hasDate) return {};
    SightingTime t = date;
    const auto rest = static_cast<int>(seconds % 86400);
    t.hour = rest / 3600;
    t.minute = rest / 60 % 60;
    t.second = rest % 60;
    return t;
}

bool Ns1FileReader::fill(std::size_t n) {
    while (end_ - pos_ < n) {
        if (!keep_ || pos_ - begin_ > kKeepLimit) {
            start_ += pos_ - begin_;
            begin_ = pos_;
        }
        const std::size_t at = pos_ - begin_;
        if (!chunks_.append(buffer_, begin_, end_)) return false;
        pos_ = begin_ + at;
    }
    return true;
}

bool Ns1FileReader::skip(std::uint64_t n) {
    if (n <= end_ - pos_) {
        pos_ += n;
        return true;
    }
    // Small steps go through the buffer (which may be keeping bytes); long ones move in the
    // file, never past its end.
    if (n <= kSmallSkip) {
        if (!fill(static_cast<std::size_t>(n))) return false;
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    if (offset() > fileSize_ || n > fileSize_ - offset()) return false;
    seekTo(offset() + n);
    return true;
}

void Ns1FileReader::seekTo(std::uint64_t offset) {
    if (offset >= start_ && offset - start_ <= end_ - begin_) {
        pos_ = begin_ + (offset - start_);
        return;
    }
    chunks_.stop();
    errno = 0;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        throw FileError(path_, systemReason());
    begin_ = pos_ = end_ = 0;
    start_ = offset;
}

void Ns1FileReader::readHeader() {
    if (!fill(kHeaderSize)) {
        if (end_ - pos_ >= kSignature.size() &&
            std::string_view(buffer_.data() + pos_, kSignature.size()) == kSignature)
            throw Ns1FormatError("the .ns1 file is cut short in its header");
        throw Ns1FormatError("not a .ns1 file");
    }
    if (std::string_view(take(4), 4) != kSignature) throw Ns1FormatError("not a .ns1 file");
    version_ = load<std::uint32_t>(take(4));
    accessPoints_ = load<std::uint32_t>(take(4));
    if (!supportedVersion(version_))
        throw Ns1FormatError("unsupported .ns1 version " + std::to_string(version_), version_);
}

bool Ns1FileReader::scanRecord() {
    seekTo(recordEnd_);
    std::uint8_t length = 0;
    if (!read(length) || !fill(length + 6u + 12u)) return false;
    ssid_ = windows1252ToUtf8(std::string_view(take(length), length));
    std::memcpy(bssid_.data(), take(6), 6);
    take(12);  // MaxSignal, MinNoise, MaxSNR
    channels_ = 0;
    if (version_ <= 6) {
        std::uint32_t channels = 0;
        if (!read(channels)) return false;
        if (version_ == 6) channels_ = channels;  // version 1: a word nobody uses
    }
    if (!read(flags_) || !read(beaconInterval_)) return false;
    entries_ = handed_ = 0;
    if (version_ == 1) {
        recordEnd_ = offset();
        return true;
    }
    if (!skip(32) || !read(entries_)) return false;  // FirstSeen, LastSeen, BestLat, BestLong

    // The entries' bytes stay in the buffer for their second reading, as far as they fit.
    entriesAt_ = offset();
    start_ = entriesAt_;  // the bytes before are done with
    begin_ = pos_;
    keep_ = true;
    std::uint32_t complete = 0;
    for (; complete < entries_; ++complete) {
        if (!fill(kEntrySize)) break;
        const bool gps = load<std::int32_t>(buffer_.data() + pos_ + 16) == kGpsSource;
        if (!skip(kEntrySize + (gps ? kGpsSize : 0))) break;
    }
    lostEntries_ = complete;
    bool whole = complete == entries_ && read(length) && skip(length);
    if (whole && version_ >= 8) whole = read(channels_) && skip(8);  // LastChannel, IPAddress
    if (whole && version_ >= 11) whole = skip(20);  // MinSignal, MaxNoise, DataRate, IP
    if (whole && version_ >= 12) {
        std::uint32_t elements = 0;
        whole = skip(4) && read(elements) && skip(elements);  // ApFlags, the elements
    }
    keep_ = false;
    if (!whole) return false;
    lostEntries_ = 0;
    recordEnd_ = offset();
    if (entries_ > 0) seekTo(entriesAt_);
    return true;
}

void Ns1FileReader::readEntry(LogEntry& entry) {
    // The record was read to its end a moment ago; a file cut since is a failed read.
    if (!fill(kEntrySize)) throw FileError(path_, "the file changed while it was read");
    const char* p = take(kEntrySize);
    const auto time = load<std::uint64_t>(p);
    const auto signal = load<std::int32_t>(p + 8);
    const auto noise = load<std::int32_t>(p + 12);
    const bool gps = load<std::int32_t>(p + 16) == kGpsSource;
    double latitude = 0, longitude = 0, altitude = 0;
    if (gps) {
        if (!fill(kGpsSize)) throw FileError(path_, "the file changed while it was read");
        p = take(kGpsSize);
        latitude = load<double>(p);
        longitude = load<double>(p + 8);
        altitude = load<double>(p + 16);
        // NumSats, Speed, Track, MagVariation, Hdop: not carried.
    }
    // The rule of the text logs: a latitude of zero is no fix.
    const bool placed = gps && std::isfinite(latitude) && std::isfinite(longitude) &&
                        std::fabs(latitude) <= 90 && std::fabs(longitude) <= 180 && latitude != 0;
    entry.kind = placed ? LogEntry::Kind::Sighting : LogEntry::Kind::NoPosition;
    LogSighting& s = entry.sighting;
    s = LogSighting{};
    s.latitude = placed ? latitude : 0;
    s.longitude = placed ? longitude : 0;
    s.ssid = ssid_;
    s.bssid = bssid_;
    s.capabilities = flags_;
    s.channelBits = channels_;
    s.beaconInterval = beaconInterval_;
    s.time = timeOf(time);
    s.rssi = signal;
    // The text exports' numbers; a signal far out of any radio's range stays within int.
    const auto shifted = [](std::int32_t dbm) {
        return static_cast<int>(std::int64_t{dbm} + 149 > INT32_MAX ? INT32_MAX : dbm + 149LL);
    };
    s.signal = shifted(signal);
    s.noise = shifted(noise);
    s.snr = static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{*s.signal} - *s.noise, INT32_MIN, INT32_MAX));
    if (placed && std::isfinite(altitude)) s.altitude = altitude;
}

bool Ns1FileReader::next(LogEntry& entry) {
    for (;;) {
        if (handed_ < entries_) {
            readEntry(entry);
            ++handed_;
            return true;
        }
        if (ended_) return false;
        if (index_ == accessPoints_) {
            ended_ = true;
            return false;
        }
        if (!scanRecord()) {
            ended_ = true;
            entries_ = handed_ = 0;
            damage_ = "the file is cut short in access point " + grouped(index_ + 1) + " of " +
                      grouped(accessPoints_);
            return false;
        }
        ++index_;
    }
}

}  // namespace

bool looksLikeNs1(std::string_view firstBytes) {
    return firstBytes.starts_with(kSignature);
}

SightingTime fileTimeToSightingTime(std::uint64_t fileTime) {
    SightingTime t;
    const std::int64_t seconds =
        static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kEpochSeconds;
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year < 1980 || year > 2100) return t;
    t.hasDate = t.hasTime = true;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::unique_ptr<Ns1Reader> openNs1(const std::filesystem::path& path) {
    // The reader buffers for itself; large reads then go straight to the system.
    std::FILE* file = openRegularFile(path);
    // One saved gzip-compressed is read from an unpacked copy: the reader goes back in the log.
    char first[3];
    errno = 0;
    const std::size_t got = std::fread(first, 1, sizeof first, file);
    const bool packed = startsGzip({first, got});
    if (std::ferror(file) || (!packed && std::fseek(file, 0, SEEK_SET) != 0)) {
        const std::string reason = systemReason();
        std::fclose(file);
        throw FileError(path, reason);
    }
    if (packed) {
        std::FILE* copy = nullptr;
        try {
            copy = unpackedCopy(file, path, {first, got});
        } catch (...) {
            std::fclose(file);
            throw;
        }
        std::fclose(file);
        file = copy;
    }
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        const std::string reason = systemReason();
        std::fclose(file);
        throw FileError(path, reason);
    }
    auto reader =
        std::make_unique<Ns1FileReader>(path, file, static_cast<std::uint64_t>(info.st_size));
    reader->readHeader();
    return reader;
}

}  // namespace velmora
