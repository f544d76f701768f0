// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "records/flags.h"

namespace velmora {

// The kinds of pin the map, its saved image and the KML styles tell apart: WEP on or off, in
// an infrastructure or an ad-hoc network. One palette for all of them, so a colour means the
// same thing wherever the user meets it.
enum class PinKind : std::uint8_t { WepOn, WepOff, AdHocWepOn, AdHocWepOff };
inline constexpr int kPinKindCount = 4;

struct PinColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

struct PinStyle {
    std::string_view id;     // the KML style's id
    std::string_view label;  // as the legend and the KML balloons say it
    PinColour colour;
};

// Colours from the Okabe-Ito palette, which stays apart for the common forms of colour
// blindness. Indexed by PinKind.
inline constexpr std::array<PinStyle, kPinKindCount> kPinStyles{{
    {"wep-on", "WEP on", {0x00, 0x72, 0xB2}},
    {"wep-off", "WEP off", {0xE6, 0x9F, 0x00}},
    {"ad-hoc-wep-on", "Ad hoc, WEP on", {0x00, 0x9E, 0x73}},
    {"ad-hoc-wep-off", "Ad hoc, WEP off", {0xCC, 0x79, 0xA7}},
}};

constexpr const PinStyle& pinStyle(PinKind kind) {
    return kPinStyles[static_cast<std::size_t>(kind)];
}

// The kind of a record with this Flags item, by the same tests as the main window's counts.
inline PinKind pinKindOf(std::string_view flags) {
    const bool wep = flags::kCountedWepOn(flags);
    if (flags::kCountedAdHoc(flags)) return wep ? PinKind::AdHocWepOn : PinKind::AdHocWepOff;
    return wep ? PinKind::WepOn : PinKind::WepOff;
}

}  // namespace velmora
