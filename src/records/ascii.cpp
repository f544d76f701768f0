// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/ascii.h"

namespace velmora {

void upperAsciiInPlace(char* text, std::size_t size) {
    for (char* const end = text + size; text != end; ++text) *text = upperAscii(*text);
}

void upperAsciiInPlace(std::string& text) {
    upperAsciiInPlace(text.data(), text.size());
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    upperAsciiInPlace(out);
    return out;
}

bool equalsUpperAscii(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upperAscii(text[i]) != upper[i]) return false;
    return true;
}

std::string groupedDigits(std::uint64_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
    return digits;
}

}  // namespace velmora
