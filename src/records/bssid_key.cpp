// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/bssid_key.h"

#include <algorithm>
#include <cstring>

#include "records/ascii.h"
#include "records/mac_address.h"

namespace velmora::distinct {

namespace {

constexpr std::uint64_t kOtherBssid = std::uint64_t{1} << 63;

// The `size` (below eight) bytes at `p` in a word, the rest zero, as a copy of them into a
// zeroed word would give on a little-endian machine: loaded in at most two loads that may
// overlap, with no copy of a varying length.
std::uint64_t loadShort(const char* p, std::size_t size) {
    if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        return head | std::uint64_t{tail} << (size - 4) * 8;
    }
    if (size == 0) return 0;
    const auto byte = [&](std::size_t k) {
        return std::uint64_t{static_cast<unsigned char>(p[k])} << k * 8;
    };
    return byte(0) | byte(size / 2) | byte(size - 1);
}

}  // namespace

std::uint32_t Interner::find(std::string_view text, bool upper) {
    if ((texts_.size() + 1) * 2 > slots_.size()) grow();
    // Eight (upper-cased) bytes at a time, each word mixed in by a multiplication.
    constexpr std::uint64_t kMix = 0x9e3779b97f4a7c15ULL;
    std::uint64_t h = text.size() * kMix;
    const auto mix = [&](std::uint64_t word) {
        h = (h ^ (upper ? upperAsciiWord(word) : word)) * kMix;
        h ^= h >> 32;
    };
    std::size_t at = 0;
    for (; text.size() - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        mix(word);
    }
    if (at < text.size()) mix(loadShort(text.data() + at, text.size() - at));
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

}  // namespace velmora::distinct
