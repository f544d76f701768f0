// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Texts and BSSIDs as small numbers, for code that keeps one entry per distinct text or access
// point over a whole working record file: a sighting already seen costs no allocation.
namespace velmora::distinct {

// Gives each distinct text a number, in order of first appearance.
class Interner {
  public:
    std::uint32_t id(std::string_view text) { return find(text, false); }
    // The number of `text` upper-cased (ASCII a-z only), without making the upper-cased copy.
    std::uint32_t upperId(std::string_view text) { return find(text, true); }
    const std::string& text(std::uint32_t id) const { return texts_[id]; }
    std::size_t size() const { return texts_.size(); }

  private:
    std::uint32_t find(std::string_view text, bool upper);
    void grow();

    std::vector<std::string> texts_;
    std::vector<std::uint32_t> slots_;  // id + 1, or 0 for a free slot
};

// A BSSID, upper-cased, as a number: a MAC address "XX:XX:XX:XX:XX:XX" (hexadecimal digits
// in either case) is its 48-bit value; any other text is numbered by `others` (its upper-cased
// form), with the top bit set so that the two kinds never meet.
std::uint64_t bssidKey(std::string_view bssid, Interner& others);
// The upper-cased BSSID text of a key.
std::string bssidText(std::uint64_t key, const Interner& others);
// Whether the key is a MAC address's value. Two such keys order as their texts do: the texts
// have one length and upper-case hexadecimal digits sort as their values.
inline bool isMacKey(std::uint64_t key) {
    return !(key >> 63);
}

}  // namespace velmora::distinct
