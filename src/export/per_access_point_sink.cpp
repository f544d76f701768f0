// One pin per access point: holds the strongest sighting of each access point of the
// selection and hands them to the format's sink once the walk is over.
//
// A log has a hundred thousand access points and more, so each is held compactly: a 56-byte
// entry (its BSSID as a number, its count, its strongest signal, and the time and date of its
// first and last sighting packed), the strongest sighting's record bytes and other extras in
// an arena of large blocks, and a flat hash of entry numbers. The times are made text only
// when the pins are written.
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
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
//   snr, noise (i32)    the extras; `readable` tells which were read
//   date (u32)          the number of its extras date in the sink's date table
//   readable (u8)       bit 0 snr, bit 1 noise
//   11 item sizes       each as 7-bit groups, low first, the top bit set on all but the last
//   the items           joined by ",", so that they stand one separator apart as in a line
// The entry keeps the signal, which every sighting compares against, and the slot's size.
namespace held {

constexpr std::size_t kFixed = 4 + 4 + 4 + 1;

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

// Writes `record` into slotSize(record.fields) bytes at `slot`.
void write(char* slot, const ExportRecord& record, std::uint32_t date) {
    const RecordExtras& extras = record.extras;
    put32(slot, static_cast<std::uint32_t>(extras.snr.value_or(0)));
    put32(slot + 4, static_cast<std::uint32_t>(extras.noise.value_or(0)));
    put32(slot + 8, date);
    slot[12] = static_cast<char>((extras.snr ? 1 : 0) | (extras.noise ? 2 : 0));
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

// The record a slot holds, viewing it; its extras date is the number returned.
std::uint32_t read(const char* slot, ExportRecord& record) {
    const unsigned readable = static_cast<unsigned char>(slot[12]);
    record.extras.snr.reset();
    record.extras.noise.reset();
    if (readable & 1) record.extras.snr = static_cast<int>(get32(slot));
    if (readable & 2) record.extras.noise = static_cast<int>(get32(slot + 4));
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
    return get32(slot + 8);
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
    std::int64_t signal;  // that sighting's, or kUnreadable
    std::uint64_t sightings;
    std::uint32_t room;        // the bytes `strongest` has room for
    std::uint32_t firstClock;  // packedClock of its first sighting
    std::uint32_t lastClock;   // and of its last
    std::uint32_t firstDate;   // the number of their extras dates
    std::uint32_t lastDate;
};

// Memory in blocks of 2 MiB, aligned to their size, that the system is asked to map in
// pages of that size: a table read at random, as the entries are, then seldom misses the
// processor's cache of page addresses. The first block keeps the usual pages, so that a few
// entries take no more memory than they fill.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

struct HugeBlockDelete {
    void operator()(char* block) const { ::operator delete (block, std::align_val_t{kHugePage}); }
};
using HugeBlock = std::unique_ptr<char, HugeBlockDelete>;

HugeBlock newHugeBlock(bool hugePages) {
    HugeBlock block(static_cast<char*>(::operator new (kHugePage, std::align_val_t{kHugePage})));
#ifdef MADV_HUGEPAGE
    if (hugePages) ::madvise(block.get(), kHugePage, MADV_HUGEPAGE);  // a wish; may be refused
#else
    (void)hugePages;
#endif
    return block;
}

// The entries in order of first sighting, in blocks that never move.
class AccessPoints {
  public:
    std::size_t size() const { return size_; }
    AccessPoint& operator[](std::size_t i) { return at(i); }
    const AccessPoint& operator[](std::size_t i) const { return at(i); }
    AccessPoint& add() {
        if (size_ % kPerBlock == 0) blocks_.push_back(newHugeBlock(!blocks_.empty()));
        return *new (&at(size_++)) AccessPoint{};
    }

  private:
    static constexpr std::size_t kPerBlock = kHugePage / sizeof(AccessPoint);

    AccessPoint& at(std::size_t i) const {
        return reinterpret_cast<AccessPoint*>(blocks_[i / kPerBlock].get())[i % kPerBlock];
    }

    std::vector<HugeBlock> blocks_;
    std::size_t size_ = 0;
};

// A sighting waiting its turn: what the sink keeps of it, its record in the held form.
struct Pending {
    std::uint64_t key;
    std::int64_t signal;
    std::uint32_t clock;
    std::uint32_t date;
    std::vector<char> record;  // held::slotSize bytes of the held form
    std::size_t size;
};

class PerAccessPointSink final : public ExportSink {
  public:
    explicit PerAccessPointSink(std::unique_ptr<ExportSink> inner) : inner_(std::move(inner)) {}

    void begin(ExportOutput& out) override { inner_->begin(out); }

    // Each sighting waits a few sightings before its entry is looked up: meanwhile the memory
    // fetches its hash slot and then its entry, which a large table seldom has in the cache.
    void write(ExportOutput&, const ExportRecord& record) override {
        Pending& next = pending_[(first_ + waiting_) % kAhead];
        next.key = distinct::bssidKey(record.fields[WorkingRecord::BSSID], others_);
        next.clock = packedClock(record.fields[WorkingRecord::Time]);
        next.date = dateNumber(record.extras.date);
        next.signal = record.extras.signal ? *record.extras.signal : kUnreadable;
        next.size = held::slotSize(record.fields);
        if (next.size > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("record too long to hold");
        if (next.record.size() < next.size) next.record.resize(next.size);
        held::write(next.record.data(), record, next.date);
        if (!slots_.empty()) __builtin_prefetch(&slots_[homeOf(next.key)]);
        ++waiting_;
        if (waiting_ > kAhead / 2 && !slots_.empty()) {
            // Half way: its slots have come; fetch the entry they name.
            const Pending& half = pending_[(first_ + waiting_ - 1 - kAhead / 2) % kAhead];
            if (const std::uint32_t entry = probe(half.key)) {
                const char* const ap = reinterpret_cast<const char*>(&accessPoints_[entry - 1]);
                __builtin_prefetch(ap);
                __builtin_prefetch(ap + sizeof(AccessPoint) - 1);
            }
        }
        if (waiting_ == kAhead) take();
    }

    void end(ExportOutput& out) override {
        while (waiting_ > 0) take();
        AccessPointSummary summary;
        char clock[8];
        ExportRecord record;
        record.accessPoint = &summary;
        for (std::size_t i = 0; i < accessPoints_.size(); ++i) {
            const AccessPoint& ap = accessPoints_[i];
            summary.sightings = ap.sightings;
            summary.firstSeen = mapTime(clockText(ap.firstClock, clock), dates_[ap.firstDate]);
            summary.lastSeen = mapTime(clockText(ap.lastClock, clock), dates_[ap.lastDate]);
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
    static constexpr std::size_t kAhead = 32;

    // The oldest waiting sighting counts for its access point.
    void take() {
        const Pending& sighting = pending_[first_];
        first_ = (first_ + 1) % kAhead;
        --waiting_;
        AccessPoint* ap = find(sighting.key);
        if (!ap) {
            ap = &add(sighting.key);
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

    AccessPoint* find(std::uint64_t key) {
        if (slots_.empty()) return nullptr;
        const std::uint32_t check = checkOf(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = homeOf(key);; i = (i + 1) & mask) {
            const Slot slot = slots_[i];
            if (slot.entry == 0) return nullptr;
            if (slot.check != check) continue;
            AccessPoint& ap = accessPoints_[slot.entry - 1];
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
            ap.room = static_cast<std::uint32_t>(sighting.size);
            ap.strongest = arena_.allocate(sighting.size);
        }
        std::memcpy(ap.strongest, sighting.record.data(), sighting.size);
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
    std::vector<Slot> slots_;
    distinct::Interner others_;  // BSSIDs that are no MAC address, upper-cased
    Arena arena_;
    std::vector<std::string> dates_;
    std::unordered_map<std::string, std::uint32_t> dateIndex_;
    std::uint32_t lastDate_ = 0;
    std::array<Pending, kAhead> pending_;  // waiting sightings, oldest at first_
    std::size_t first_ = 0;
    std::size_t waiting_ = 0;
};

}  // namespace

std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink> inner) {
    return std::make_unique<PerAccessPointSink>(std::move(inner));
}

}  // namespace velmora
