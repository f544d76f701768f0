// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>

namespace velmora::map {

// One slippy-map tile: at `zoom` the world is 2^zoom tiles square, x growing east from
// longitude -180, y growing south from the projection's northern limit.
struct TileId {
    int zoom = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TileId&) const = default;
};

// A hash for QHash/QSet/QCache (found by argument-dependent lookup, so no Qt header is needed
// here) and for the standard containers. x and y stay below 2^zoom, zoom below 32.
inline std::size_t qHash(const TileId& tile, std::size_t seed = 0) noexcept {
    const unsigned long long key = (static_cast<unsigned long long>(tile.zoom) << 58) ^
                                   (static_cast<unsigned long long>(tile.x) << 29) ^
                                   static_cast<unsigned long long>(tile.y);
    const unsigned long long mixed = key * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed ^ (mixed >> 29)) ^ seed;
}

}  // namespace velmora::map

namespace std {
template <>
struct hash<velmora::map::TileId> {
    size_t operator()(const velmora::map::TileId& tile) const noexcept {
        return velmora::map::qHash(tile);
    }
};
}  // namespace std
