// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/sighting_map.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "io/file_error.h"
#include "records/flags.h"
#include "records/record_reader.h"
#include "records/record_walk.h"
#include "sightings/sighting_walk.h"
#include "sightings/strongest_sightings.h"

namespace velmora::map {

namespace {

// The bits of `v` spread to the even bit positions.
std::uint64_t spread(std::uint32_t v) {
    std::uint64_t x = v;
    x = (x | x << 16) & 0x0000FFFF0000FFFFULL;
    x = (x | x << 8) & 0x00FF00FF00FF00FFULL;
    x = (x | x << 4) & 0x0F0F0F0F0F0F0F0FULL;
    x = (x | x << 2) & 0x3333333333333333ULL;
    x = (x | x << 1) & 0x5555555555555555ULL;
    return x;
}

// The even bits of `x`, packed.
std::uint32_t compact(std::uint64_t x) {
    x &= 0x5555555555555555ULL;
    x = (x | x >> 1) & 0x3333333333333333ULL;
    x = (x | x >> 2) & 0x0F0F0F0F0F0F0F0FULL;
    x = (x | x >> 4) & 0x00FF00FF00FF00FFULL;
    x = (x | x >> 8) & 0x0000FFFF0000FFFFULL;
    x = (x | x >> 16) & 0x00000000FFFFFFFFULL;
    return static_cast<std::uint32_t>(x);
}

// x in the even bits, y in the odd ones.
std::uint64_t mortonKey(FixedPoint p) {
    return spread(p.x) | spread(p.y) << 1;
}
FixedPoint fixedOf(std::uint64_t key) {
    return {compact(key), compact(key >> 1)};
}

constexpr int kFixedLevels = 8 + kMaxZoom;  // bits of a fixed coordinate

// The view's screen corner in world pixels at its zoom: a world pixel `cell` shows at screen
// pixel cell - origin.
std::int64_t originOf(double corner) {
    // Far beyond the world at every zoom, and still far from overflowing.
    constexpr double kFar = 1e15;
    return static_cast<std::int64_t>(std::ceil(std::clamp(corner - 0.5, -kFar, kFar)));
}

int checkedZoom(const View& view) {
    return std::clamp(view.zoom, 0, kMaxZoom);
}

// The position of a record, if its coordinate items can be read as the map formats read them.
std::optional<FixedPoint> positionOf(const RecordFields& fields) {
    const std::optional<double> latitude =
        coordinateDegrees(fields[WorkingRecord::Latitude], 'N', 'S');
    const std::optional<double> longitude =
        coordinateDegrees(fields[WorkingRecord::Longitude], 'E', 'W');
    if (!latitude || !longitude || *latitude > 90 || *longitude > 180) return std::nullopt;
    return toFixed(project(*latitude, *longitude));
}

}  // namespace

Status statusOf(std::string_view flags) {
    return pinKindOf(flags);
}

// The points of a working file as they are read, by status, before they are ordered.
struct SightingMap::Builder {
    SightingMap& map;
    std::array<std::vector<Point>, kStatusCount> byStatus;

    // Adds the record's point, whose access point (if any) is `ap`; false when its position
    // cannot be read.
    bool add(const RecordFields& fields, std::uint64_t number, std::uint32_t ap) {
        const std::optional<FixedPoint> position = positionOf(fields);
        if (!position) {
            ++map.unplaced_;
            return false;
        }
        const auto status = static_cast<std::size_t>(statusOf(fields[WorkingRecord::Flags]));
        byStatus[status].push_back({mortonKey(*position), static_cast<std::uint32_t>(number), ap});
        return true;
    }

    // Each status's points in key order, one group after the other.
    void finish() {
        std::size_t total = 0;
        for (const auto& points : byStatus) total += points.size();
        map.points_.clear();
        map.points_.reserve(total);
        map.groupStart_.fill(0);
        for (int g = 0; g < kGroups; ++g) {
            map.groupStart_[g] = map.points_.size();
            if (g >= kStatusCount) continue;
            std::vector<Point>& points = byStatus[g];
            std::sort(points.begin(), points.end(),
                      [](const Point& a, const Point& b) { return a.key < b.key; });
            map.points_.insert(map.points_.end(), points.begin(), points.end());
            std::vector<Point>().swap(points);
        }
        map.groupStart_[kGroups] = map.points_.size();
    }
};

SightingMap SightingMap::build(const std::filesystem::path& workingFile, bool perAccessPoint,
                               ApPosition position) {
    SightingMap map;
    map.perAccessPoint_ = perAccessPoint;
    Builder builder{map, {}};
    const auto tooMany = [&](std::uint64_t records) {
        if (records > std::uint64_t{std::numeric_limits<std::uint32_t>::max()} + 1)
            throw FileError(workingFile, "Too many records for the map");
    };
    if (!perAccessPoint) {
        std::uint64_t number = 0;
        forEachRecord(workingFile, [&](const RecordFields& fields) {
            tooMany(number + 1);
            builder.add(fields, number++, 0);
        });
        map.records_ = number;
    } else {
        StrongestSightings strongest(position);
        map.records_ = forEachSighting(workingFile, [&](const Sighting& sighting) {
            tooMany(sighting.number + 1);
            strongest.add(sighting);
        });
        strongest.finish([&](const Sighting& pin) {
            const auto ap = static_cast<std::uint32_t>(map.apKeys_.size());
            if (builder.add(pin.fields, pin.number, ap))
                map.apKeys_.push_back(
                    distinct::bssidKey(pin.fields[WorkingRecord::BSSID], map.others_));
        });
        map.apKeys_.shrink_to_fit();
    }
    builder.finish();
    return map;
}

std::size_t SightingMap::count(Status status) const {
    const auto s = static_cast<std::size_t>(status);
    return groupStart_[s + 1] - groupStart_[s] + groupStart_[s + kStatusCount + 1] -
           groupStart_[s + kStatusCount];
}

std::size_t SightingMap::highlightedCount() const {
    return groupStart_[kGroups] - groupStart_[kStatusCount];
}

std::vector<SightingMap::PointInfo> SightingMap::points() const {
    std::vector<PointInfo> out;
    out.reserve(points_.size());
    for (int g = 0; g < kGroups; ++g)
        for (std::size_t i = groupStart_[g]; i < groupStart_[g + 1]; ++i)
            out.push_back({fixedOf(points_[i].key), static_cast<Status>(g % kStatusCount),
                           g >= kStatusCount, points_[i].number});
    return out;
}

std::size_t SightingMap::memoryBytes() const {
    // A BSSID that is no MAC address costs its text and a slot or two of the interner.
    constexpr std::size_t kPerOther = sizeof(std::string) + 32;
    return sizeof(*this) + points_.capacity() * sizeof(Point) +
           apKeys_.capacity() * sizeof(std::uint64_t) + others_.size() * kPerOther;
}

// Moves each point into the group of its status and `highlighted[i]` (by its position i in
// points_), keeping each group in key order.
void SightingMap::regroup(const std::vector<bool>& highlighted) {
    std::vector<Point> next;
    next.reserve(points_.size());
    std::array<std::size_t, kGroups + 1> start{};
    for (int g = 0; g < kGroups; ++g) {
        start[g] = next.size();
        const bool wanted = g >= kStatusCount;
        // The status's two groups, merged by key, keeping the points of the wanted highlight.
        const int status = g % kStatusCount;
        std::size_t a = groupStart_[status], aEnd = groupStart_[status + 1];
        std::size_t b = groupStart_[status + kStatusCount],
                    bEnd = groupStart_[status + kStatusCount + 1];
        while (a < aEnd || b < bEnd) {
            std::size_t i;
            if (b == bEnd || (a < aEnd && points_[a].key <= points_[b].key))
                i = a++;
            else
                i = b++;
            if (highlighted[i] == wanted) next.push_back(points_[i]);
        }
    }
    start[kGroups] = next.size();
    points_ = std::move(next);
    groupStart_ = start;
}

void SightingMap::highlight(const std::filesystem::path& workingFile, const RecordFilter& filter,
                            const ExtrasFilter& byExtras) {
    if (!filter) {
        clearHighlight();
        return;
    }
    // Calls fn(fields, passes) for every record; the extras are read only where asked for.
    const auto walk = [&](auto fn) {
        if (byExtras)
            forEachSighting(workingFile, [&](const Sighting& s) {
                fn(s.fields, filter(s.fields) && byExtras(s.fields, s.extras));
            });
        else
            forEachRecord(workingFile,
                          [&](const RecordFields& fields) { fn(fields, filter(fields)); });
    };
    std::vector<bool> highlighted(points_.size());
    if (!perAccessPoint_) {
        std::vector<bool> passes;
        passes.reserve(records_);
        walk([&](const RecordFields&, bool passed) { passes.push_back(passed); });
        for (std::size_t i = 0; i < points_.size(); ++i)
            highlighted[i] = points_[i].number < passes.size() && passes[points_[i].number];
    } else {
        std::unordered_set<std::uint64_t> passing;
        walk([&](const RecordFields& fields, bool passed) {
            if (passed) passing.insert(distinct::bssidKey(fields[WorkingRecord::BSSID], others_));
        });
        for (std::size_t i = 0; i < points_.size(); ++i)
            highlighted[i] = passing.count(apKeys_[points_[i].ap]) > 0;
    }
    regroup(highlighted);
    hasHighlight_ = true;
}

void SightingMap::clearHighlight() {
    if (highlightedCount() > 0) regroup(std::vector<bool>(points_.size()));
    hasHighlight_ = false;
}

bool SightingMap::bounds(WorldPoint& topLeft, WorldPoint& bottomRight, bool highlightedOnly) const {
    const std::size_t first = highlightedOnly ? groupStart_[kStatusCount] : 0;
    if (first == points_.size()) return false;
    FixedPoint low{std::numeric_limits<std::uint32_t>::max(),
                   std::numeric_limits<std::uint32_t>::max()};
    FixedPoint high{0, 0};
    for (std::size_t i = first; i < points_.size(); ++i) {
        const FixedPoint p = fixedOf(points_[i].key);
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    topLeft = fromFixed(low);
    bottomRight = fromFixed(high);
    return true;
}

// Calls fn(cellX, cellY, first, last) for each world pixel at the view's zoom, within columns
// x0 .. x1 - 1 and rows y0 .. y1 - 1, that holds points of `group`: [first, last) are its
// points, in key order. Pixels come in key order.
template <typename Fn>
void SightingMap::visitCells(int group, const View& view, std::int64_t x0, std::int64_t y0,
                             std::int64_t x1, std::int64_t y1, Fn&& fn) const {
    const int level = 8 + checkedZoom(view);  // a world pixel's depth in the quadtree
    const std::int64_t side = std::int64_t{1} << level;
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min(x1, side);
    y1 = std::min(y1, side);
    if (x0 >= x1 || y0 >= y1) return;
    const Point* const base = points_.data();
    const auto byKey = [](const Point& p, std::uint64_t key) { return p.key < key; };
    // A run this short is read point by point rather than split.
    constexpr std::ptrdiff_t kScan = 8;
    const int below = 2 * (kFixedLevels - level);  // key bits under a world pixel's
    const auto visit = [&](auto&& self, int depth, std::int64_t nx, std::int64_t ny,
                           const Point* first, const Point* last) -> void {
        if (first == last) return;
        const int shift = level - depth;
        if ((nx + 1) << shift <= x0 || nx << shift >= x1 || (ny + 1) << shift <= y0 ||
            ny << shift >= y1)
            return;
        if (depth == level) {
            fn(nx, ny, static_cast<std::size_t>(first - base),
               static_cast<std::size_t>(last - base));
            return;
        }
        if (last - first <= kScan) {
            while (first != last) {
                const std::uint64_t cell = first->key >> below;
                const Point* end = first + 1;
                while (end != last && end->key >> below == cell) ++end;
                const FixedPoint at = fixedOf(cell);
                if (at.x >= x0 && at.x < x1 && at.y >= y0 && at.y < y1)
                    fn(std::int64_t{at.x}, std::int64_t{at.y},
                       static_cast<std::size_t>(first - base),
                       static_cast<std::size_t>(end - base));
                first = end;
            }
            return;
        }
        // The four quarters, in key order: the bits of x are the even ones.
        const int childShift = 2 * (kFixedLevels - depth - 1);
        // The key bits above this square's; at the top the square is the world, and none are.
        const int squareShift = childShift + 2;
        const std::uint64_t prefix = squareShift >= 64 ? 0 : (first->key >> squareShift) << 2;
        const Point* from = first;
        for (std::uint64_t c = 0; c < 4; ++c) {
            const Point* to =
                c == 3 ? last
                       : std::lower_bound(from, last, (prefix | (c + 1)) << childShift, byKey);
            self(self, depth + 1, nx * 2 + static_cast<std::int64_t>(c & 1),
                 ny * 2 + static_cast<std::int64_t>(c >> 1), from, to);
            from = to;
        }
    };
    visit(visit, 0, 0, 0, base + groupStart_[group], base + groupStart_[group + 1]);
}

std::vector<Dot> SightingMap::dots(const View& view, unsigned shown) const {
    std::vector<Dot> out;
    const std::int64_t ox = originOf(view.left), oy = originOf(view.top);
    for (int g = 0; g < kGroups; ++g) {
        const auto status = static_cast<Status>(g % kStatusCount);
        if (!(shown & statusBit(status))) continue;
        const bool highlighted = g >= kStatusCount;
        visitCells(g, view, ox, oy, ox + view.width, oy + view.height,
                   [&](std::int64_t cx, std::int64_t cy, std::size_t, std::size_t) {
                       out.push_back({static_cast<int>(cx - ox), static_cast<int>(cy - oy), status,
                                      highlighted});
                   });
    }
    return out;
}

Drawing SightingMap::drawing(const View& view, unsigned shown, int cellSide, int maxDots) const {
    Drawing out;
    if (view.width <= 0 || view.height <= 0) return out;
    const std::int64_t side = std::max(1, cellSide);
    const auto floorDiv = [side](std::int64_t v) {
        return v >= 0 ? v / side : -((-v + side - 1) / side);
    };
    const std::int64_t ox = originOf(view.left), oy = originOf(view.top);
    const std::int64_t col0 = floorDiv(ox), row0 = floorDiv(oy);
    const auto cols = static_cast<std::size_t>(floorDiv(ox + view.width - 1) - col0 + 1);
    const auto rows = static_cast<std::size_t>(floorDiv(oy + view.height - 1) - row0 + 1);
    struct Tally {
        std::array<std::uint32_t, kStatusCount> counts;
        std::uint32_t dots;
    };
    std::vector<Tally> tally(cols * rows);
    std::vector<std::pair<Dot, std::size_t>> dots;  // each with its square
    for (int highlighted = 0; highlighted < 2; ++highlighted) {
        std::fill(tally.begin(), tally.end(), Tally{});
        dots.clear();
        for (int s = 0; s < kStatusCount; ++s) {
            const auto status = static_cast<Status>(s);
            if (!(shown & statusBit(status))) continue;
            visitCells(
                highlighted * kStatusCount + s, view, ox, oy, ox + view.width, oy + view.height,
                [&](std::int64_t cx, std::int64_t cy, std::size_t first, std::size_t last) {
                    const std::size_t cell = static_cast<std::size_t>(floorDiv(cy) - row0) * cols +
                                             static_cast<std::size_t>(floorDiv(cx) - col0);
                    tally[cell].counts[s] += static_cast<std::uint32_t>(last - first);
                    ++tally[cell].dots;
                    dots.push_back({{static_cast<int>(cx - ox), static_cast<int>(cy - oy), status,
                                     highlighted != 0},
                                    cell});
                });
        }
        for (std::size_t cell = 0; cell < tally.size(); ++cell)
            if (tally[cell].dots > static_cast<std::uint32_t>(maxDots))
                out.cells.push_back(
                    {static_cast<int>((col0 + static_cast<std::int64_t>(cell % cols)) * side - ox),
                     static_cast<int>((row0 + static_cast<std::int64_t>(cell / cols)) * side - oy),
                     highlighted != 0, tally[cell].counts});
        for (const auto& [dot, cell] : dots)
            if (tally[cell].dots <= static_cast<std::uint32_t>(maxDots)) out.dots.push_back(dot);
    }
    return out;
}

std::vector<std::uint32_t> SightingMap::pick(const View& view, int x, int y, int radius,
                                             unsigned shown) const {
    const std::int64_t ox = originOf(view.left), oy = originOf(view.top);
    const std::int64_t px = ox + x, py = oy + y;  // the world pixel under (x, y)
    // A radius past the deepest zoom's world reaches nothing more.
    radius = std::clamp(radius, 0, 1 << 30);
    const std::int64_t limit = std::int64_t{radius} * radius;
    std::int64_t best = limit + 1;
    std::int64_t bestX = 0, bestY = 0;
    for (int g = 0; g < kGroups; ++g) {
        if (!(shown & statusBit(static_cast<Status>(g % kStatusCount)))) continue;
        visitCells(g, view, px - radius, py - radius, px + radius + 1, py + radius + 1,
                   [&](std::int64_t cx, std::int64_t cy, std::size_t, std::size_t) {
                       const std::int64_t d = (cx - px) * (cx - px) + (cy - py) * (cy - py);
                       // Of equally near pixels, the one nearest the top, then the left.
                       if (d < best || (d == best && std::pair(cy, cx) < std::pair(bestY, bestX))) {
                           best = d;
                           bestX = cx;
                           bestY = cy;
                       }
                   });
    }
    std::vector<std::uint32_t> numbers;
    if (best > limit) return numbers;
    for (int g = 0; g < kGroups; ++g) {
        if (!(shown & statusBit(static_cast<Status>(g % kStatusCount)))) continue;
        visitCells(g, view, bestX, bestY, bestX + 1, bestY + 1,
                   [&](std::int64_t, std::int64_t, std::size_t first, std::size_t last) {
                       for (std::size_t i = first; i < last; ++i)
                           numbers.push_back(points_[i].number);
                   });
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::vector<MapPoint> describeRecordsByNumber(const std::filesystem::path& workingFile,
                                              const std::vector<std::uint32_t>& numbers,
                                              const VendorList* vendors) {
    std::vector<std::pair<std::uint32_t, std::size_t>> wanted;  // number, place asked
    for (std::size_t i = 0; i < numbers.size(); ++i) wanted.emplace_back(numbers[i], i);
    std::sort(wanted.begin(), wanted.end());
    std::vector<std::optional<MapPoint>> found(numbers.size());
    if (!wanted.empty()) {
        std::size_t next = 0;
        forEachSighting(workingFile, [&](const Sighting& sighting) {
            if (sighting.number < wanted[next].first) return true;
            const MapPoint point = describeRecord(sighting, vendors);
            while (next < wanted.size() && wanted[next].first == sighting.number)
                found[wanted[next++].second] = point;
            return next < wanted.size();
        });
    }
    std::vector<MapPoint> points;
    for (auto& point : found)
        if (point) points.push_back(std::move(*point));
    return points;
}

std::vector<AccessPointSummary> accessPointSummaries(
    const std::filesystem::path& workingFile, const std::vector<std::uint32_t>& numbers,
    ApPosition position, std::vector<std::pair<std::string, std::string>>* places) {
    std::vector<AccessPointSummary> summaries(numbers.size());
    if (places) places->assign(numbers.size(), {});
    if (numbers.empty()) return summaries;
    // The BSSID keys of the numbered records, then the summary of each key's access point.
    distinct::Interner others;
    std::unordered_map<std::uint32_t, std::uint64_t> keyOf;
    for (const std::uint32_t number : numbers) keyOf.emplace(number, 0);
    const std::uint32_t lastWanted = *std::max_element(numbers.begin(), numbers.end());
    std::uint64_t number = 0;
    std::unordered_map<std::uint64_t, AccessPointSummary> byKey;
    forEachRecord(workingFile, [&](const RecordFields& fields) {
        const auto at = keyOf.find(static_cast<std::uint32_t>(number));
        if (at != keyOf.end()) {
            at->second = distinct::bssidKey(fields[WorkingRecord::BSSID], others);
            byKey.emplace(at->second, AccessPointSummary{});
        }
        return number++ < lastWanted;
    });
    StrongestSightings strongest(position);
    std::unordered_map<std::uint64_t, std::pair<std::string, std::string>> placeOf;
    forEachSighting(workingFile, [&](const Sighting& sighting) {
        if (byKey.count(distinct::bssidKey(sighting.fields[WorkingRecord::BSSID], others)) > 0)
            strongest.add(sighting);
    });
    strongest.finish([&](const Sighting& pin) {
        const std::uint64_t key = distinct::bssidKey(pin.fields[WorkingRecord::BSSID], others);
        byKey[key] = *pin.accessPoint;
        if (places)
            placeOf[key] = {std::string(pin.fields[WorkingRecord::Latitude]),
                            std::string(pin.fields[WorkingRecord::Longitude])};
    });
    for (std::size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] < number) {
            summaries[i] = byKey[keyOf[numbers[i]]];
            if (places) (*places)[i] = placeOf[keyOf[numbers[i]]];
        }
    return summaries;
}

}  // namespace velmora::map
