// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "map/tile_id.h"

namespace velmora::map {

// Web Mercator (EPSG:3857) as slippy-map tiles use it: the world is a square of 256 * 2^zoom
// pixels at `zoom`, x growing east from longitude -180, y growing south from latitude
// +85.0511 (the projection's limit; latitudes beyond are clamped).
inline constexpr int kTileSize = 256;
inline constexpr double kMaxLatitude = 85.0511287798066;
// The deepest zoom the sighting map resolves: its fixed-point positions are world pixels at
// this zoom, 2^32 to a side.
inline constexpr int kMaxZoom = 24;

struct WorldPoint {  // pixels at zoom 0 (0..256), fractional
    double x = 0;
    double y = 0;
};

// Longitude -180 is x = 0 and +180 is x = 256; a longitude beyond them lies beyond the world's
// edges (the map repeats there). Latitude is clamped to +-kMaxLatitude, so 0 <= y <= 256.
WorldPoint project(double latitude, double longitude);
// The inverse of project() (for y outside 0..256, the clamped latitude's).
void unproject(WorldPoint point, double& latitude, double& longitude);

// World pixels at `zoom` of a point at zoom 0, and back.
double scaleToZoom(int zoom);

// The tile that holds a position at `zoom`. Columns wrap around the globe (longitude 180 is
// the meridian of -180, in column 0); rows are clamped to the world.
TileId tileAt(double latitude, double longitude, int zoom);
// The position of a tile's north-west corner.
void tileCorner(TileId tile, double& latitude, double& longitude);
// A column index wrapped into 0 .. 2^zoom - 1, for the tiles of a view that crosses the
// antimeridian.
int wrapTileX(int x, int zoom);

// Metres per pixel at `latitude` and `zoom` (for the scale bar): the equator's 40075016.686 m
// over the world's width, shrunk by the latitude's cosine.
double metresPerPixel(double latitude, int zoom);

// A point's position as the sighting map keeps it: world pixels at kMaxZoom (each coordinate
// 0 .. 2^32 - 1; the east and south edges fall in the last pixel).
struct FixedPoint {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};
FixedPoint toFixed(WorldPoint point);
// The centre of a fixed-point pixel, at zoom 0.
WorldPoint fromFixed(FixedPoint point);

}  // namespace velmora::map
