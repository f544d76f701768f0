// One pin per access point: holds the strongest sighting of each access point of the
// selection and hands them to the format's sink once the walk is over.
//
// A log has a hundred thousand access points and more, so each is held compactly: a 56-byte
// entry (its BSSID as a number, its count, its strongest signal, and the time and date of its
// first and last sighting packed), the strongest sighting's record bytes and other extras in
// an arena of large blocks, and a flat hash of entry numbers. The times are made text only
// when the pins are written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "advanced/distinct_keys.h"
#include "export/map_point.h"
#include "export/map_sinks.h"

namespace velmora {

namespace {

// Blocks of bytes handed out one after the other and never moved, so that what is held
// stays where it was put and growing never copies (nor briefly doubles) what is held.
class Arena {
  public:
    char* allocate(std::size_t size) {
        if (size > left_) {
            const std::size_t block = std::max(size, kBlock);
            blocks_.push_back(std::make_unique<char[]>(block));
            next_ = blocks_.back().get();
            left_ = block;
        }
        char* const at = next_;
        next_ += size;
        left_ -= size;
        return at;
    }

  private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

// The strongest sighting of an access point, as held in the arena:
//   capacity (u32)      the bytes the slot has room for, this header included
//   snr, noise (i32)    the extras; `readable` tells which were read
//   date (u32)          the number of its extras date in the sink's date table
//   readable (u8)       bit 0 snr, bit 1 noise
//   11 item sizes       each as 7-bit groups, low first, the top bit set on all but the last
//   the items           joined by ",", so that they stand one separator apart as in a line
// The signal is kept in the entry, where every sighting compares against it.
namespace held {

constexpr std::size_t kFixed = 4 + 4 + 4 + 4 + 1;

std::size_t sizeOfSize(std::size_t size) {
    std::size_t bytes = 1;
    while (size >>= 7) ++bytes;
    return bytes;
}

std::size_t slotSize(const RecordFields& fields) {
    std::size_t size = kFixed + fields.size() - 1;
    for (const std::string_view field : fields) size += sizeOfSize(field.size()) + field.size();
    return size;
}

void put32(char* at, std::uint32_t value) {
    std::memcpy(at, &value, 4);
}
std::uint32_t get32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

// Writes `record` into a slot of `capacity` bytes (at least slotSize(record.fields)).
void write(char* slot, std::uint32_t capacity, const ExportRecord& record, std::uint32_t date) {
    const RecordExtras& extras = record.extras;
    put32(slot, capacity);
    put32(slot + 4, static_cast<std::uint32_t>(extras.snr.value_or(0)));
    put32(slot + 8, static_cast<std::uint32_t>(extras.noise.value_or(0)));
    put32(slot + 12, date);
    slot[16] = static_cast<char>((extras.snr ? 1 : 0) | (extras.noise ? 2 : 0));
    char* p = slot + kFixed;
    for (const std::string_view field : record.fields) {
        std::size_t size = field.size();
        for (; size >= 0x80; size >>= 7) *p++ = static_cast<char>(0x80 | (size & 0x7f));
        *p++ = static_cast<char>(size);
    }
    for (std::size_t k = 0; k < record.fields.size(); ++k) {
        if (k > 0) *p++ = ',';
        if (!record.fields[k].empty()) {
            std::memcpy(p, record.fields[k].data(), record.fields[k].size());
            p += record.fields[k].size();
        }
    }
}

std::uint32_t capacity(const char* slot) {
    return get32(slot);
}

// The record a slot holds, viewing it; its extras date is the number returned.
std::uint32_t read(const char* slot, ExportRecord& record) {
    const unsigned readable = static_cast<unsigned char>(slot[16]);
    record.extras.snr.reset();
    record.extras.noise.reset();
    if (readable & 1) record.extras.snr = static_cast<int>(get32(slot + 4));
    if (readable & 2) record.extras.noise = static_cast<int>(get32(slot + 8));
    const char* p = slot + kFixed;
    std::size_t sizes[WorkingRecord::kFieldCount];
    for (std::size_t& size : sizes) {
        size = 0;
        for (unsigned shift = 0;; shift += 7) {
            const unsigned byte = static_cast<unsigned char>(*p++);
            size |= static_cast<std::size_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80)) break;
        }
    }
    for (std::size_t k = 0; k < record.fields.size(); ++k) {
        record.fields[k] = {p, sizes[k]};
        p += sizes[k] + 1;
    }
    return get32(slot + 12);
}

}  // namespace held

// The clock of a Time item as mapTime writes it ("HH:MM:SS"), its eight bytes as a number,
// or 0 where the item is no time of day.
std::uint64_t packedClock(std::string_view time) {
    const std::string clock = mapTime(time, {});  // eight bytes at most: no allocation
    std::uint64_t packed = 0;
    if (clock.size() == sizeof packed) std::memcpy(&packed, clock.data(), sizeof packed);
    return packed;
}

std::string_view clockText(const std::uint64_t& packed) {
    if (packed == 0) return {};
    return {reinterpret_cast<const char*>(&packed), sizeof packed};
}

// An unreadable signal, below every readable one.
constexpr std::int64_t kUnreadable = std::numeric_limits<std::int64_t>::min();

struct AccessPoint {
    std::uint64_t key;    // distinct::bssidKey of the BSSID
    char* strongest;      // its strongest sighting, in the arena
    std::int64_t signal;  // that sighting's, or kUnreadable
    std::uint64_t sightings;
    std::uint64_t firstClock;  // packedClock of its first sighting
    std::uint64_t lastClock;   // and of its last
    std::uint32_t firstDate;   // the number of their extras dates
    std::uint32_t lastDate;
};

// The entries in order of first sighting, in blocks that never move.
class AccessPoints {
  public:
    std::size_t size() const { return size_; }
    AccessPoint& operator[](std::size_t i) { return blocks_[i >> kShift][i & kMask]; }
    const AccessPoint& operator[](std::size_t i) const { return blocks_[i >> kShift][i & kMask]; }
    AccessPoint& add() {
        if ((size_ & kMask) == 0) blocks_.push_back(std::make_unique<AccessPoint[]>(kMask + 1));
        return (*this)[size_++];
    }

  private:
    static constexpr std::size_t kShift = 12;
    static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
    std::vector<std::unique_ptr<AccessPoint[]>> blocks_;
    std::size_t size_ = 0;
};

class PerAccessPointSink final : public ExportSink {
  public:
    explicit PerAccessPointSink(std::unique_ptr<ExportSink> inner) : inner_(std::move(inner)) {}

    void begin(ExportOutput& out) override { inner_->begin(out); }

    void write(ExportOutput&, const ExportRecord& record) override {
        const std::uint64_t key = distinct::bssidKey(record.fields[WorkingRecord::BSSID], others_);
        const std::uint64_t clock = packedClock(record.fields[WorkingRecord::Time]);
        const std::uint32_t date = dateNumber(record.extras.date);
        const std::int64_t signal = record.extras.signal ? *record.extras.signal : kUnreadable;
        AccessPoint* ap = find(key);
        if (!ap) {
            ap = &add(key);
            ap->strongest = nullptr;
            hold(*ap, record, date);
            ap->signal = signal;
            ap->sightings = 0;
            ap->firstClock = clock;
            ap->firstDate = date;
        } else if (signal > ap->signal) {
            // Higher, and readable: kUnreadable is below every reading and not above itself.
            hold(*ap, record, date);
            ap->signal = signal;
        }
        ++ap->sightings;
        ap->lastClock = clock;
        ap->lastDate = date;
    }

    void end(ExportOutput& out) override {
        AccessPointSummary summary;
        ExportRecord record;
        record.accessPoint = &summary;
        for (std::size_t i = 0; i < accessPoints_.size(); ++i) {
            const AccessPoint& ap = accessPoints_[i];
            summary.sightings = ap.sightings;
            summary.firstSeen = mapTime(clockText(ap.firstClock), dates_[ap.firstDate]);
            summary.lastSeen = mapTime(clockText(ap.lastClock), dates_[ap.lastDate]);
            record.extras.date = dates_[held::read(ap.strongest, record)];
            if (ap.signal == kUnreadable)
                record.extras.signal.reset();
            else
                record.extras.signal = static_cast<int>(ap.signal);
            inner_->write(out, record);
        }
        inner_->end(out);
    }

    // The signal ranks the sightings, whatever the format writes.
    bool wantsExtras() const override { return true; }
    std::optional<std::uint64_t> pointsWritten() const override { return accessPoints_.size(); }

  private:
    static std::size_t hashOf(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ULL) >> 32);
    }

    AccessPoint* find(std::uint64_t key) {
        if (slots_.empty()) return nullptr;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hashOf(key) & mask;; i = (i + 1) & mask) {
            const std::uint32_t slot = slots_[i];
            if (slot == 0) return nullptr;
            AccessPoint& ap = accessPoints_[slot - 1];
            if (ap.key == key) return &ap;
        }
    }

    AccessPoint& add(std::uint64_t key) {
        if ((accessPoints_.size() + 1) * 2 > slots_.size()) grow();
        AccessPoint& ap = accessPoints_.add();
        ap.key = key;
        place(key, static_cast<std::uint32_t>(accessPoints_.size()));
        return ap;
    }

    // Puts entry number `slot` - 1 into the first free slot of its probe sequence.
    void place(std::uint64_t key, std::uint32_t slot) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hashOf(key) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }

    void grow() {
        if (accessPoints_.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
            throw std::length_error("too many access points");
        slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, 0);
        for (std::size_t i = 0; i < accessPoints_.size(); ++i)
            place(accessPoints_[i].key, static_cast<std::uint32_t>(i + 1));
    }

    // Copies `record` over the access point's strongest sighting, in its slot where it fits.
    void hold(AccessPoint& ap, const ExportRecord& record, std::uint32_t date) {
        const std::size_t size = held::slotSize(record.fields);
        if (size > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("record too long to hold");
        std::uint32_t capacity = static_cast<std::uint32_t>(size);
        if (ap.strongest && held::capacity(ap.strongest) >= size)
            capacity = held::capacity(ap.strongest);
        else
            ap.strongest = arena_.allocate(size);
        held::write(ap.strongest, capacity, record, date);
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

    std::unique_ptr<ExportSink> inner_;
    AccessPoints accessPoints_;
    std::vector<std::uint32_t> slots_;  // entry number + 1, or 0 for a free slot
    distinct::Interner others_;         // BSSIDs that are no MAC address, upper-cased
    Arena arena_;
    std::vector<std::string> dates_;
    std::unordered_map<std::string, std::uint32_t> dateIndex_;
    std::uint32_t lastDate_ = 0;
};

}  // namespace

std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink> inner) {
    return std::make_unique<PerAccessPointSink>(std::move(inner));
}

}  // namespace velmora
