#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Compact keys for the Advanced lists, which keep one entry per distinct combination of a
// few fields over a whole working record file: texts become small numbers, a well-formed MAC
// address a 48-bit number, so that a sighting already seen costs no allocation.
namespace velmora::distinct {

// Gives each distinct text a number, in order of first appearance.
class Interner {
  public:
    std::uint32_t id(std::string_view text);
    const std::string& text(std::uint32_t id) const { return texts_[id]; }
    std::size_t size() const { return texts_.size(); }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> ids_;
    std::vector<std::string> texts_;
    // The last text asked for: sightings of one network often follow each other.
    std::string lastText_;
    std::uint32_t lastId_ = 0;
    bool haveLast_ = false;
};

// A BSSID, upper-cased, as a number: a MAC address "XX:XX:XX:XX:XX:XX" (hexadecimal digits
// in either case) is its 48-bit value; any other text is numbered by `others` (its upper-cased
// form), with the top bit set so that the two kinds never meet.
std::uint64_t bssidKey(std::string_view bssid, Interner& others);
// The upper-cased BSSID text of a key.
std::string bssidText(std::uint64_t key, const Interner& others);

// Writes `text` upper-cased (ASCII a-z only) into `out`, reusing its storage.
void upperInto(std::string_view text, std::string& out);

// A set of pairs of numbers, stored flat: inserting a pair already present allocates nothing.
class PairSet {
  public:
    struct Pair {
        std::uint64_t a;
        std::uint64_t b;
    };

    // Adds the pair; returns whether it was new. `a` must not be ~0.
    bool insert(std::uint64_t a, std::uint64_t b);
    std::size_t size() const { return size_; }

    // Calls f(a, b) for every pair, in no particular order.
    template <typename F>
    void forEach(F f) const {
        for (const Pair& p : slots_)
            if (p.a != kEmpty) f(p.a, p.b);
    }

  private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    void grow();

    std::vector<Pair> slots_;
    std::size_t size_ = 0;
};

}  // namespace velmora::distinct
