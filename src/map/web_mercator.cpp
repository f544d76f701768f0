// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/web_mercator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::map {

namespace {

constexpr double kEquator = 40075016.686;                 // metres
constexpr double kFixedScale = 4294967296.0 / kTileSize;  // zoom-0 pixels to fixed ones

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}
double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

std::uint32_t fixedCoordinate(double world) {
    const double scaled = std::floor(world * kFixedScale);
    if (!(scaled >= 0)) return 0;  // NaN too
    if (scaled >= 4294967295.0) return 4294967295U;
    return static_cast<std::uint32_t>(scaled);
}

}  // namespace

WorldPoint project(double latitude, double longitude) {
    const double lat = radians(std::clamp(latitude, -kMaxLatitude, kMaxLatitude));
    const double x = (longitude + 180) / 360 * kTileSize;
    const double y =
        (1 - std::log(std::tan(lat) + 1 / std::cos(lat)) / std::numbers::pi) / 2 * kTileSize;
    return {x, std::clamp(y, 0.0, static_cast<double>(kTileSize))};
}

void unproject(WorldPoint point, double& latitude, double& longitude) {
    longitude = point.x / kTileSize * 360 - 180;
    const double y = std::clamp(point.y, 0.0, static_cast<double>(kTileSize));
    const double n = std::numbers::pi * (1 - 2 * y / kTileSize);
    latitude = std::clamp(degrees(std::atan(std::sinh(n))), -kMaxLatitude, kMaxLatitude);
}

double scaleToZoom(int zoom) {
    return std::ldexp(1.0, zoom);
}

TileId tileAt(double latitude, double longitude, int zoom) {
    const WorldPoint world = project(latitude, longitude);
    const int tiles = 1 << zoom;
    const double scale = scaleToZoom(zoom) / kTileSize;
    const auto column = static_cast<long long>(std::floor(world.x * scale));
    const auto row = static_cast<int>(std::floor(world.y * scale));
    return {zoom, wrapTileX(static_cast<int>(column % tiles), zoom), std::clamp(row, 0, tiles - 1)};
}

void tileCorner(TileId tile, double& latitude, double& longitude) {
    const double scale = kTileSize / scaleToZoom(tile.zoom);
    unproject({tile.x * scale, tile.y * scale}, latitude, longitude);
}

int wrapTileX(int x, int zoom) {
    const int tiles = 1 << zoom;
    const int wrapped = x % tiles;
    return wrapped < 0 ? wrapped + tiles : wrapped;
}

double metresPerPixel(double latitude, int zoom) {
    const double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude);
    return kEquator * std::cos(radians(lat)) / (kTileSize * scaleToZoom(zoom));
}

FixedPoint toFixed(WorldPoint point) {
    return {fixedCoordinate(point.x), fixedCoordinate(point.y)};
}

WorldPoint fromFixed(FixedPoint point) {
    return {(point.x + 0.5) / kFixedScale, (point.y + 0.5) / kFixedScale};
}

}  // namespace velmora::map
