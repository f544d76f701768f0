// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/web_mercator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace velmora::map {
namespace {

TEST(WebMercator, ProjectsKnownPositionsToKnownWorldPixels) {
    struct Row {
        double latitude, longitude;
        double x, y;
    };
    // clang-format off
    const Row rows[] = {
        {0, 0, 128, 128},
        {kMaxLatitude, -180, 0, 0},
        {-kMaxLatitude, 180, 256, 256},
        // Beyond the projection's limit: clamped to the world's top and bottom edges.
        {90, 0, 128, 0},
        {-89.9, 0, 128, 256},
        {0, 90, 192, 128},
        // 45 degrees north: y = 128 * (1 - ln(tan(pi/4 + pi/8)) / pi).
        {45, -90, 64, 128 * (1 - std::log(std::tan(std::numbers::pi * 3 / 8)) / std::numbers::pi)},
    };
    // clang-format on
    for (const Row& row : rows) {
        const WorldPoint p = project(row.latitude, row.longitude);
        EXPECT_NEAR(p.x, row.x, 1e-9) << row.latitude << "," << row.longitude;
        EXPECT_NEAR(p.y, row.y, 1e-9) << row.latitude << "," << row.longitude;
    }
}

TEST(WebMercator, UnprojectRoundTripsWithinANanodegree) {
    for (const double latitude : {-85.0, -51.5, -0.0000001, 0.0, 12.3456789, 51.5, 85.05})
        for (const double longitude : {-180.0, -122.4194, -0.12, 0.0, 2.35, 179.9999999, 180.0}) {
            double lat = 0, lon = 0;
            unproject(project(latitude, longitude), lat, lon);
            EXPECT_NEAR(lat, latitude, 1e-9) << latitude << "," << longitude;
            EXPECT_NEAR(lon, longitude, 1e-9) << latitude << "," << longitude;
        }
    double lat = 0, lon = 0;
    unproject({100, -5}, lat, lon);
    EXPECT_DOUBLE_EQ(lat, kMaxLatitude) << "above the world: its top edge";
    unproject({100, 300}, lat, lon);
    EXPECT_DOUBLE_EQ(lat, -kMaxLatitude);
}

TEST(WebMercator, TilesOfKnownPositions) {
    struct Row {
        double latitude, longitude;
        int zoom;
        TileId tile;
    };
    // clang-format off
    const Row rows[] = {
        // The slippy-map wiki's London example.
        {51.5, -0.12, 10, {10, 511, 340}},
        // Zoom 0 holds everything in one tile, the corners and the poles included.
        {89.9, 180, 0, {0, 0, 0}},
        // The quarters at zoom 1 meet at latitude 0, longitude 0.
        {0.0001, -0.0001, 1, {1, 0, 0}},
        {-0.0001, 0.0001, 1, {1, 1, 1}},
        // The antimeridian: +180 is the meridian of -180, in column 0; just west of it is
        // the last column; a longitude beyond it wraps.
        {10, 180, 3, {3, 0, 3}},
        {10, 179.9999, 3, {3, 7, 3}},
        {10, 190, 3, {3, 0, 3}},
        {10, -190, 3, {3, 7, 3}},
        // Rows stay in the world at the poles.
        {90, 0, 4, {4, 8, 0}},
        {-90, 0, 4, {4, 8, 15}},
    };
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(tileAt(row.latitude, row.longitude, row.zoom), row.tile)
            << row.latitude << "," << row.longitude << " at " << row.zoom;
}

TEST(WebMercator, TileCornersAreTheirNorthWestCorners) {
    double lat = 0, lon = 0;
    tileCorner({0, 0, 0}, lat, lon);
    EXPECT_NEAR(lat, kMaxLatitude, 1e-9);
    EXPECT_NEAR(lon, -180, 1e-9);
    // A corner and a position just south-east of it are in the tile; just north-west, not.
    for (const TileId tile :
         {TileId{1, 1, 1}, TileId{10, 511, 340}, TileId{15, 16372, 10895}, TileId{5, 31, 0}}) {
        tileCorner(tile, lat, lon);
        EXPECT_EQ(tileAt(lat - 1e-7, lon + 1e-7, tile.zoom), tile);
        EXPECT_NE(tileAt(lat + 1e-7, lon - 1e-7, tile.zoom), tile);
    }
    EXPECT_EQ(wrapTileX(-1, 3), 7);
    EXPECT_EQ(wrapTileX(8, 3), 0);
}

TEST(WebMercator, MetresPerPixelForTheScaleBar) {
    EXPECT_NEAR(metresPerPixel(0, 0), 156543.03392, 1e-5);
    EXPECT_NEAR(metresPerPixel(0, 18), 0.597164, 1e-6);
    EXPECT_NEAR(metresPerPixel(60, 10), 156543.03392 / 1024 / 2, 1e-6);
}

TEST(WebMercator, FixedPointsKeepPositionsToTheDeepestZoomsPixel) {
    // The centre; the east and south edges fall in the last pixel, the west and north in the
    // first.
    const std::pair<double, std::uint32_t> edges[] = {{128, 1U << 31}, {256, 0xFFFFFFFFU}, {0, 0}};
    for (const auto& [at, pixel] : edges) {
        EXPECT_EQ(toFixed({at, at}).x, pixel) << at;
        EXPECT_EQ(toFixed({at, at}).y, pixel) << at;
    }
    // A position falls in its zoom-24 pixel, whose centre is less than half a pixel from it.
    constexpr double kPixel = 256.0 / 4294967296.0;
    for (const double at : {123456789.1, 123456789.9, 4294967295.5, 0.25}) {
        const WorldPoint p{at * kPixel, at * kPixel};
        const FixedPoint fixed = toFixed(p);
        EXPECT_EQ(fixed.x, static_cast<std::uint32_t>(at)) << at;
        EXPECT_EQ(fixed.y, static_cast<std::uint32_t>(at)) << at;
        const WorldPoint back = fromFixed(fixed);
        EXPECT_LT(std::abs(back.x - p.x), kPixel / 2) << at;
        EXPECT_LT(std::abs(back.y - p.y), kPixel / 2) << at;
    }
}

}  // namespace
}  // namespace velmora::map
