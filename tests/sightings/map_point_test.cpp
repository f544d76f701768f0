// SPDX-License-Identifier: GPL-3.0-or-later
#include "sightings/map_point.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "export/export_walk.h"
#include "export/recording_sink.h"
#include "loader/source_loader.h"
#include "records/vendor_list.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A record as the walk hands it over, from its items in file order.
ExportRecord recordOf(std::array<std::string_view, 11> items, RecordExtras extras = {}) {
    ExportRecord record;
    record.fields = items;
    record.extras = extras;
    return record;
}

TEST(DescribeRecord, GivesEachRowsValuesAsTheMapFormatsWriteThem) {
    const VendorList vendors({"00:09:5BNetgear", "00:30:BD\x80uro \xe9lectronique"});
    struct Row {
        std::array<std::string_view, 11> items;
        RecordExtras extras;
        std::string latitude, longitude;
        std::optional<bool> wep;
        std::vector<int> channels;
        std::string time;
        std::optional<std::string> vendor;
    };
    const auto row = [](std::string_view lat, std::string_view lon, std::string_view bssid,
                        std::string_view time, std::string_view flags, std::string_view bits) {
        return std::array<std::string_view, 11>{lat,        lon, "net", "BSS", bssid, time,
                                                "[257449]", "#", flags, bits,  "100"};
    };
    const RecordExtras dated{23, 72, 49, "2004-06-05"};
    const RecordExtras undated{-9, std::nullopt, 49, ""};
    // clang-format off
    const Row rows[] = {
        {row("N41.5", "W081.7500000", "00:09:5b:e7:50:07", "00:00:01GMT", "0011", "00000040"), dated,
         "41.5", "-81.7500000", true, {6}, "2004-06-05T00:00:01Z", "Netgear"},
        // The equator, longitude zero, and leading zeros.
        {row("S0.0451234", "E0.0000000", "00:30:BD:96:FF:02", "23:59:59GMT", "0001", "00008002"), undated,
         "-0.0451234", "0.0000000", false, {1, 36}, "23:59:59", "\xe2\x82\xacuro \xc3\xa9lectronique"},
        {row("s0001", "w0", "00:0C:41:0F:ED:A7", "12:01:00", "0061", "80000000"), {},
         "-1", "0", std::nullopt, {34}, "12:01:00", std::nullopt},
        {row("S000000041.5000", "W0.000000000", "00:0C:41:0F:ED:A7", "12:01:00", "0061", "2"), {},
         "-41.5000", "0.000000000", std::nullopt, {1}, "12:01:00", std::nullopt},
        {row("n00.5", "e180", "00:09", "24:00:00GMT", "", "00000001"), dated,
         "0.5", "180", std::nullopt, {}, "", std::nullopt},
        {row("N90", "W0.0", "", "1:02:03GMT", "5", "zz"), dated,
         "90", "0.0", true, {}, "", std::nullopt},
        {row("N1", "E2", "00:09:5B:00:00:01", "12:01:00UTC", "0002", "100000002"), dated,
         "1", "2", false, {1}, "", "Netgear"},
        {row("N1", "E2", "x", "01:02:03GMT", "0011", "fffFFFFF"), dated,
         "1", "2", true,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 34, 36, 38, 40, 44, 46, 48, 52, 54, 56,
          60, 62, 64, 149, 153, 157, 161},
         "2004-06-05T01:02:03Z", std::nullopt}};
    // clang-format on
    for (const Row& r : rows) {
        const MapPoint point = describeRecord(recordOf(r.items, r.extras), &vendors);
        const std::string at = std::string(r.items[0]) + " " + std::string(r.items[4]);
        EXPECT_EQ(std::tie(point.latitude, point.longitude, point.wep, point.channels, point.time),
                  std::tie(r.latitude, r.longitude, r.wep, r.channels, r.time))
            << at;
        EXPECT_EQ(std::tie(point.vendor, point.snr, point.signal, point.noise),
                  std::tie(r.vendor, r.extras.snr, r.extras.signal, r.extras.noise))
            << at;
        EXPECT_EQ(point.flags, r.items[8]) << at;
        EXPECT_EQ(describeRecord(recordOf(r.items, r.extras), nullptr).vendor, std::nullopt)
            << "no vendor list";
    }
}

TEST(MapTime, JoinsAWellFormedDateAndTimeOfDay) {
    const struct {
        const char* time;
        const char* date;
        const char* expected;
    } rows[] = {
        {"12:01:00GMT", "2004-12-31", "2004-12-31T12:01:00Z"},
        {"12:01:00GMT", "2004-12-32", "12:01:00"},
        {"23:59:59", "2004-01-31", "2004-01-31T23:59:59Z"},
        {"23:59:59", "2004-01-30", "2004-01-30T23:59:59Z"},
        {"12:01:00GMT", "2004-13-01", "12:01:00"},
        {"12:01:00GMT", "2004-00-10", "12:01:00"},
        {"12:01:00GMT", "2004-12-00", "12:01:00"},
        {"12:01:00GMT", "", "12:01:00"},
        {"24:00:00GMT", "2004-12-31", ""},
        {"12:60:00", "2004-12-31", ""},
        {"12:01:00UTC", "2004-12-31", ""},
    };
    // The same, one record after another into one store, as an export describes them.
    MapPointView point;
    MapPointStore store;
    for (const auto& row : rows) {
        EXPECT_EQ(mapTime(row.time, row.date), row.expected) << row.time << " " << row.date;
        RecordExtras extras;
        extras.date = row.date;
        describeRecordInto(point, store, recordOf({"N1", "E2", "", "", "", row.time}, extras),
                           nullptr);
        EXPECT_EQ(point.time, row.expected) << row.time << " " << row.date << " in turn";
    }
}

// The text items as UTF-8, the access point through; the exact name where the extras give it
// (a WiGLE or .ns1 log's, a wi-scan log's, empty too), else the SSID item.
TEST(DescribeRecord, CarriesTheTextItemsAsUtf8AndTakesTheExactNameWhereTheExtrasGiveIt) {
    const AccessPointSummary summary{3, "00:00:01", "00:00:09", std::nullopt};
    ExportRecord record = recordOf({"N1", "E2", "a\x80\x81\xe9\xff", "ad\xe9", "00:0A", "t", "s",
                                    "#", "0\x9f", "00000040", "100"});
    record.accessPoint = &summary;
    const MapPoint point = describeRecord(record, nullptr);
    EXPECT_EQ(point.name, "a\xe2\x82\xac\xc2\x81\xc3\xa9\xc3\xbf");
    EXPECT_EQ(point.type, "ad\xc3\xa9");
    EXPECT_EQ(point.bssid, "00:0A");
    EXPECT_EQ(point.flags, "0\xc5\xb8");
    EXPECT_EQ(point.accessPoint, &summary);

    RecordExtras wigle, wigleEmpty, wiScan, wiScanEmpty;
    wigle.name = "caf\xc3\xa9 (net)";
    wigle.ssid = wigleEmpty.ssid = wiScanEmpty.ssid = "";
    wiScan.ssid = "spaced  out";
    const std::pair<RecordExtras, std::string_view> rows[] = {{wigle, "caf\xc3\xa9 (net)"},
                                                              {wigleEmpty, ""},
                                                              {wiScan, "spaced  out"},
                                                              {wiScanEmpty, ""},
                                                              {RecordExtras{}, "#Blank#"}};
    record.fields[WorkingRecord::SSID] = "#Blank#";
    for (const auto& [extras, name] : rows) {
        record.extras = extras;
        EXPECT_EQ(describeRecord(record, nullptr).name, name);
    }
}

// The nearest double to the item's decimal, as strtod reads it; nothing ("") for another shape.
TEST(CoordinateDegrees, ReadsTheNearestDoubleOfEveryShapeOfItem) {
    // clang-format off
    std::vector<std::pair<std::string, std::string>> cases = {
        {"N41.1234567", "41.1234567"}, {"s0.0451234", "-0.0451234"}, {"S0.000", "0"}, {"N007", "7"},
        {"S123456789012345", "-123456789012345"}, {"N1234567890123456", "1234567890123456"},
        {"N0.1234567890123456", "0.1234567890123456"}, {"N.5", ""}, {"N1.", ""}, {"N1.2.3", ""}, {"E1", ""},
        {"N41.12345.7", ""}, {"N4112345x7", ""}, {"N.41123456", ""}, {"N41123456.", ""},
        {"N41.1234\xb5" "67", ""}, {"S41.1234567 ", ""}};
    // clang-format on
    std::mt19937 random(7);
    for (int k = 0; k < 20000; ++k) {
        const std::string text = std::to_string(random() % 181) + "." +
                                 std::to_string(10000000 + random() % 10000000).substr(1);
        cases.emplace_back((k % 2 ? "N" : "S") + text, (k % 2 ? "" : "-") + text);
    }
    for (const auto& [item, number] : cases) {
        const auto expected =
            number.empty() ? std::nullopt : std::optional(std::strtod(number.c_str(), nullptr));
        EXPECT_EQ(coordinateDegrees(item, 'N', 'S'), expected) << item;
    }
}

TEST(Windows1252ToUtf8, GivesEveryByteItsCharacter) {
    // The byte, and its character in UTF-8.
    // clang-format off
    const std::pair<char, std::string_view> marks[] = {
        {'\x01', "\x01"}, {'\x1f', "\x1f"}, {'<', "<"}, {'\x7f', "\x7f"}, {'\x80', "\u20ac"},
        {'\x81', "\xc2\x81"}, {'\x8a', "\u0160"}, {'\x8d', "\xc2\x8d"}, {'\x8f', "\xc2\x8f"},
        {'\x90', "\xc2\x90"}, {'\x91', "\u2018"}, {'\x96', "\u2013"}, {'\x97', "\u2014"},
        {'\x99', "\u2122"}, {'\x9d', "\xc2\x9d"}, {'\x9f', "\u0178"}, {'\xa0', "\u00a0"},
        {'\xe9', "\u00e9"}, {'\xff', "\u00ff"}};
    // clang-format on
    for (const auto& [byte, utf8] : marks)
        EXPECT_EQ(windows1252ToUtf8(std::string(1, byte)), utf8) << int{byte};
    EXPECT_EQ(windows1252ToUtf8(""), "");
}

TEST(WriteExport, HandsASinkThatWantsThemEachRecordsOwnExtras) {
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    const auto line = [](std::string_view ssid, std::string_view signal) {
        return "N 1.5\tE 2.5\t( " + std::string(ssid) + " )\tBSS\t( 00:0a )\t01:02:03 (GMT)\t" +
               std::string(signal) + "\t# (  )\t0011\t00000040\t100";
    };
    test::writeFile(dir / "log.txt",
                    "x\r\n# $Format: wi-scan with extensions\r\n" + line("a", "[ 1 2 3 ]") +
                        "\r\n# $DateGMT: 2004-06-05\r\n" + line("b", "[ 4 5 6 ]") + "\r\n" +
                        line("Cafe, Bar", "[ 7 x 9 ]") + "\r\n" + line("b", "[ -1 0 1 ]") + "\r\n" +
                        line("c", "[ 10 11 12 ]") + "\r\n");
    ASSERT_EQ(loadSourceLog(dir / "log.txt", files).status, LoadStatus::Loaded);
    // Every name but "b", and "b" alone: a selection that skips records keeps the pairing.
    const RecordSelection notB{[](const RecordFields& f) { return f[WorkingRecord::SSID] != "b"; }};
    const RecordSelection onlyB{
        [](const RecordFields& f) { return f[WorkingRecord::SSID] == "b"; }};
    const auto seen = [&](const RecordSelection& selection, bool wants) {
        test::RecordingSink sink({WorkingRecord::SSID}, wants);
        writeExport(files.output1(), dir / "out", selection, sink);
        return std::vector(sink.calls.begin() + 1, sink.calls.end() - 1);  // the records
    };
    using Seen = std::vector<std::string>;
    EXPECT_EQ(seen(notB, true),
              (Seen{"a 1 2 3 ", "Cafe,Bar 7 - 9 2004-06-05", "c 10 11 12 2004-06-05"}));
    EXPECT_EQ(seen(onlyB, true), (Seen{"b 4 5 6 2004-06-05", "b -1 0 1 2004-06-05"}));
    EXPECT_EQ(seen(onlyB, false), (Seen{"b - - - ", "b - - - "})) << "not asked for";

    // A missing extras file costs every record its extras, never the export (damaged lines:
    // the extras reader's own tests).
    fs::remove(files.extras());
    EXPECT_EQ(seen(onlyB, true), (Seen{"b - - - ", "b - - - "}));
}

}  // namespace
}  // namespace velmora
