// SPDX-License-Identifier: GPL-3.0-or-later
// The format table, the export file names of every format, and one pin per access point.
#include "export/export_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "export/main_exports.h"
#include "export/map_sinks.h"
#include "export/recording_sink.h"
#include "export/styled_export.h"
#include "io/block_writer.h"
#include "loader/source_loader.h"
#include "records/mac_address.h"
#include "sightings/map_point.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using enum ExportFormat;

TEST(ExportFormats, EveryOptionWordNamesItsFormatAndNoOtherWordDoes) {
    for (const ExportFormat format : {StreetsAndTrips, Kml, Gpx, GeoJson, Csv})
        EXPECT_EQ(parseExportFormat(exportFormatInfo(format).option), format);
    for (const char* word : {"", "KML", "txt", "json", "st ", "kml2", "streets"})
        EXPECT_FALSE(parseExportFormat(word)) << word;
}

TEST(ExportFileNames, MapFormatsReplaceTheLogsExtensionAndStreetsAndTripsKeepsTodaysNames) {
    // prefix, log name, format, file name
    // clang-format off
    const std::tuple<const char*, const char*, ExportFormat, const char*> cases[] = {
        {"FullConvert_", "drive3.txt", Kml, "FullConvert_drive3.kml"},
        {"LOCKED_", "drive3.TXT", Gpx, "LOCKED_drive3.gpx"},
        {"UNLOCKED_", "drive3", GeoJson, "UNLOCKED_drive3.geojson"},
        {"All_AD-HOC_", "drive.2004.log", Csv, "All_AD-HOC_drive.2004.csv"},
        {"FullConvert_", ".hidden", Kml, "FullConvert_.hidden.kml"},
        {"FullConvert_", "drive.", Kml, "FullConvert_drive.kml"},
        {"FullConvert_", "drive3.txt", StreetsAndTrips, "FullConvert_drive3.txt"},
        {"All_Infrastructures_", "drive3", StreetsAndTrips, "All_Infrastructures_drive3"},
        // A compressed log: named after the file it holds, no export being compressed.
        {"FullConvert_", "WigleWifi_1.csv.gz", StreetsAndTrips, "FullConvert_WigleWifi_1.csv"},
        {"LOCKED_", "drive3.txt.GZ", Kml, "LOCKED_drive3.kml"},
        {"UNLOCKED_", "drive3.gz", GeoJson, "UNLOCKED_drive3.geojson"}};
    // clang-format on
    for (const auto& [prefix, log, format, name] : cases)
        EXPECT_EQ(mainExportFileName(prefix, log, format), name) << prefix << log;

    // The Advanced names (their Streets and Trips forms: window_logic_test.cpp) with a map
    // format's extension in place of theirs, a dot in the name kept.
    EXPECT_EQ(apNameFileName("HOME.NET", Kml), "AP-HOME.NET.kml");
    EXPECT_EQ(macExportFileName("00:0A:95:9D:68:16 - HOME", Csv), "MAC_000A959D6816.csv");
    EXPECT_EQ(criteriaFileName({"HOME.NET", "00:0A:95:9D:68:16", ConnectionType::Both,
                                WepStatus::Both, CriteriaExportMode::MacAddress},
                               GeoJson),
              "Custom_MAC_000A959D6816.geojson");
}

// The items of a record that tell the sighting (below) and the access point.
const std::vector<std::size_t> kIdAndBssid = {WorkingRecord::Name, WorkingRecord::BSSID};

// One record the per-access-point sink is handed; `id` goes in the Name item so a pin tells
// which sighting it is.
struct Sighting {
    const char* bssid;
    std::optional<int> signal;
    const char* id;
    const char* time = "12:00:00GMT";
    const char* date = "";
};

// Hands sighting(0) to sighting(count - 1) to `sink` as a walk would, the views valid during
// each write() only, and returns the bytes it wrote.
std::string feed(ExportSink& sink, std::size_t count,
                 const std::function<Sighting(std::size_t)>& sighting) {
    test::TempDir dir;
    std::string written;
    {
        TextFileWriter file(dir / "out");
        BlockWriter block({&file});
        ExportOutput out(block);
        sink.begin(out);
        for (std::size_t i = 0; i < count; ++i) {
            const Sighting s = sighting(i);
            std::string line = std::string("N1,E2,net,BSS,") + s.bssid + "," + s.time +
                               ",[ 1 2 3 ]," + s.id + ",0011,40,100";
            const std::string date = s.date;
            ExportRecord record;
            std::size_t at = 0;
            for (std::size_t k = 0; k < record.fields.size(); ++k) {
                const std::size_t comma = std::min(line.find(',', at), line.size());
                record.fields[k] = std::string_view(line).substr(at, comma - at);
                at = comma + 1;
            }
            record.extras.signal = s.signal;
            record.extras.date = date;
            sink.write(out, record);
            line.assign(line.size(), '?');  // what the sink kept must be its own copy
        }
        sink.end(out);
        block.finish();
        file.close();
    }
    return test::readFile(dir / "out");
}

std::string feed(ExportSink& sink, const std::vector<Sighting>& sightings) {
    return feed(sink, sightings.size(), [&](std::size_t i) { return sightings[i]; });
}

TEST(PerAccessPoint, OnePinPerBssidInOrderOfFirstSightingAtItsStrongest) {
    const auto first = mapTime("12:00:01GMT", "2004-06-05");
    const auto t = [](const char* time, const char* date) { return mapTime(time, date); };
    // clang-format off
    const std::vector<Sighting> sightings = {
        {"00:0a:95:00:00:01", 40, "a1", "12:00:01GMT", "2004-06-05"},
        {"00:0A:95:00:00:02", std::nullopt, "b1"},            // unreadable ranks lowest
        {"00:0A:95:00:00:01", 55, "a2"},                      // another spelling, stronger
        {"00:0a:95:00:00:02", -90, "b2"},                     // any reading beats none
        {"00:0A:95:00:00:03", 30, "c1"},
        {"00:0A:95:00:00:01", 55, "a3"},                      // equal: the first stays
        {"00:0a:95:00:00:02", std::nullopt, "b3"},
        {"00:0A:95:00:00:03", 29, "c2", "13:00:00GMT", "2004-06-06"},
        {"00:0A:95:00:00:04", std::nullopt, "d1", "14:00:00GMT"}, // never readable: the first
        {"00:0A:95:00:00:04", std::nullopt, "d2", "14:00:05GMT"},
        {"00:0A:95:00:00:01", 54, "a4", "15:00:00GMT", "2004-06-07"}};
    // clang-format on
    auto recording = std::make_unique<test::RecordingSink>(kIdAndBssid);
    test::RecordingSink& inner = *recording;
    const auto sink = makePerAccessPointSink(std::move(recording));
    EXPECT_TRUE(sink->wantsExtras());
    feed(*sink, sightings);
    const std::string noon = t("12:00:00GMT", "");
    EXPECT_EQ(
        inner.calls,
        (std::vector<std::string>{
            "begin",
            "a2 00:0A:95:00:00:01 - 55 -  x4 " + first + " " + t("15:00:00GMT", "2004-06-07"),
            "b2 00:0a:95:00:00:02 - -90 -  x3 " + noon + " " + noon,
            "c1 00:0A:95:00:00:03 - 30 -  x2 " + noon + " " + t("13:00:00GMT", "2004-06-06"),
            "d1 00:0A:95:00:00:04 - - -  x2 " + t("14:00:00GMT", "") + " " + t("14:00:05GMT", ""),
            "end"}));
    EXPECT_EQ(sink->pointsWritten(), 4u);
}

TEST(PerAccessPoint, MemoryGrowsWithAccessPointsNotSightings) {
    const auto keepsSmall = [] {
        auto recording = std::make_unique<test::RecordingSink>(kIdAndBssid);
        test::RecordingSink& inner = *recording;
        const auto sink = makePerAccessPointSink(std::move(recording));
        const char* bssids[] = {"00:0a:95:00:00:01", "00:0a:95:00:00:02", "00:0a:95:00:00:03"};
        feed(*sink, 1000000, [&](std::size_t i) {
            return Sighting{bssids[i % 3], static_cast<int>(i % 1000), "n"};
        });
        return inner.calls.size() == 5;
    };
    // A million sightings held would take some 100 MiB.
    EXPECT_EXIT(test::exitWith(keepsSmall, 0, 8), ::testing::ExitedWithCode(0), "");
}

TEST(PerAccessPoint, HoldsEachStrongestRecordWholeHoweverItsItemsAndSizesChange) {
    // Sighting `round` of access point `n`: signals rise, so each sighting replaces the one
    // held, by a longer record, then a shorter, then a much longer one; some items hold commas
    // (items viewed apart, not as a line); BSSIDs that are no MAC address in either case.
    const auto item = [](int n, int round, int k) {
        std::string text = "i" + std::to_string(k);
        if (k == WorkingRecord::BSSID)
            return n % 3 == 0 ? (round % 2 ? "ap-" : "AP-") + std::to_string(n)
                              : macAddressText(0x000A95000000ULL + static_cast<unsigned>(n));
        if (k == WorkingRecord::Time) return std::string(round == 0 ? "01:02:03GMT" : "23:59:59");
        if (n % 4 == 1 && k == WorkingRecord::SSID) text += ",with, commas";
        const std::size_t lengths[] = {3, 9, 1, 300};
        return text + std::string(lengths[round] * (k == WorkingRecord::Name), 'x');
    };
    const int kAccessPoints = 3000;  // several times the first hash table's size
    std::vector<std::string> expected;
    std::vector<std::size_t> all(WorkingRecord::kFieldCount);
    std::iota(all.begin(), all.end(), 0);
    auto recording = std::make_unique<test::RecordingSink>(all);
    test::RecordingSink& inner = *recording;
    const auto sink = makePerAccessPointSink(std::move(recording));
    test::TempDir dir;
    TextFileWriter file(dir / "out");
    BlockWriter block({&file});
    ExportOutput out(block);
    for (int round = 0; round < 4; ++round) {
        for (int n = 0; n < kAccessPoints; ++n) {
            std::array<std::string, WorkingRecord::kFieldCount> items;
            ExportRecord record;
            for (std::size_t k = 0; k < items.size(); ++k) {
                items[k] = item(n, round, static_cast<int>(k));
                record.fields[k] = items[k];
            }
            const std::string date = round == 3 ? "2004-06-07" : "";
            record.extras = {n % 5 ? std::optional(-n) : std::nullopt, 10 * round,
                             n % 7 ? std::optional(n * 1000) : std::nullopt, date};
            sink->write(out, record);
            if (round < 3) continue;
            std::string pin;
            for (const std::string& text : items) pin += text + " ";
            pin += (n % 5 ? std::to_string(-n) : "-") + " 30 " +
                   (n % 7 ? std::to_string(n * 1000) : "-") + " " + date + " x4 " +
                   mapTime("01:02:03GMT", "") + " " + mapTime("23:59:59", date);
            expected.push_back(pin);
        }
    }
    sink->end(out);
    block.finish();
    expected.push_back("end");
    EXPECT_EQ(inner.calls, expected);
}

TEST(StyledExports, StreetsAndTripsStyleWritesTodaysFilesAndPerAccessPointCountsPins) {
    test::TempDir dir;
    std::string log = test::textLog({});
    for (const char* bssid : {"00:0a:95:00:00:01", "00:0A:95:00:00:01", "00:0a:95:00:00:02"})
        log += test::dataLine("N 1.5", "E 2.5", "home", bssid, "0011") + "\r\n";
    test::writeFile(dir / "drive.txt", log);
    const WorkingFiles files{dir.path()};
    ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    fs::create_directory(dir / "today");
    fs::create_directory(dir / "styled");
    const auto today =
        runMainExport(MainExport::ConvertAll, files.output1(), dir / "today", "drive.txt");
    const auto styled = runMainExport(MainExport::ConvertAll, files.output1(), dir / "styled",
                                      "drive.txt", ExportStyle{});
    EXPECT_EQ(styled.filename(), "FullConvert_drive.txt");
    EXPECT_EQ(test::readFile(styled), test::readFile(today));
    ExportStyle pins;
    pins.perAccessPoint = true;
    EXPECT_EQ(exportApNameGroup(files.output1(), dir / "pins", "HOME", pins), 2u);
    EXPECT_EQ(exportApNameGroup(files.output1(), dir / "all", "HOME", {}), 3u);
}

TEST(StyledExports, AMissingVendorListGivesNoVendorsAndStreetsAndTripsReadsNone) {
    test::TempDir dir;
    test::writeFile(dir / "vlident.txt", "00:0A:95 Example Corp\r\n");
    EXPECT_EQ(vendorsForExport(Kml, dir / "vlident.txt")->size(), 1u);
    EXPECT_FALSE(vendorsForExport(StreetsAndTrips, dir / "vlident.txt"));
    EXPECT_FALSE(vendorsForExport(Csv, dir / "missing.txt"));
    EXPECT_FALSE(vendorsForExport(Csv, dir.path()));
}

}  // namespace
}  // namespace velmora
