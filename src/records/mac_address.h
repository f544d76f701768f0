// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// MAC addresses as logs and the vendor list write them: groups of two hexadecimal digits
// joined by ":", such as "0A:1B:2C:3D:4E:5F" (an access point's BSSID) or "0A:1B:2C" (a
// vendor prefix).
namespace velmora {

// "XX:XX:XX:XX:XX:XX" and its first three groups, "XX:XX:XX".
inline constexpr std::size_t kMacLength = 17;
inline constexpr std::size_t kMacPrefixLength = 8;

// Which letters count as hexadecimal digits: a BSSID may have either case, a vendor line's
// prefix only upper case.
enum class HexLetters { AnyCase, UpperCase };

namespace mac_detail {
// The value of each byte as a hexadecimal digit, or 0xff.
constexpr std::array<unsigned char, 256> hexValues(HexLetters letters) {
    std::array<unsigned char, 256> table{};
    table.fill(0xff);
    for (int d = 0; d < 10; ++d) table['0' + d] = static_cast<unsigned char>(d);
    for (int d = 0; d < 6; ++d) {
        table['A' + d] = static_cast<unsigned char>(10 + d);
        if (letters == HexLetters::AnyCase) table['a' + d] = static_cast<unsigned char>(10 + d);
    }
    return table;
}
template <HexLetters letters>
inline constexpr std::array<unsigned char, 256> kHexValues = hexValues(letters);
}  // namespace mac_detail

// The value of the `Groups` groups of two hexadecimal digits joined by ":" that start at
// `text` ("0A:1B:2C" is 0x0A1B2C), or nothing when a character is out of place. Reads
// 3 * Groups - 1 characters. Inline: the Advanced lists key every sighting's BSSID by it.
template <std::size_t Groups, HexLetters letters = HexLetters::AnyCase>
inline std::optional<std::uint64_t> readHexGroups(const char* text) {
    static_assert(Groups >= 1 && Groups <= 8);
    const auto& hex = mac_detail::kHexValues<letters>;
    std::uint64_t value = 0;
    unsigned bad = 0;  // every group is read; one test at the end
    for (std::size_t group = 0; group < Groups; ++group) {
        const unsigned hi = hex[static_cast<unsigned char>(text[3 * group])];
        const unsigned lo = hex[static_cast<unsigned char>(text[3 * group + 1])];
        bad |= (hi | lo) & 0xf0;
        if (group + 1 < Groups) bad |= text[3 * group + 2] != ':';
        value = value << 8 | hi << 4 | lo;
    }
    if (bad) return std::nullopt;
    return value;
}

// The 48-bit value of a MAC address "XX:XX:XX:XX:XX:XX" (digits in either case), or nothing
// when `text` is anything else.
inline std::optional<std::uint64_t> parseMacAddress(std::string_view text) {
    if (text.size() != kMacLength) return std::nullopt;
    return readHexGroups<6>(text.data());
}

// Whether `text` is a MAC address, in any letter case.
bool isMacAddress(std::string_view text);

// Whether `text` starts with a vendor line's prefix: "XX:XX:XX", X one of 0-9 A-F.
bool isVendorPrefix(std::string_view text);

// The text of a MAC address's 48-bit value, upper-cased: "0A:1B:2C:3D:4E:5F".
std::string macAddressText(std::uint64_t value);

}  // namespace velmora
