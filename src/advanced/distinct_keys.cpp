#include "advanced/distinct_keys.h"

#include <algorithm>
#include <cstring>

#include "records/mac_address.h"
#include "records/record_walk.h"
#include "records/working_record.h"

namespace velmora::distinct {

namespace {

constexpr std::uint64_t kOtherBssid = std::uint64_t{1} << 63;

}  // namespace

std::uint32_t Interner::find(std::string_view text, bool upper) {
    if ((texts_.size() + 1) * 2 > slots_.size()) grow();
    // Eight (upper-cased) bytes at a time, each word mixed in by a multiplication.
    constexpr std::uint64_t kMix = 0x9e3779b97f4a7c15ULL;
    std::uint64_t h = text.size() * kMix;
    for (std::size_t at = 0; at < text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, std::min<std::size_t>(8, text.size() - at));
        h = (h ^ (upper ? upperAsciiWord(word) : word)) * kMix;
        h ^= h >> 32;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = (h ^ h >> 29) & mask;; i = (i + 1) & mask) {
        if (slots_[i] == 0) {
            texts_.emplace_back(text);
            if (upper) upperAsciiInPlace(texts_.back());
            slots_[i] = static_cast<std::uint32_t>(texts_.size());
            return slots_[i] - 1;
        }
        const std::string& known = texts_[slots_[i] - 1];
        if (upper ? equalsUpperAscii(text, known) : text == known) return slots_[i] - 1;
    }
}

void Interner::grow() {
    slots_.assign(slots_.empty() ? 64 : slots_.size() * 2, 0);
    std::vector<std::string> texts;
    texts.swap(texts_);
    texts_.reserve(texts.size());
    for (const std::string& text : texts) find(text, false);
}

std::uint64_t bssidKey(std::string_view bssid, Interner& others) {
    if (const auto mac = parseMacAddress(bssid)) return *mac;
    return kOtherBssid | others.upperId(bssid);
}

std::string bssidText(std::uint64_t key, const Interner& others) {
    if (key & kOtherBssid) return others.text(static_cast<std::uint32_t>(key & ~kOtherBssid));
    return macAddressText(key);
}

std::vector<std::uint32_t> ranks(const Interner& texts) {
    std::vector<std::uint32_t> order(texts.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return texts.text(a) < texts.text(b); });
    std::vector<std::uint32_t> rank(order.size());
    for (std::uint32_t place = 0; place < order.size(); ++place) rank[order[place]] = place;
    return rank;
}

void PairSet::flush() {
    if ((size_ + pending_) * 2 > slots_.size()) grow(size_ + pending_);
    const std::size_t mask = slots_.size() - 1;
#if defined(__GNUC__)
    for (std::size_t i = 0; i < pending_; ++i)
        __builtin_prefetch(&slots_[hash(run_[i].a, run_[i].b) & mask]);
#endif
    for (std::size_t i = 0; i < pending_; ++i) insert(run_[i].a, run_[i].b);
    pending_ = 0;
}

void PairSet::insert(std::uint64_t a, std::uint64_t b) {
    // The caller has made room: the table is never more than half full.
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash(a, b) & mask;; i = (i + 1) & mask) {
        Pair& slot = slots_[i];
        if (slot.a == kEmpty) {
            slot = {a, b};
            ++size_;
            return;
        }
        if (slot.a == a && slot.b == b) return;
    }
}

void PairSet::grow(std::size_t wanted) {
    std::size_t size = slots_.empty() ? 64 : slots_.size();
    while (wanted * 2 > size) size *= 2;
    std::vector<Pair> old(size, Pair{kEmpty, 0});
    old.swap(slots_);
    size_ = 0;
    for (const Pair& p : old)
        if (p.a != kEmpty) insert(p.a, p.b);
}

NameBssidPairs readNameBssidPairs(const std::filesystem::path& workingFile) {
    NameBssidPairs read;
    forEachRecord(workingFile, [&read](const RecordFields& fields) {
        read.pairs.add(read.names.upperId(fields[WorkingRecord::SSID]),
                       bssidKey(fields[WorkingRecord::BSSID], read.otherBssids));
    });
    read.pairs.flush();
    return read;
}

}  // namespace velmora::distinct
