// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "map/web_mercator.h"
#include "records/bssid_key.h"
#include "records/record_walk.h"
#include "sightings/map_point.h"
#include "sightings/pin_palette.h"
#include "sightings/sighting.h"
#include "sightings/strongest_sightings.h"

namespace velmora {
class VendorList;
}

namespace velmora::map {

// How a dot is coloured: the kind of pin (pin_palette.h), WEP on or off, ad hoc or not, by the
// main window's count tests, as the KML styles and the saved image tell them apart.
using Status = PinKind;
inline constexpr int kStatusCount = kPinKindCount;
// The `shown` bits of every status: bit 1 << Status.
inline constexpr unsigned kAllStatuses = (1U << kStatusCount) - 1;
constexpr unsigned statusBit(Status status) {
    return 1U << static_cast<unsigned>(status);
}

// The status of a record with this Flags item.
Status statusOf(std::string_view flags);

// One dot to draw: where on the screen, its status, and whether the current selection holds it.
struct Dot {
    int x = 0;
    int y = 0;
    Status status = Status::WepOff;
    bool highlighted = false;
    bool operator==(const Dot&) const = default;
};

// A square of screen pixels drawn as one patch of density rather than as overlapping dots:
// its top-left screen pixel (the squares lie on a grid fixed to the world, so panning does not
// stir them; a square at the edge may start off the screen), whether it holds highlighted
// points, and how many points of each status it holds in view.
struct DensityCell {
    int x = 0;
    int y = 0;
    bool highlighted = false;
    std::array<std::uint32_t, kStatusCount> counts{};
    bool operator==(const DensityCell&) const = default;
};

// What a view draws: density cells where dots would pile up, dots elsewhere. Each comes not
// highlighted first, then highlighted, so that drawing in order puts the highlight on top.
struct Drawing {
    std::vector<DensityCell> cells;
    std::vector<Dot> dots;
};

// A view: the world pixel (at `zoom`, 0 to kMaxZoom; another zoom is taken as the nearest of
// those) at the top-left corner of a `width` x `height` screen. A point shows at the screen pixel
// of the world pixel that holds it: x = cell - ceil(left - 0.5) for the world pixel column `cell`
// at `zoom` (its centre rounded to the screen's pixel grid), and likewise for y; so with a
// whole-pixel corner, x = cell - left. The world is drawn once: a view beyond its edges shows no
// dots there.
struct View {
    double left = 0;  // world pixels at `zoom`
    double top = 0;
    int width = 0;
    int height = 0;
    int zoom = 0;
};

// The sightings of a working record file as the map draws them: each one's position, status
// and record number (its position in output1, from 0), kept compactly and indexed so that a
// view asks only for what it shows. build() may run on a thread of its own; the const
// functions of a built map may be called from any thread.
//
// Each point is 16 bytes: the Morton (Z-order) key of its world pixel at kMaxZoom (the bits of
// x and y interleaved) and its record number; one pin per access point adds the access point's
// BSSID key (8 bytes). The points are kept in six groups, by highlight (not highlighted first)
// and then status, each sorted by key. The points of one world pixel at any zoom share a key
// prefix and so stand together in each group, and a square of world pixels whose side is a
// power of two is one run: a view is answered by descending that quadtree over the sorted keys,
// splitting each run by binary search, so it visits only the occupied pixels in view (and
// their ancestors) and never a point one by one where a run holds many.
class SightingMap {
  public:
    SightingMap() = default;
    // Reads the working record file once. With `perAccessPoint`, one point per distinct
    // upper-cased BSSID at its strongest sighting, the exports' rule (strongest_sightings.h,
    // fed with the file's extras for the signal). A record (or an access point's
    // strongest sighting) whose position cannot be read is left out and counted in
    // unplaced(). With ApPosition::Weighted, each access point stands at the weighted
    // centroid of its sightings instead. Throws FileError.
    static SightingMap build(const std::filesystem::path& workingFile, bool perAccessPoint,
                             ApPosition position = ApPosition::Strongest);

    std::size_t size() const { return points_.size(); }
    bool empty() const { return points_.empty(); }
    bool perAccessPoint() const { return perAccessPoint_; }
    // The records (or access points) left out for a position that cannot be read.
    std::uint64_t unplaced() const { return unplaced_; }
    // The points of each status.
    std::size_t count(Status status) const;

    // Marks the points whose records `filter` passes (an export's RecordSelection::filter),
    // reading the working file once (in per-access-point mode, an access point any of whose
    // sightings passes); the others are for drawing faintly. An empty filter clears the
    // highlight. Where `byExtras` is set (RecordSelection::byExtras), a record must pass it
    // too. Throws FileError; the highlight is then as it was.
    void highlight(const std::filesystem::path& workingFile, const RecordFilter& filter,
                   const ExtrasFilter& byExtras = {});
    void clearHighlight();
    // Whether a highlight is set (even one that marks no point).
    bool hasHighlight() const { return hasHighlight_; }
    std::size_t highlightedCount() const;

    // The smallest world rectangle (zoom 0) holding every point, or every highlighted point
    // when `highlightedOnly`; false when there is none.
    bool bounds(WorldPoint& topLeft, WorldPoint& bottomRight, bool highlightedOnly) const;

    // The dots of a view, at most one per screen pixel and status and highlight, for the
    // statuses `shown` (bits statusBit), clipped to the view. The points that are not
    // highlighted come first, then the highlighted ones, so that drawing in order puts the
    // highlight on top. Its time grows with the pixels the view shows occupied, not with the
    // number of sightings.
    std::vector<Dot> dots(const View& view, unsigned shown) const;

    // The dots() of a view, but where a square of `cellSide` x `cellSide` screen pixels would
    // hold more than `maxDots` dots (of one highlight), that square is one DensityCell instead,
    // with the count of its points by status. Zooming in spreads the points until every square
    // shows dots. The highlighted and the other points are binned apart.
    Drawing drawing(const View& view, unsigned shown, int cellSide, int maxDots) const;

    // The record numbers of the shown points nearest to screen point (x, y) of `view` within
    // `radius` pixels (measured between screen pixels): every point in the world pixel of the
    // nearest dot, in ascending order; empty when there is none.
    std::vector<std::uint32_t> pick(const View& view, int x, int y, int radius,
                                    unsigned shown) const;

    // Every point: the whole map, for checks and summaries rather than drawing.
    struct PointInfo {
        FixedPoint position;
        Status status;
        bool highlighted;
        std::uint32_t number;
    };
    std::vector<PointInfo> points() const;

    // The bytes the map holds, its index included.
    std::size_t memoryBytes() const;

  private:
    struct Point {
        std::uint64_t key;     // Morton key of the kMaxZoom world pixel
        std::uint32_t number;  // record number
        std::uint32_t ap;      // per access point: its BSSID key's index in apKeys_
    };
    static constexpr int kGroups = 2 * kStatusCount;
    struct Builder;

    void regroup(const std::vector<bool>& highlighted);
    template <typename Fn>
    void visitCells(int group, const View& view, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                    std::int64_t y1, Fn&& fn) const;

    std::vector<Point> points_;  // grouped, each group by key
    std::array<std::size_t, kGroups + 1> groupStart_{};
    std::vector<std::uint64_t> apKeys_;  // per access point: distinct::bssidKey of its BSSID
    distinct::Interner others_;          // BSSIDs that are no MAC address
    std::uint64_t records_ = 0;          // in the working file when built
    std::uint64_t unplaced_ = 0;
    bool perAccessPoint_ = false;
    bool hasHighlight_ = false;
};

// The map points (map_point.h) of records by number, in the order given, read from the
// working file and its extras; a number past the file's last record gives no point. `vendors`
// may be null. Throws FileError.
std::vector<MapPoint> describeRecordsByNumber(const std::filesystem::path& workingFile,
                                              const std::vector<std::uint32_t>& numbers,
                                              const VendorList* vendors);

// For one pin per access point: what the access point of each numbered record had over the
// whole file (sightings, first and last seen, as the per-access-point exports count them), in
// the order given; a number past the file's last record gives an empty summary. Reads the file
// twice. With `position` as the map was built with, each summary has its radius, and
// `places`, where given, gets where each pin stands (its latitude and longitude items, empty
// for an empty summary). Throws FileError.
std::vector<AccessPointSummary> accessPointSummaries(
    const std::filesystem::path& workingFile, const std::vector<std::uint32_t>& numbers,
    ApPosition position = ApPosition::Strongest,
    std::vector<std::pair<std::string, std::string>>* places = nullptr);

}  // namespace velmora::map
