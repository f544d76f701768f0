// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/distinct_keys.h"

#include <algorithm>
#include <cstring>

#include "records/ascii.h"
#include "records/mac_address.h"
#include "records/record_walk.h"
#include "records/working_record.h"
#include "sightings/sighting_walk.h"

namespace velmora::distinct {

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

std::vector<std::uint32_t> NameBssidPairs::nameRanks() const {
    std::vector<std::uint32_t> order(nameCount());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = nameText(a).compare(nameText(b));
        return c != 0 ? c < 0 : isExact(a) < isExact(b);
    });
    std::vector<std::uint32_t> rank(order.size());
    for (std::uint32_t place = 0; place < order.size(); ++place) rank[order[place]] = place;
    return rank;
}

NameBssidPairs readNameBssidPairs(const std::filesystem::path& workingFile) {
    NameBssidPairs read;
    forEachNamedRecord(workingFile, [&read](const RecordFields& fields, std::string_view exact) {
        std::uint64_t name;
        if (!exact.empty()) {
            const std::uint32_t id = read.exactNames.upperId(exact);
            if (id == read.exactNameItems.size())
                read.exactNameItems.push_back(toUpperAscii(fields[WorkingRecord::SSID]));
            name = NameBssidPairs::kExactName + id;
        } else {
            name = read.names.upperId(fields[WorkingRecord::SSID]);
        }
        read.pairs.add(name, bssidKey(fields[WorkingRecord::BSSID], read.otherBssids));
    });
    read.pairs.flush();
    return read;
}

}  // namespace velmora::distinct
