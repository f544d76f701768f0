// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Upper-casing as the program does it everywhere: the ASCII letters a-z become A-Z, every
// other byte (those from 0x80 up included) stays, whatever the machine's locale.
namespace velmora {

constexpr char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The eight bytes of `word` upper-cased at once, as upperAscii does each.
constexpr std::uint64_t upperAsciiWord(std::uint64_t word) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t low7 = word & kLow7;
    // A byte's high bit: set from 'a' (0x61) up, and from the byte after 'z' (0x7b) up. No
    // sum reaches the next byte.
    const std::uint64_t fromA = low7 + 0x1f1f1f1f1f1f1f1fULL;
    const std::uint64_t pastZ = low7 + 0x0505050505050505ULL;
    const std::uint64_t lower = fromA & ~pastZ & ~word & kHigh;
    return word ^ (lower >> 2);  // 0x80 >> 2 is the case bit
}

std::string toUpperAscii(std::string_view text);
void upperAsciiInPlace(std::string& text);
void upperAsciiInPlace(char* text, std::size_t size);
// Whether `text`, upper-cased, equals `upper`; no copy is made.
bool equalsUpperAscii(std::string_view text, std::string_view upper);

// A count as the program's own texts write it, its digits grouped by commas whatever the
// locale: "1,234,567".
std::string groupedDigits(std::uint64_t count);

}  // namespace velmora
