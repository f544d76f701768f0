// SPDX-License-Identifier: GPL-3.0-or-later
// One pin per access point: holds the strongest sighting of each access point and hands them
// over once every sighting has been added.
//
// A log has a hundred thousand access points and more, so each is held compactly: a 64-byte
// entry (its BSSID as a number, its count, its strongest signal, and the time and date of its
// first and last sighting packed), the strongest sighting's record bytes and other extras in
// an arena of large blocks, and a flat hash of entry numbers. The times are made text only
// when the pins are written.

#include "sightings/strongest_sightings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "io/byte_scan.h"
#include "io/packed_numbers.h"
#include "records/bssid_key.h"
#include "sightings/map_point.h"

namespace velmora {

namespace {

// Blocks of bytes handed out one after the other and never moved, so that what is held
// stays where it was put and growing never copies (nor briefly doubles) what is held. Room
// given back is handed out again to a request of its size or a little less.
class Arena {
  public:
    struct Room {
        char* at;
        std::size_t size;
    };

    Room allocate(std::size_t size) {
        for (std::size_t r = size; r < std::min(size + kSlack, kListed); ++r) {
            if (char* const at = free_[r]) {
                std::memcpy(&free_[r], at, sizeof(char*));
                return {at, r};
            }
        }
        if (size > left_) {
            const std::size_t block = std::max(size, kBlock);
            blocks_.push_back(std::make_unique<char[]>(block));
            next_ = blocks_.back().get();
            left_ = block;
        }
        char* const at = next_;
        next_ += size;
        left_ -= size;
        return {at, size};
    }

    // Takes back what allocate() gave (at least a pointer's size), to be handed out again.
    void release(Room room) {
        if (room.size >= kListed) return;
        std::memcpy(room.at, &free_[room.size], sizeof(char*));
        free_[room.size] = room.at;
    }

  private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    static constexpr std::size_t kListed = 1024;  // rooms this small are handed out again
    static constexpr std::size_t kSlack = 8;      // bytes a request may leave unused
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
    std::array<char*, kListed> free_{};  // given back, by size: each links to the next
};

// The strongest sighting of an access point, as held in the arena:
//   what (u8)       bit 0: the SNR was read, bit 1: the noise was, bit 2: the item sizes follow,
//                   bit 3: the signal was read, bit 4: other values follow
//   SNR, noise      where read, each as a number (below)
//   signal          where read
//   other values    the extras after the date (RSSI, auth, ...) as their extras line writes
//                   them: their length, then the text
//   date            the number of its extras date in the sink's date table
//   item sizes      eleven numbers, where an item has a comma; else the items are split at them
//   the items       joined by ",", so that they stand one separator apart as in a line
// Numbers are packed (io/packed_numbers.h), so that small readings take one byte.
// The entry keeps the signal, which every sighting compares against, and the slot's size.
namespace held {

constexpr unsigned kSnr = 1;
constexpr unsigned kNoise = 2;
constexpr unsigned kSizes = 4;
constexpr unsigned kSignal = 8;
constexpr unsigned kMore = 16;

// Whether a sighting has extras past a wi-scan line's.
bool hasMore(const RecordExtras& extras) {
    std::size_t index = 0;
    bool more = false;
    forEachExtrasField(extras, [&](ExtrasKind, std::string_view, const auto& member) {
        if (index++ < kWiScanExtrasFields) return;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string_view>)
            more = more || !member.empty();
        else
            more = more || member.has_value();
    });
    return more;
}

// The most a held record of `fields` takes.
std::size_t maxSize(const RecordFields& fields) {
    std::size_t size = 1 + 5 + 5 + 5 + 5 + 5 + kExtrasLineLimit + fields.size() - 1;
    for (const std::string_view field : fields) size += 10 + field.size();
    return size;
}

using packed::getNumber;
using packed::putNumber;
char* putSigned(char* p, int value) {
    return packed::putSigned(p, value);
}
int getSigned(const char*& p) {
    return static_cast<int>(packed::getSigned(p));
}

// The commas in [from, to), eight bytes at a time: with std::count the "load + convert-all
// --per-ap" bench row took 14 % more instructions, at the edge of its 2 times target.
std::size_t countCommas(const char* from, const char* to) {
    std::size_t count = 0;
    for (; to - from >= 8; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        count += byte_scan::markedCount(byte_scan::equalBytes(word, ','));
    }
    for (; from < to; ++from) count += *from == ',';
    return count;
}

// Writes `record` at `slot` (room for maxSize(record.fields)); returns the bytes written.
std::size_t write(char* slot, const Sighting& record, std::uint32_t date) {
    const RecordExtras& extras = record.extras;
    const RecordFields& fields = record.fields;
    bool commas = false;
    const bool run = oneRun(fields);
    if (run) {
        // A line read: its items have a comma where the run has more than its ten separators.
        const char* const first = fields.front().data();
        const char* const end = fields.back().data() + fields.back().size();
        commas = countCommas(first, end) != fields.size() - 1;
    } else {
        for (const std::string_view field : fields)
            commas = commas || field.find(',') != std::string_view::npos;
    }
    const bool more = hasMore(extras);
    slot[0] = static_cast<char>((extras.snr ? kSnr : 0) | (extras.noise ? kNoise : 0) |
                                (commas ? kSizes : 0) | (extras.signal ? kSignal : 0) |
                                (more ? kMore : 0));
    char* p = slot + 1;
    if (extras.snr) p = putSigned(p, *extras.snr);
    if (extras.noise) p = putSigned(p, *extras.noise);
    p = putNumber(p, date);
    if (extras.signal) p = putSigned(p, *extras.signal);
    if (more) {
        // Written after a length's room, then the length put in front.
        char text[kExtrasLineLimit];
        const char* const end = writeExtrasValues(extras, kWiScanExtrasFields, text);
        const auto length = static_cast<std::size_t>(end - text);
        p = putNumber(p, length);
        std::memcpy(p, text, length);
        p += length;
    }
    if (commas)
        for (const std::string_view field : record.fields) p = putNumber(p, field.size());
    if (run) {
        // Items one separator apart: copied as one run, each separator then made ",".
        const char* const first = fields.front().data();
        std::memcpy(p, first,
                    static_cast<std::size_t>(fields.back().data() + fields.back().size() - first));
        for (std::size_t k = 0; k + 1 < fields.size(); ++k) {
            p += fields[k].size();
            *p++ = ',';
        }
        return static_cast<std::size_t>(p + fields.back().size() - slot);
    }
    for (std::size_t k = 0; k < record.fields.size(); ++k) {
        if (k > 0) *p++ = ',';
        if (!record.fields[k].empty()) {
            std::memcpy(p, record.fields[k].data(), record.fields[k].size());
            p += record.fields[k].size();
        }
    }
    return static_cast<std::size_t>(p - slot);
}

// The record a slot of `size` bytes holds, viewing it (or `store`); its extras date is the
// number returned.
std::uint32_t read(const char* slot, std::size_t size, Sighting& record, ExtrasStore& store) {
    const unsigned what = static_cast<unsigned char>(slot[0]);
    const char* p = slot + 1;
    record.extras = RecordExtras{};
    if (what & kSnr) record.extras.snr = getSigned(p);
    if (what & kNoise) record.extras.noise = getSigned(p);
    const auto date = static_cast<std::uint32_t>(getNumber(p));
    if (what & kSignal) record.extras.signal = getSigned(p);
    if (what & kMore) {
        const auto length = static_cast<std::size_t>(getNumber(p));
        // Past the "," before the first value: as the extras line holds them.
        parseExtrasValues(std::string_view(p + 1, length - 1), kWiScanExtrasFields,
                          kExtrasFieldCount, record.extras, store);
        p += length;
    }
    if (what & kSizes) {
        std::size_t sizes[WorkingRecord::kFieldCount];
        for (std::size_t& itemSize : sizes) itemSize = static_cast<std::size_t>(getNumber(p));
        for (std::size_t k = 0; k < record.fields.size(); ++k) {
            record.fields[k] = {p, sizes[k]};
            p += sizes[k] + 1;
        }
    } else {
        const std::string_view items(p, static_cast<std::size_t>(slot + size - p));
        std::size_t at = 0;
        for (std::size_t k = 0; k + 1 < record.fields.size(); ++k) {
            const std::size_t comma = items.find(',', at);
            record.fields[k] = items.substr(at, comma - at);
            at = comma + 1;
        }
        record.fields.back() = items.substr(at);
    }
    return date;
}

}  // namespace held

// The clock of a Time item as mapTime writes it ("HH:MM:SS"): its six digits, four bits
// each, below a set bit 24; 0 where the item is no time of day.
std::uint32_t packedClock(std::string_view time) {
    const std::string clock = mapTime(time, {});  // eight bytes at most: no allocation
    if (clock.size() != 8) return 0;
    std::uint32_t packed = 1;
    for (const std::size_t k : {0, 1, 3, 4, 6, 7})
        packed = packed << 4 | static_cast<std::uint32_t>(clock[k] - '0');
    return packed;
}

// The "HH:MM:SS" of a packed clock, in `text`; empty for 0.
std::string_view clockText(std::uint32_t packed, char (&text)[8]) {
    if (packed == 0) return {};
    for (const std::size_t k : {7, 6, 4, 3, 1, 0}) {
        text[k] = static_cast<char>('0' + (packed & 0xf));
        packed >>= 4;
    }
    text[2] = text[5] = ':';
    return {text, sizeof text};
}

// An unreadable signal, below every readable one.
constexpr std::int64_t kUnreadable = std::numeric_limits<std::int64_t>::min();

struct AccessPoint {
    std::uint64_t key;    // distinct::bssidKey of the BSSID
    char* strongest;      // its strongest sighting, in the arena
    std::int64_t signal;  // that sighting's RSSI, or signal where it has none, or kUnreadable
    std::uint64_t sightings;
    std::uint32_t room;        // the bytes `strongest` has room for
    std::uint32_t used;        // and holds
    std::uint32_t firstClock;  // packedClock of its first sighting
    std::uint32_t lastClock;   // and of its last
    std::uint32_t firstDate;   // the number of their extras dates
    std::uint32_t lastDate;
    std::uint64_t number;  // the record number of `strongest`
};

// The entries in order of first sighting, in blocks that never move.
class AccessPoints {
  public:
    std::size_t size() const { return size_; }
    AccessPoint& operator[](std::size_t i) { return at(i); }
    const AccessPoint& operator[](std::size_t i) const { return at(i); }
    AccessPoint& add() {
        if (size_ % kPerBlock == 0) blocks_.push_back(std::make_unique<AccessPoint[]>(kPerBlock));
        return at(size_++) = AccessPoint{};
    }

  private:
    static constexpr std::size_t kPerBlock = (std::size_t{2} << 20) / sizeof(AccessPoint);

    AccessPoint& at(std::size_t i) const { return blocks_[i / kPerBlock][i % kPerBlock]; }

    std::vector<std::unique_ptr<AccessPoint[]>> blocks_;
    std::size_t size_ = 0;
};

// A sighting waiting its turn: what the sink keeps of it, its record in the held form.
struct Pending {
    std::uint64_t key;
    std::int64_t signal;
    // For the weighted centroid: the position, where it can be read, and the reading in dB.
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::optional<int> decibels;
    std::uint32_t clock;
    std::uint32_t date;
    std::uint64_t number;
    std::vector<char> record;  // the held form, in its first `size` bytes
    std::size_t size;
};

// A longitude difference brought into [-180, 180).
double wrapDegrees(double degrees) {
    return degrees - 360 * std::floor((degrees + 180) / 360);
}

// Weighted sums of the sightings' offsets from a reference point, in degrees (east-west
// unwrapped): enough for the centroid and the mean square distance from it.
struct Sums {
    double weight = 0, north = 0, east = 0, north2 = 0, east2 = 0;

    void add(double w, double dNorth, double dEast) {
        weight += w;
        north += w * dNorth;
        east += w * dEast;
        north2 += w * dNorth * dNorth;
        east2 += w * dEast * dEast;
    }
    void scale(double factor) {
        weight *= factor;
        north *= factor;
        east *= factor;
        north2 *= factor;
        east2 *= factor;
    }
};

// 10^(db/10) for db at or below 0: a table for the common range, below it nothing to speak of.
double power(std::int64_t db) {
    static const auto table = [] {
        std::array<double, 256> powers{};
        for (std::size_t k = 0; k < powers.size(); ++k)
            powers[k] = std::pow(10.0, -static_cast<double>(k) / 10);
        return powers;
    }();
    const std::int64_t below = -db;
    return below < static_cast<std::int64_t>(table.size())
               ? table[static_cast<std::size_t>(below)]
               : std::pow(10.0, static_cast<double>(db) / 10);
}

// What the weighted centroid of an access point needs, beside its entry.
struct Spread {
    bool placed = false;   // a sighting with a readable position has been seen
    double latitude0 = 0;  // the first such sighting: the reference
    double longitude0 = 0;
    int top = 0;     // the strongest reading so far, in dB: readings weigh relative to it
    Sums readings;   // the sightings with a reading, weighted by power
    Sums unweighed;  // those without, each weighing 1

    void add(const Pending& sighting) {
        if (!sighting.latitude || !sighting.longitude) return;
        if (!placed) {
            placed = true;
            latitude0 = *sighting.latitude;
            longitude0 = *sighting.longitude;
        }
        const double dNorth = *sighting.latitude - latitude0;
        const double dEast = wrapDegrees(*sighting.longitude - longitude0);
        if (!sighting.decibels) return unweighed.add(1, dNorth, dEast);
        const int db = *sighting.decibels;
        if (readings.weight == 0 || db > top) {
            // Relative to the strongest, every weight is at most 1: no reading overflows.
            if (readings.weight != 0) readings.scale(power(std::int64_t{top} - db));
            top = db;
        }
        readings.add(power(std::int64_t{db} - top), dNorth, dEast);
    }
};

constexpr double kEarthRadiusM = 6371008.8;  // the mean radius (IUGG)
constexpr double kPi = 3.14159265358979323846;

// A coordinate item as the loader writes one ("N41.1234567", "W2.5000000"): "%.7f" as the C
// locale writes it, whatever locale the program runs in (the desktop runs in the user's, whose
// decimal comma would split the record's item in two).
std::string coordinateItem(double degrees, char positive, char negative) {
    char text[2 + 309 + 1 + 7];  // room for any double
    text[0] = degrees < 0 ? negative : positive;
    char* const end =
        std::to_chars(text + 1, std::end(text), std::fabs(degrees), std::chars_format::fixed, 7)
            .ptr;
    return std::string(text, end);
}

}  // namespace

class StrongestSightings::Impl {
  public:
    explicit Impl(ApPosition position) : weighted_(position == ApPosition::Weighted) {}

    // Each sighting waits a few sightings before its entry is looked up: meanwhile the memory
    // fetches its hash slot and then its entry, which a large table seldom has in the cache.
    // The prefetches keep the "load + convert-all kml --per-ap" bench row within 2 times the
    // Streets and Trips Convert All on the 10^6-line logs.
    void add(const Sighting& record) {
        Pending& next = pending_[(first_ + waiting_) % kAhead];
        next.key = distinct::bssidKey(record.fields[WorkingRecord::BSSID], others_);
        next.clock = packedClock(record.fields[WorkingRecord::Time]);
        next.date = dateNumber(record.extras.date);
        // The RSSI where the log gives it (dBm), else the signal.
        const std::optional<int>& rank =
            record.extras.rssi ? record.extras.rssi : record.extras.signal;
        next.signal = rank ? *rank : kUnreadable;
        next.number = record.number;
        if (weighted_) {
            next.latitude = coordinateDegrees(record.fields[WorkingRecord::Latitude], 'N', 'S');
            next.longitude = coordinateDegrees(record.fields[WorkingRecord::Longitude], 'E', 'W');
            next.decibels = rank;
        }
        const std::size_t most = held::maxSize(record.fields);
        if (most > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("record too long to hold");
        if (next.record.size() < most) next.record.resize(most);
        next.size = held::write(next.record.data(), record, next.date);
        if (!slots_.empty()) __builtin_prefetch(&slots_[homeOf(next.key)]);
        ++waiting_;
        if (waiting_ > kAhead / 2 && !slots_.empty()) {
            // Half way: its slots have come; fetch the entry they name.
            const Pending& half = pending_[(first_ + waiting_ - 1 - kAhead / 2) % kAhead];
            if (const std::uint32_t entry = probe(half.key)) {
                const char* const ap = reinterpret_cast<const char*>(&accessPoints_[entry - 1]);
                __builtin_prefetch(ap);
                __builtin_prefetch(ap + sizeof(AccessPoint) - 1);
                if (weighted_ && entry <= spreads_.size()) {
                    const char* const spread = reinterpret_cast<const char*>(&spreads_[entry - 1]);
                    __builtin_prefetch(spread);
                    __builtin_prefetch(spread + sizeof(Spread) - 1);
                }
            }
        }
        if (waiting_ == kAhead) take();
    }

    void finish(const std::function<void(const Sighting&)>& take) {
        while (waiting_ > 0) this->take();
        AccessPointSummary summary;
        char clock[8];
        Sighting record;
        record.accessPoint = &summary;
        for (std::size_t i = 0; i < accessPoints_.size(); ++i) {
            const AccessPoint& ap = accessPoints_[i];
            summary.sightings = ap.sightings;
            summary.firstSeen = mapTime(clockText(ap.firstClock, clock), dates_[ap.firstDate]);
            summary.lastSeen = mapTime(clockText(ap.lastClock, clock), dates_[ap.lastDate]);
            const std::uint32_t date = held::read(ap.strongest, ap.used, record, store_);
            record.extras.date = dates_[date];
            summary.radiusM.reset();
            if (weighted_) place(spreads_[i], record, summary);
            record.number = ap.number;
            take(record);
        }
    }

    std::uint64_t size() const { return accessPoints_.size(); }

  private:
    static constexpr std::size_t kAhead = 32;

    // The oldest waiting sighting counts for its access point.
    void take() {
        const Pending& sighting = pending_[first_];
        first_ = (first_ + 1) % kAhead;
        --waiting_;
        std::size_t entry = 0;
        AccessPoint* ap = find(sighting.key, entry);
        if (!ap) {
            entry = accessPoints_.size();
            ap = &add(sighting.key);
            if (weighted_) spreads_.emplace_back();
            ap->strongest = nullptr;
            hold(*ap, sighting);
            ap->signal = sighting.signal;
            ap->sightings = 0;
            ap->firstClock = sighting.clock;
            ap->firstDate = sighting.date;
        } else if (sighting.signal > ap->signal) {
            // Higher, and readable: kUnreadable is below every reading and not above itself.
            hold(*ap, sighting);
            ap->signal = sighting.signal;
        }
        if (weighted_) spreads_[entry].add(sighting);
        ++ap->sightings;
        ap->lastClock = sighting.clock;
        ap->lastDate = sighting.date;
    }

    // A slot names an entry whose key has the slot's check: most keys that are not the
    // entry's are told apart without reading the entry.
    struct Slot {
        std::uint32_t entry;  // entry number + 1, or 0 for a free slot
        std::uint32_t check;
    };

    static std::uint64_t hashOf(std::uint64_t key) { return key * 0x9e3779b97f4a7c15ULL; }
    static std::uint32_t checkOf(std::uint64_t key) {
        return static_cast<std::uint32_t>(hashOf(key));
    }
    std::size_t homeOf(std::uint64_t key) const {
        return static_cast<std::size_t>(hashOf(key) >> 32) & (slots_.size() - 1);
    }

    // The entry number + 1 of the first slot in `key`'s probe sequence whose check is the
    // key's, or 0: most likely `key`'s entry, if it has one.
    std::uint32_t probe(std::uint64_t key) const {
        const std::uint32_t check = checkOf(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = homeOf(key);; i = (i + 1) & mask) {
            const Slot slot = slots_[i];
            if (slot.entry == 0 || slot.check == check) return slot.entry;
        }
    }

    // Moves the pin to the centroid of its access point's sightings and sets its spread.
    void place(const Spread& spread, Sighting& pin, AccessPointSummary& summary) {
        const Sums& sums = spread.readings.weight > 0 ? spread.readings : spread.unweighed;
        if (sums.weight <= 0) return;  // no position to average: the strongest sighting's
        const double north = sums.north / sums.weight;
        const double east = sums.east / sums.weight;
        const double latitude = spread.latitude0 + north;
        const double longitude = -wrapDegrees(-(spread.longitude0 + east));  // (-180, 180]
        const double shrink = std::cos(latitude * kPi / 180);
        const double square =
            std::max(0.0, sums.north2 / sums.weight - north * north) +
            shrink * shrink * std::max(0.0, sums.east2 / sums.weight - east * east);
        // To the centimetre: the positions themselves are given to about a centimetre.
        summary.radiusM = std::round(std::sqrt(square) * kPi / 180 * kEarthRadiusM * 100) / 100;
        latitudeItem_ = coordinateItem(latitude, 'N', 'S');
        longitudeItem_ = coordinateItem(longitude, 'E', 'W');
        pin.fields[WorkingRecord::Latitude] = latitudeItem_;
        pin.fields[WorkingRecord::Longitude] = longitudeItem_;
    }

    AccessPoint* find(std::uint64_t key, std::size_t& entry) {
        if (slots_.empty()) return nullptr;
        const std::uint32_t check = checkOf(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = homeOf(key);; i = (i + 1) & mask) {
            const Slot slot = slots_[i];
            if (slot.entry == 0) return nullptr;
            if (slot.check != check) continue;
            AccessPoint& ap = accessPoints_[slot.entry - 1];
            if (ap.key == key) {
                entry = slot.entry - 1;
                return &ap;
            }
        }
    }

    AccessPoint& add(std::uint64_t key) {
        if ((accessPoints_.size() + 1) * 2 > slots_.size()) grow();
        AccessPoint& ap = accessPoints_.add();
        ap.key = key;
        place(key, static_cast<std::uint32_t>(accessPoints_.size()));
        return ap;
    }

    // Puts entry number `entry` - 1 into the first free slot of its probe sequence.
    void place(std::uint64_t key, std::uint32_t entry) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = homeOf(key);
        while (slots_[i].entry != 0) i = (i + 1) & mask;
        slots_[i] = {entry, checkOf(key)};
    }

    void grow() {
        if (accessPoints_.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
            throw std::length_error("too many access points");
        slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, Slot{0, 0});
        for (std::size_t i = 0; i < accessPoints_.size(); ++i)
            place(accessPoints_[i].key, static_cast<std::uint32_t>(i + 1));
    }

    // Copies a sighting's record over the access point's strongest, in its slot where it fits.
    void hold(AccessPoint& ap, const Pending& sighting) {
        if (!ap.strongest || ap.room < sighting.size) {
            if (ap.strongest) arena_.release({ap.strongest, ap.room});
            const Arena::Room room = arena_.allocate(sighting.size);
            ap.strongest = room.at;
            ap.room = static_cast<std::uint32_t>(room.size);
        }
        std::memcpy(ap.strongest, sighting.record.data(), sighting.size);
        ap.used = static_cast<std::uint32_t>(sighting.size);
        ap.number = sighting.number;
    }

    // The number of an extras date in the date table. A log has few dates, and runs of
    // sightings share one.
    std::uint32_t dateNumber(std::string_view date) {
        if (!dates_.empty() && dates_[lastDate_] == date) return lastDate_;
        const auto [at, added] =
            dateIndex_.try_emplace(std::string(date), static_cast<std::uint32_t>(dates_.size()));
        if (added) dates_.emplace_back(date);
        lastDate_ = at->second;
        return lastDate_;
    }

    const bool weighted_;
    std::vector<Spread> spreads_;  // ApPosition::Weighted: by entry
    std::string latitudeItem_;     // the pin's position as finish() hands it over
    std::string longitudeItem_;
    AccessPoints accessPoints_;
    std::vector<Slot> slots_;
    distinct::Interner others_;  // BSSIDs that are no MAC address, upper-cased
    Arena arena_;
    std::vector<std::string> dates_;
    ExtrasStore store_;  // the texts of the sighting finish() hands over
    std::unordered_map<std::string, std::uint32_t> dateIndex_;
    std::uint32_t lastDate_ = 0;
    std::array<Pending, kAhead> pending_;  // waiting sightings, oldest at first_
    std::size_t first_ = 0;
    std::size_t waiting_ = 0;
};

StrongestSightings::StrongestSightings(ApPosition position)
    : impl_(std::make_unique<Impl>(position)) {}
StrongestSightings::~StrongestSightings() = default;

void StrongestSightings::add(const Sighting& sighting) {
    impl_->add(sighting);
}

void StrongestSightings::finish(const std::function<void(const Sighting&)>& take) {
    impl_->finish(take);
}

std::uint64_t StrongestSightings::size() const {
    return impl_->size();
}

}  // namespace velmora
