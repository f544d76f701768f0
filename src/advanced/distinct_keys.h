// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/bssid_key.h"

// Compact keys for the Advanced lists, which keep one entry per distinct combination of a
// few fields over a whole working record file: texts become small numbers, a well-formed MAC
// address a 48-bit number, so that a sighting already seen costs no allocation.
namespace velmora::distinct {

// The place of each text of `texts` in ascending byte order: ranks[id].
std::vector<std::uint32_t> ranks(const Interner& texts);

// A list entry of a BSSID key and the number of a second text (a network name, a Flags value).
struct BssidAndText {
    std::uint64_t bssid;
    std::uint32_t text;
};

// Sorts `keys` as their entries' texts, entry(key), sort. Two MAC addresses compare as numbers
// and then by `rank` (the ranks() of the second texts), so the texts are made only where a
// BSSID is another text; for that, the entry of a MAC address must sort as the address and
// then its second text do.
template <typename Entry>
void sortByEntryText(std::vector<BssidAndText>& keys, const std::vector<std::uint32_t>& rank,
                     Entry entry) {
    std::sort(keys.begin(), keys.end(), [&](const BssidAndText& a, const BssidAndText& b) {
        if (isMacKey(a.bssid) && isMacKey(b.bssid))
            return a.bssid != b.bssid ? a.bssid < b.bssid : rank[a.text] < rank[b.text];
        return entry(a) < entry(b);
    });
}

// A set of pairs of numbers, stored flat: adding a pair already present allocates nothing.
class PairSet {
  public:
    // Adds the pair (`a` must not be ~0). Pairs are gathered in short runs, and the slots of
    // a run are asked for before any is used: a large set is mostly not in the cache, and
    // the memory then fetches them together. Call flush() before size() or forEach().
    void add(std::uint64_t a, std::uint64_t b) {
        run_[pending_++] = {a, b};
        if (pending_ == kRun) flush();
    }
    void flush();

    std::size_t size() const { return size_; }

    // Calls f(a, b) for every pair, in no particular order.
    template <typename F>
    void forEach(F f) const {
        for (const Pair& p : slots_)
            if (p.a != kEmpty) f(p.a, p.b);
    }

  private:
    struct Pair {
        std::uint64_t a;
        std::uint64_t b;
    };
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    static constexpr std::size_t kRun = 32;

    static std::uint64_t hash(std::uint64_t a, std::uint64_t b) {
        std::uint64_t h = a * 0x9e3779b97f4a7c15ULL ^ b;
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdULL;
        h ^= h >> 33;
        return h;
    }
    void insert(std::uint64_t a, std::uint64_t b);
    void grow(std::size_t wanted);

    std::vector<Pair> slots_;
    std::size_t size_ = 0;
    std::array<Pair, kRun> run_;
    std::size_t pending_ = 0;
};

// Every distinct pair of an upper-cased network name (network_name.h) and an upper-cased
// BSSID in a working record file, read once with its extras: the pairs are (name key, BSSID
// key). A name key is the number of an SSID item in `names`, or that of an exact name in
// `exactNames` plus kExactName.
struct NameBssidPairs {
    static constexpr std::uint64_t kExactName = std::uint64_t{1} << 32;

    Interner names;
    Interner exactNames;
    // For each exact name, the SSID item (its Windows-1252 form) of its first record,
    // upper-cased.
    std::vector<std::string> exactNameItems;
    Interner otherBssids;
    PairSet pairs;

    // The names in one numbering: the SSID items first, then the exact names.
    std::size_t nameCount() const { return names.size() + exactNames.size(); }
    std::uint32_t nameNumber(std::uint64_t key) const {
        return static_cast<std::uint32_t>(key >= kExactName ? names.size() + (key - kExactName)
                                                            : key);
    }
    bool isExact(std::uint32_t number) const { return number >= names.size(); }
    const std::string& nameText(std::uint32_t number) const {
        return isExact(number) ? exactNames.text(number - static_cast<std::uint32_t>(names.size()))
                               : names.text(number);
    }
    // The place of each name number in the order of (text, exact).
    std::vector<std::uint32_t> nameRanks() const;
};
NameBssidPairs readNameBssidPairs(const std::filesystem::path& workingFile);

}  // namespace velmora::distinct
