// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velmora {

// Positions are laid out in twips, 15 to the pixel.
constexpr int px(int twips) {
    return twips / 15;
}

}  // namespace velmora
