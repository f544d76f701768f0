// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/mac_address.h"

namespace velmora {

bool isMacAddress(std::string_view text) {
    return parseMacAddress(text).has_value();
}

bool isVendorPrefix(std::string_view text) {
    return text.size() >= kMacPrefixLength &&
           readHexGroups<3, HexLetters::UpperCase>(text.data()).has_value();
}

std::string macAddressText(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(kMacLength, ':');
    for (std::size_t group = 0; group < 6; ++group) {
        const auto byte = static_cast<unsigned>(value >> (8 * (5 - group))) & 0xff;
        text[3 * group] = kDigits[byte >> 4];
        text[3 * group + 1] = kDigits[byte & 15];
    }
    return text;
}

}  // namespace velmora
