// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/sighting_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "advanced/ap_name.h"
#include "advanced/mac_access_points.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "records/working_files.h"
#include "support/test_support.h"

namespace velmora::map {
namespace {

namespace fs = std::filesystem;

// A data line of the scanner's layout with its own time and signal.
std::string sighting(std::string_view lat, std::string_view lon, std::string_view ssid,
                     std::string_view bssid, std::string_view flags, int signal,
                     std::string_view time = "01:02:03") {
    return std::string(lat) + "\t" + std::string(lon) + "\t( " + std::string(ssid) + " )\tBSS\t( " +
           std::string(bssid) + " )\t" + std::string(time) + " (GMT)\t[ 20 " +
           std::to_string(signal) + " 49 ]\t# (  )\t" + std::string(flags) + "\t00000040\t100";
}

// A loaded log in a folder of its own.
struct Loaded {
    test::TempDir dir;
    WorkingFiles files{dir.path()};
    fs::path output1() const { return files.output1(); }

    // `damaged`: with a record added whose latitude cannot be read, as a damaged file may hold
    // (a load keeps none), with the BSSID 00:0a:0b:0c:0d:04.
    explicit Loaded(const std::string& log, bool damaged = false) {
        test::writeFile(dir / "log.txt", log);
        EXPECT_EQ(loadSourceLog(dir / "log.txt", files).status, LoadStatus::Loaded);
        if (!damaged) return;
        setNormalAttribute(files.output1());
        setNormalAttribute(files.extras());
        const std::string record =
            "Q51.5000000,W0.1200000,home,BSS,00:0a:0b:0c:0d:04,01:02:03GMT,[201049],,0011,"
            "00000040,100";
        test::writeFile(files.output1(), test::readFile(files.output1()) + record + "\r\n");
        std::string extras(kExtrasCheckLength + 1, ' ');
        writeExtrasCheck(recordCheck(record), extras.data());
        test::writeFile(files.extras(),
                        test::readFile(files.extras()) + extras + "20,10,49,2004-06-05\r\n");
    }
};

// Five sightings near one London street, 0 to 4; at zoom 16 with the corner below, the view of
// kStreet shows them as the dots below: 3 in the world pixel of 0, and 4 the access point of 1,
// stronger. A damaged Loaded() adds a sixth.
const std::string kSmallLog = test::textLog({
    sighting("N 51.5000000", "W 0.1200000", "home", "00:0a:0b:0c:0d:01", "0011", 60),
    sighting("N 51.5005000", "W 0.1195000", "cafe", "00:0a:0b:0c:0d:02", "0001", 40),
    sighting("N 51.4990000", "W 0.1210000", "party", "00:0a:0b:0c:0d:03", "0002", 30),
    sighting("N 51.5000020", "W 0.1200020", "Home", "00:0A:0B:0C:0D:05", "0011", 50),
    sighting("N 51.5001000", "W 0.1200000", "annex", "00:0A:0B:0C:0D:02", "0001", 70, "01:09:00"),
});
const View kStreet{8382960, 5579360, 100, 150, 16};
// The dots of 0 and 3, 1, 2 and 4.
const Dot kOnDot{55, 46, Status::WepOn, false}, kOffDot{78, 9, Status::WepOff, false},
    kAdHocDot{8, 121, Status::AdHocWepOff, false}, kOff2Dot{55, 39, Status::WepOff, false};

using Dots = std::vector<Dot>;
Dots sorted(Dots dots) {
    std::sort(dots.begin(), dots.end(), [](const Dot& a, const Dot& b) {
        return std::tie(a.y, a.x, a.status, a.highlighted) <
               std::tie(b.y, b.x, b.status, b.highlighted);
    });
    return dots;
}

constexpr unsigned kOn = statusBit(Status::WepOn);
constexpr unsigned kOff = statusBit(Status::WepOff);
constexpr unsigned kAdHoc = statusBit(Status::AdHocWepOff);

// One flags value of each kind (the Flags tests' own table: flags_test.cpp).
TEST(SightingMapStatus, IsThePinKindByTheMainWindowsCountTests) {
    // clang-format off
    const std::pair<std::string_view, Status> rows[] = {
        {"0011", Status::WepOn},      {"0001", Status::WepOff}, {"0002", Status::AdHocWepOff},
        {"0012", Status::AdHocWepOn}, {"1\xe9", Status::WepOn},
        {"0091", Status::WepOff},  // neither on nor off: WEP off's
    };
    // clang-format on
    std::string log = test::textLog({});
    const auto bssid = [](std::size_t k) { return "00:0a:0b:0c:0d:" + std::to_string(10 + k); };
    for (std::size_t k = 0; k < std::size(rows); ++k) {
        EXPECT_EQ(statusOf(rows[k].first), rows[k].second) << rows[k].first;
        log += sighting("N 1.0", "E 2.0", "net", bssid(k), rows[k].first, 50) + "\r\n";
    }
    // The map's dots and the KML file's pins tell the statuses apart alike.
    Loaded loaded(log);
    ExportStyle kml;
    kml.format = ExportFormat::Kml;
    const std::string text = test::readFile(
        runMainExport(MainExport::ConvertAll, loaded.output1(), loaded.dir.path(), "log.txt", kml));
    // Each pin, found by its BSSID, has the style of its dot's kind.
    for (std::size_t k = 0; k < std::size(rows); ++k) {
        const std::size_t pin = text.rfind("<styleUrl>", text.find(">" + bssid(k) + "<"));
        ASSERT_NE(pin, std::string::npos) << rows[k].first;
        const std::string style = "#" + std::string(pinStyle(rows[k].second).id) + "<";
        EXPECT_EQ(text.compare(pin + 10, style.size(), style), 0) << rows[k].first;
    }
}

TEST(SightingMapBuild, FailsForAMissingFileAndIsEmptyForAnEmptyOne) {
    test::TempDir dir;
    for (const bool perAccessPoint : {false, true})
        EXPECT_EQ(test::fileErrorPath([&] { SightingMap::build(dir / "output1", perAccessPoint); }),
                  dir / "output1");
    test::writeFile(dir / "output1", "");
    for (const bool perAccessPoint : {false, true}) {
        SightingMap map = SightingMap::build(dir / "output1", perAccessPoint);
        EXPECT_TRUE(map.empty());
        WorldPoint topLeft, bottomRight;
        EXPECT_FALSE(map.bounds(topLeft, bottomRight, false));
        EXPECT_TRUE(map.dots({0, 0, 256, 256, 0}, kAllStatuses).empty());
        EXPECT_TRUE(map.pick({0, 0, 256, 256, 0}, 5, 5, 10, kAllStatuses).empty());
        map.highlight(dir / "output1", apNameSelection("X").filter);
        EXPECT_EQ(map.highlightedCount(), 0U);
    }
}

TEST(SightingMapBuild, PlacesSightingsAtTheWorldsEdges) {
    Loaded loaded(test::textLog({
        sighting("N 90.0000000", "E 0.0000000", "pole", "00:0a:0b:0c:0d:01", "0011", 60),
        sighting("S 0.0000001", "E 179.9999000", "edge", "00:0a:0b:0c:0d:02", "0011", 60),
        sighting("N 1.0000000", "W 180.0000000", "west", "00:0a:0b:0c:0d:03", "0011", 60),
    }));
    for (const bool perAccessPoint : {false, true}) {
        const SightingMap map = SightingMap::build(loaded.output1(), perAccessPoint);
        EXPECT_EQ(map.size(), 3U) << perAccessPoint;
        EXPECT_EQ(map.unplaced(), 0U) << perAccessPoint;
        // The whole world at zoom 0: the pole at the top row, the two others at the sides.
        std::set<std::pair<int, int>> at;
        for (const Dot& dot : map.dots({0, 0, 256, 256, 0}, kAllStatuses)) at.emplace(dot.x, dot.y);
        EXPECT_EQ(at, (std::set<std::pair<int, int>>{{128, 0}, {255, 128}, {0, 127}}))
            << perAccessPoint;
    }
}

TEST(SightingMapPick, FindsTheNearestDotAndEverythingOnItsSpot) {
    const Loaded loaded(kSmallLog, true);
    const SightingMap map = SightingMap::build(loaded.output1(), false);
    using Numbers = std::vector<std::uint32_t>;
    struct Row {
        int x, y, radius;
        unsigned shown;
        Numbers numbers;
    };
    // clang-format off
    const Row rows[] = {
        {55, 46, 0, kAllStatuses, {0, 3}},  // both sightings of the spot
        {55, 42, 4, kAllStatuses, {4}},     // 3 pixels from 4, 4 from 0 and 3
        {55, 43, 4, kAllStatuses, {0, 3}},
        {58, 46, 2, kAllStatuses, {}},      // beyond the radius
        {55, 46, 0, kOff, {}},              // a hidden status is not picked
        {55, 45, 10, kOff, {4}},
        {0, 0, 200, kAllStatuses, {4}},     // (55, 39) is nearer the corner than (78, 9)
        {122, 62, 69, kAllStatuses, {1}},   // as near (78, 9) as (55, 46): the upper one
    };
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(map.pick(kStreet, row.x, row.y, row.radius, row.shown), row.numbers)
            << row.x << "," << row.y << " within " << row.radius;
}

TEST(SightingMapHighlight, MarksTheSelectionPerSightingAndPerAccessPoint) {
    const Loaded loaded(kSmallLog, true);
    const auto highlightedNumbers = [](const SightingMap& map) {
        std::set<std::uint32_t> numbers;
        for (const auto& point : map.points())
            if (point.highlighted) numbers.insert(point.number);
        return numbers;
    };
    using Numbers = std::set<std::uint32_t>;
    struct Row {
        bool perAccessPoint;
        RecordSelection selection;
        Numbers numbers;
    };
    const Row rows[] = {
        {false, apNameSelection("HOME"), {0, 3}},  // 5 has no position
        {false, apNameSelection("CAFE"), {1}},
        {false, macAddressSelection("00:0A:0B:0C:0D:02"), {1, 4}},
        {false, apNameSelection("NOBODY"), {}},
        // An access point is marked where any of its sightings passes; its point is its
        // strongest sighting, 4, which is not in the "CAFE" group.
        {true, apNameSelection("CAFE"), {4}},
        {true, apNameSelection("HOME"), {0, 3}},
        {true, macAddressSelection("00:0A:0B:0C:0D:02"), {4}},
        {true, macAddressSelection("00:0A:0B:0C:0D:04"), {}},
    };
    for (const Row& row : rows) {
        SightingMap map = SightingMap::build(loaded.output1(), row.perAccessPoint);
        // A highlight moves points between groups; each status keeps its count.
        const auto counts = [&map] {
            return std::tuple(map.count(Status::WepOn), map.count(Status::WepOff),
                              map.count(Status::AdHocWepOff));
        };
        const auto before = counts();
        map.highlight(loaded.output1(), row.selection.filter);
        EXPECT_EQ(counts(), before);
        EXPECT_TRUE(map.hasHighlight());
        EXPECT_EQ(highlightedNumbers(map), row.numbers);
        EXPECT_EQ(map.highlightedCount(), row.numbers.size());
        map.clearHighlight();
        EXPECT_FALSE(map.hasHighlight());
        EXPECT_TRUE(highlightedNumbers(map).empty());
    }

    // Bounds of the marked points, of all, and a selection without a filter clears.
    SightingMap map = SightingMap::build(loaded.output1(), false);
    WorldPoint topLeft, bottomRight;
    EXPECT_FALSE(map.bounds(topLeft, bottomRight, true));
    map.highlight(loaded.output1(), macAddressSelection("00:0A:0B:0C:0D:02").filter);
    // The bounds' corners as pixels of kStreet: left, top, right, bottom.
    const auto pixels = [&] {
        const double scale = scaleToZoom(16);
        return std::vector{static_cast<int>(topLeft.x * scale - kStreet.left),
                           static_cast<int>(topLeft.y * scale - kStreet.top),
                           static_cast<int>(bottomRight.x * scale - kStreet.left),
                           static_cast<int>(bottomRight.y * scale - kStreet.top)};
    };
    ASSERT_TRUE(map.bounds(topLeft, bottomRight, true));
    EXPECT_EQ(pixels(), (std::vector{55, 9, 78, 39}));
    ASSERT_TRUE(map.bounds(topLeft, bottomRight, false));
    EXPECT_EQ(pixels(), (std::vector{8, 9, 78, 121}));
    map.highlight(loaded.output1(), RecordFilter{});
    EXPECT_FALSE(map.hasHighlight());
    EXPECT_EQ(map.highlightedCount(), 0U);
    EXPECT_EQ(sorted(map.dots(kStreet, kOff)), (Dots{kOffDot, kOff2Dot}));
}

TEST(SightingMapDescribe, GivesTheSidePanelsValuesByRecordNumber) {
    const Loaded loaded(kSmallLog, true);
    const auto points = describeRecordsByNumber(loaded.output1(), {4, 0, 99, 4}, nullptr);
    // Each with its own extras (the signal, the date).
    std::vector<std::tuple<std::string, std::optional<int>, std::string>> got;
    for (const auto& point : points) got.emplace_back(point.name, point.signal, point.time);
    EXPECT_EQ(got, (decltype(got){{"annex", 70, "2004-06-05T01:09:00Z"},
                                  {"home", 60, "2004-06-05T01:02:03Z"},
                                  {"annex", 70, "2004-06-05T01:09:00Z"}}))
        << "99 is past the end";

    const auto summaries = accessPointSummaries(loaded.output1(), {4, 2, 1, 99});
    ASSERT_EQ(summaries.size(), 4U);
    EXPECT_EQ(summaries[0].sightings, 2U);
    EXPECT_EQ(summaries[0].firstSeen, "2004-06-05T01:02:03Z");
    EXPECT_EQ(summaries[0].lastSeen, "2004-06-05T01:09:00Z");
    EXPECT_EQ(summaries[1].sightings, 1U);
    EXPECT_EQ(summaries[2].sightings, 2U) << "1 is a sighting of the same access point";
    EXPECT_EQ(summaries[3].sightings, 0U);
}

// Each status at its pixel; where dots would pile up, a square of the grid is one density cell
// with its points counted by status; elsewhere, and for the highlight apart from the rest, dots
// as dots() gives them (which a scan of every point checks below).
TEST(SightingMapDrawing, BinsPiledUpDotsIntoDensityCells) {
    Loaded loaded(kSmallLog, true);
    SightingMap map = SightingMap::build(loaded.output1(), false);
    EXPECT_EQ(map.size(), 5U);
    EXPECT_EQ(map.unplaced(), 1U);
    EXPECT_EQ(map.count(Status::WepOn), 2U);
    // Beyond the world's edge there is nothing, however far; nor on an empty screen.
    EXPECT_TRUE(map.dots({-300, 0, 256, 256, 0}, kAllStatuses).empty());
    EXPECT_TRUE(map.dots({1e300, -1e300, 256, 256, 16}, kAllStatuses).empty());
    EXPECT_TRUE(map.dots({0, 0, -5, 256, 0}, kAllStatuses).empty());
    EXPECT_TRUE(map.pick({1e300, 0, 10, 10, 3}, 0, 0, 1 << 30, kAllStatuses).empty());
    using Counts = std::array<std::uint32_t, kStatusCount>;
    const Dot on = kOnDot, off = kOffDot, adHoc = kAdHocDot, off2 = kOff2Dot;
    struct Row {
        const char* name;
        View view;
        unsigned shown;
        int side, maxDots;
        bool highlight;  // the access point 00:0A:0B:0C:0D:02: `off` and `off2`
        std::vector<DensityCell> cells;
        Dots dots;
    };
    // clang-format off
    const Row rows[] = {
        {"on and off2 share a square", kStreet, kAllStatuses, 16, 1, false,
         {{48, 32, false, Counts{2, 1, 0, 0}}}, {off, adHoc}},
        {"two dots allowed", kStreet, kAllStatuses, 16, 2, false, {}, {off, off2, on, adHoc}},
        {"hidden status not binned", kStreet, kOn | kAdHoc, 16, 1, false, {}, {on, adHoc}},
        // The grid is the world's: this square starts above and left of the screen.
        {"highlight binned apart", kStreet, kAllStatuses, 1024, 1, true,
         {{-496, -608, false, Counts{2, 0, 0, 1}}, {-496, -608, true, Counts{0, 2, 0, 0}}}, {}},
        {"highlight alone in its square", kStreet, kAllStatuses, 32, 1, true,
         {}, {on, adHoc, {78, 9, Status::WepOff, true}, {55, 39, Status::WepOff, true}}},
        // The world smaller than the screen: the grid starts left of and above it.
        {"world in one pixel", {-100, -100, 500, 500, 0}, kAllStatuses, 16, 1, false,
         {{212, 180, false, Counts{2, 2, 0, 1}}}, {}},
        {"empty screen", {0, 0, 0, 500, 0}, kAllStatuses, 16, 0, false, {}, {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        if (row.highlight)
            map.highlight(loaded.output1(), macAddressSelection("00:0A:0B:0C:0D:02").filter);
        else
            map.clearHighlight();
        const Drawing drawing = map.drawing(row.view, row.shown, row.side, row.maxDots);
        EXPECT_EQ(drawing.cells, row.cells) << row.name;
        EXPECT_EQ(sorted(drawing.dots), sorted(row.dots)) << row.name;
    }
}

// A log of `lines` sightings spread over a city, of `accessPoints` access points with random
// signals and flags.
std::string cityLog(int lines, int accessPoints, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> lat(51.40, 51.60), lon(-0.30, 0.10);
    const char* const flags[] = {"0011", "0001", "0002", "0031", "0012", ""};
    std::string log = test::textLog({});
    char latText[32], lonText[32], bssid[32];
    for (int i = 0; i < lines; ++i) {
        const int ap = static_cast<int>(random() % static_cast<unsigned>(accessPoints));
        std::snprintf(latText, sizeof latText, "N %.7f", lat(random));
        const double west = lon(random);
        std::snprintf(lonText, sizeof lonText, "%c %.7f", west < 0 ? 'W' : 'E', std::abs(west));
        std::snprintf(bssid, sizeof bssid, "00:%s:0b:0c:%02x:%02x", ap % 3 ? "0a" : "0A", ap / 256,
                      ap % 256);
        log += sighting(latText, lonText, "net", bssid, flags[random() % 6],
                        static_cast<int>(random() % 90)) +
               "\r\n";
    }
    return log;
}

TEST(SightingMapDots, AreOnePerOccupiedPixelOfEachStatusAsAScanOfEveryPointFindsThem) {
    Loaded loaded(cityLog(20000, 3000, 7));
    for (const bool perAccessPoint : {false, true}) {
        SightingMap map = SightingMap::build(loaded.output1(), perAccessPoint);
        map.highlight(loaded.output1(), macAddressSelection("00:0A:0B:0C:00:03").filter);
        std::mt19937 random(11);
        for (const int zoom : {0, 4, 9, 12, 14, 17, 20, 24}) {
            const double scale = scaleToZoom(zoom);
            const WorldPoint centre = project(51.5, -0.1);
            for (int k = 0; k < 3; ++k) {
                const View view{centre.x * scale - 500 + static_cast<int>(random() % 400) - 200.3,
                                centre.y * scale - 350 + static_cast<int>(random() % 400) - 200.7,
                                1000, 700, zoom};
                const unsigned shown = k == 2 ? kOn | kAdHoc : kAllStatuses;
                // Every point, one by one: its world pixel at the zoom, on the screen.
                std::set<std::tuple<int, int, Status, bool>> expected;
                for (const auto& point : map.points()) {
                    if (!(shown & statusBit(point.status))) continue;
                    const int below = kMaxZoom - zoom;
                    const auto x = static_cast<long long>(point.position.x >> below) -
                                   static_cast<long long>(std::ceil(view.left - 0.5));
                    const auto y = static_cast<long long>(point.position.y >> below) -
                                   static_cast<long long>(std::ceil(view.top - 0.5));
                    if (x >= 0 && x < view.width && y >= 0 && y < view.height)
                        expected.emplace(static_cast<int>(x), static_cast<int>(y), point.status,
                                         point.highlighted);
                }
                std::set<std::tuple<int, int, Status, bool>> got;
                const Dots dots = map.dots(view, shown);
                for (const Dot& dot : dots) got.emplace(dot.x, dot.y, dot.status, dot.highlighted);
                EXPECT_EQ(got.size(), dots.size()) << "a pixel drawn twice at zoom " << zoom;
                EXPECT_EQ(got, expected) << "zoom " << zoom << (perAccessPoint ? " per AP" : "");
            }
        }
    }
}

}  // namespace
}  // namespace velmora::map
