// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_sinks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "export/export_format.h"
#include "export/export_walk.h"
#include "export/main_exports.h"
#include "export/map_text.h"
#include "export/map_writers.h"
#include "loader/source_loader.h"
#include "records/working_files.h"
#include "sightings/map_point.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// `point` as `writer` writes it, appended to `out`; room is left past the bound the sinks
// reserve, so that a point that outgrows it is seen rather than written past the end.
void appendPoint(MapPointWriter& writer, std::string& out, const MapPoint& point) {
    const MapPointView view = convertMapPoint<std::string_view>(point);
    const std::size_t at = out.size();
    out.resize(at + 2 * map_text::pointSizeBound(view) + 64);
    out.resize(static_cast<std::size_t>(writer.put(out.data() + at, view) - out.data()));
}

// A map file of `points` as `writer` writes it.
std::string mapFile(MapPointWriter& writer, const std::vector<MapPoint>& points) {
    std::string out;
    writer.begin(out);
    for (const MapPoint& point : points) appendPoint(writer, out, point);
    writer.end(out);
    return out;
}

struct Format {
    const char* extension;
    std::function<std::unique_ptr<MapPointWriter>()> make;
};
const Format kFormats[] = {
    {"kml", [] { return makeKmlWriter("drive3.txt"); }},
    {"gpx", [] { return makeGpxWriter(); }},
    {"geojson", [] { return makeGeoJsonWriter(); }},
    {"csv", [] { return makeCsvWriter(); }},
};

std::string writeFormat(const Format& format, const std::vector<MapPoint>& points) {
    return mapFile(*format.make(), points);
}

const AccessPointSummary kThreeSightings{3, "2004-06-05T23:50:00Z", "2004-06-06T00:10:00Z"};

// A point of each kind: WEP on, WEP off, ad hoc with WEP status neither, one pin per access
// point, and one without any optional value; names with every character the formats escape.
std::vector<MapPoint> referencePoints() {
    std::vector<MapPoint> points(5);
    points[0] = {
        "41.5", "2.5", "HOMENET", "00:0C:41:AA:BB:01",    "BSS",          "0011", true, {6},
        23,     72,    49,        "2004-06-05T12:01:00Z", "Cisco-Linksys"};
    points[1] = {"-33.25",
                 "-81.75",
                 "Caf\u00e9, \"Bar\"; <Tom> & Jerry ]]>",
                 "00:0a:0b:0c:0d:0e",
                 "BSS",
                 "0001",
                 false,
                 {1, 6, 11},
                 std::nullopt,
                 std::nullopt,
                 std::nullopt,
                 "12:01:05",
                 std::nullopt};
    points[2] = {"-0.0451234",
                 "151.2",
                 "\x01tab\there\x1f"
                 "end\x7f line\r\nbreak \u20ac\u0160\u00ff",
                 "00:0C:41:AA:BB:03",
                 "ad-hoc",
                 "0072",
                 std::nullopt,
                 {36, 149},
                 5,
                 60,
                 55,
                 "2004-06-05T23:59:59Z",
                 "Acme \"Wireless\", Inc. & Co. <EU>"};
    points[3] = {"0.5",
                 "-0.25",
                 "",
                 "00:0C:41:AA:BB:02",
                 "BSS",
                 "0031",
                 true,
                 {},
                 10,
                 80,
                 70,
                 "2004-06-06T00:00:10Z",
                 "\u00c4pfel GmbH"};
    points[3].accessPoint = &kThreeSightings;
    points[4] = {"10",
                 "20",
                 "\xff\xc0\x80"
                 "\xed\xa0\x80"
                 "ok",
                 "",
                 "",
                 "",
                 std::nullopt,
                 {},
                 std::nullopt,
                 std::nullopt,
                 std::nullopt,
                 "",
                 std::nullopt};
    return points;
}

std::size_t occurrences(const std::string& text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(MapWriters, EachFormatMatchesItsReferenceFile) {
    const std::vector<MapPoint> points = referencePoints();
    for (const Format& format : kFormats) {
        const std::string name = std::string("points.") + format.extension;
        const std::string written = writeFormat(format, points);
        const std::string golden =
            test::readFile(test::repoFile("tests/export/golden/map/" + name));
        EXPECT_TRUE(written == golden) << name << " differs; written to " << fs::absolute(name);
        if (written != golden) test::writeFile(name, written);
    }
}

TEST(MapSinks, WriteHeaderOnePointPerExportedLineAndFooter) {
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    ASSERT_EQ(loadSourceLog(test::repoFile("tests/export/golden/flags-log.txt"), files).status,
              LoadStatus::Loaded);
    const RecordSelection all = mainExportSelection(MainExport::ConvertAll);
    const std::string st =
        test::readFile(test::repoFile("tests/export/golden/FullConvert_flags-log.txt"));
    const std::size_t lines = occurrences(st, "\r\n") - 1;  // the header row
    // Each sink, its writer, and what starts each of its points.
    const std::tuple<std::unique_ptr<ExportSink>, std::unique_ptr<MapPointWriter>, std::string>
        cases[] = {
            {makeKmlSink(nullptr, "flags-log.txt"), makeKmlWriter("flags-log.txt"), "<Placemark>"},
            {makeGpxSink(nullptr), makeGpxWriter(), "<wpt "},
            {makeGeoJsonSink(nullptr), makeGeoJsonWriter(), "{\"type\":\"Feature\""},
            {makeCsvSink(nullptr), makeCsvWriter(), "\r\n"}};
    for (const auto& [sink, writer, point] : cases) {
        EXPECT_TRUE(sink->wantsExtras());
        EXPECT_EQ(writeExport(files.output1(), dir / "map", all, *sink), lines);
        const std::string file = test::readFile(dir / "map");
        std::string header;
        std::string footer;
        writer->begin(header);
        writer->end(footer);
        EXPECT_TRUE(file.starts_with(header) && file.ends_with(footer)) << file;
        EXPECT_EQ(occurrences(file, point), lines + (point == "\r\n" ? 1 : 0)) << file;
    }
}

TEST(MapText, EscapesWhatEachFormatCannotHoldAsItIs) {
    // Input, then as XML text, JSON string and CSV field.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"plain", "plain", "\"plain\"", "plain"},
        {"", "", "\"\"", ""},
        {"a&b<c>d]]>", "a&amp;b&lt;c&gt;d]]&gt;", "\"a&b<c>d]]>\"", "a&b<c>d]]>"},
        {"say \"hi\"", "say \"hi\"", "\"say \\\"hi\\\"\"", "\"say \"\"hi\"\"\""},
        {"a,b", "a,b", "\"a,b\"", "\"a,b\""},
        {"a;b", "a;b", "\"a;b\"", "\"a;b\""},
        {"back\\slash/", "back\\slash/", "\"back\\\\slash/\"", "back\\slash/"},
        {"t\tl\nc\r", "t\tl\nc&#13;", "\"t\\tl\\nc\\r\"", "\"t\tl\nc\r\""},
        {"\x01\x08\x0c\x1f\x7f", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\x7f",
         "\"\\u0001\\b\\f\\u001f\x7f\"", "\"\x01\x08\x0c\x1f\x7f\""},
        // Valid UTF-8 of each length stays; U+FFFE and U+FFFF are no XML characters.
        {"\u00e9\u20ac\U0001F600", "\u00e9\u20ac\U0001F600", "\"\u00e9\u20ac\U0001F600\"",
         "\u00e9\u20ac\U0001F600"},
        {"\xef\xbf\xbe\xef\xbf\xbf", "\xef\xbf\xbd\xef\xbf\xbd", "\"\xef\xbf\xbe\xef\xbf\xbf\"",
         "\xef\xbf\xbe\xef\xbf\xbf"},
        // Each byte of no valid sequence is one U+FFFD: a stray byte, overlong forms, a
        // surrogate, a sequence cut short (at the end, and before a quote), above U+10FFFF.
        {"\xff\x80", "\xef\xbf\xbd\xef\xbf\xbd", "\"\xef\xbf\xbd\xef\xbf\xbd\"",
         "\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xc0\xaf\xe0\x80\xaf", std::string(5, 'R'), "", ""},
        {"\xed\xa0\x80", std::string(3, 'R'), "", ""},
        {"\xe2\x82", std::string(2, 'R'), "", ""},
        {"\xe2\x82\"", "RR\"", "\"RR\\\"\"", "\"RR\"\"\""},
        {"\xf4\x90\x80\x80", std::string(4, 'R'), "", ""},
    };
    // clang-format on
    // "R" stands for U+FFFD; an empty JSON or CSV expectation is the XML one, quoted for JSON.
    const auto expand = [](const std::string& text) {
        std::string out;
        for (const char c : text) out += c == 'R' ? std::string("\xef\xbf\xbd") : std::string(1, c);
        return out;
    };
    for (const auto& [in, xml, json, csv] : cases) {
        const std::string wantXml = expand(xml);
        std::string out;
        map_text::appendXml(out, in);
        EXPECT_EQ(out, wantXml) << in;
        out.clear();
        map_text::appendJsonString(out, in);
        EXPECT_EQ(out, json.empty() ? "\"" + wantXml + "\"" : expand(json)) << in;
        out.clear();
        map_text::appendCsvField(out, in);
        EXPECT_EQ(out, csv.empty() ? wantXml : expand(csv)) << in;
    }
}

TEST(MapText, EachByteEscapesAtEveryPlaceOfALongerText) {
    // Plain texts are copied whole, looked at eight bytes at a time. A text that ends in a
    // stray byte (U+FFFD) is escaped byte by byte, so the same text without that byte must
    // come out the same, whatever byte stands anywhere in it.
    using Append = void (*)(std::string&, std::string_view);
    const Append appends[] = {map_text::appendXml, map_text::appendJsonString,
                              map_text::appendCsvField};
    const std::string replacement = "\xef\xbf\xbd";
    for (const Append append : appends) {
        for (int byte = 1; byte < 256; ++byte) {
            for (std::size_t size = 1; size <= 20; ++size) {
                for (std::size_t at = 0; at < size; ++at) {
                    std::string text(size, 'a');
                    text[at] = static_cast<char>(byte);
                    std::string out;
                    append(out, text);
                    std::string byteByByte;
                    append(byteByByte, text + "\xff");
                    // Where the text is quoted, the stray byte stands before the closing quote.
                    const std::size_t closing = byteByByte.back() == '"' ? 1 : 0;
                    ASSERT_EQ(out.substr(0, out.size() - closing) + replacement +
                                  out.substr(out.size() - closing),
                              byteByByte)
                        << "byte " << byte << " at " << at << " of " << size;
                }
            }
        }
    }
}

TEST(MapWriters, NoPointIsLongerThanItsBound) {
    // Every text at its most escaped (a control character: six bytes in JSON, U+FFFD in XML),
    // every channel, the longest numbers.
    const std::string worst(40, '\x01');
    const AccessPointSummary ap{~std::uint64_t{0}, worst, worst};
    MapPoint point{worst,
                   worst,
                   worst,
                   worst,
                   worst,
                   worst,
                   true,
                   channelsFromBits("FFFFFFFF"),
                   -2147483647 - 1,
                   -2147483647 - 1,
                   -2147483647 - 1,
                   worst,
                   worst};
    point.accessPoint = &ap;
    for (const Format& format : kFormats) {
        std::string out;
        appendPoint(*format.make(), out, point);
        EXPECT_LE(out.size(), map_text::pointSizeBound(convertMapPoint<std::string_view>(point)))
            << format.extension;
    }
}

TEST(MapText, TimeElementsTakeOnlyAFullTime) {
    const std::pair<const char*, bool> cases[] = {
        {"2004-06-05T12:01:00Z", true},  {"12:01:00", false},
        {"2004-06-05T12:01:00", false},  {"2004-06-05 12:01:00Z", false},
        {"2004-06-0xT12:01:00Z", false}, {"", false},
    };
    for (const auto& [time, full] : cases) EXPECT_EQ(map_text::isFullTime(time), full) << time;
}

// Whether `program` can be run; a test that needs a missing one skips with a message.
bool have(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` through the shell; its standard output, and whether it exited 0.
std::pair<std::string, bool> run(const std::string& command, const fs::path& output) {
    const int status = std::system((command + " >'" + output.string() + "' 2>&1").c_str());
    return {test::readFile(output), status == 0};
}

std::string everyByteValue() {
    std::string bytes;
    for (int c = 1; c <= 255; ++c) bytes += static_cast<char>(c);
    return bytes;
}

// Every character from U+0001 to U+00FF, UTF-8: what a name of every byte value becomes, give
// or take the code page's letters in 0x80-0x9F.
std::string everyLatin1Character() {
    std::string text;
    for (int c = 1; c <= 255; ++c) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | c >> 6);
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

TEST(MapWriters, NameOfEveryByteValueGivesWellFormedFiles) {
    // Names and vendors of every character up to U+00FF, and of every byte value as it is (not
    // UTF-8).
    std::vector<MapPoint> points(2);
    points[0] = {
        "1", "2",        everyLatin1Character(), everyByteValue(), "BSS", "0011", true, {1}, 1, 2,
        3,   "12:00:00", everyLatin1Character()};
    points[1] = points[0];
    points[1].name = everyByteValue();
    points[1].vendor = everyByteValue();
    test::TempDir dir;
    for (const Format& format : kFormats) {
        const fs::path file = dir / (std::string("every-byte.") + format.extension);
        test::writeFile(file, writeFormat(format, points));
        const std::string ext = format.extension;
        std::string check;
        if (ext == "kml" || ext == "gpx") {
            if (!have("xmllint")) {
                std::cout << "xmllint is missing: " << ext << " not checked\n";
                continue;
            }
            check = "xmllint --noout '" + file.string() + "'";
        } else {
            if (!have("python3")) {
                std::cout << "python3 is missing: " << ext << " not checked\n";
                continue;
            }
            // Reads the file back (strictly UTF-8) and checks every point, with the converted
            // name whole.
            const std::string read =
                ext == "geojson"
                    ? "d = json.load(f); names = [p['properties']['name'] for p in d['features']]"
                    : "rows = list(csv.reader(f)); names = [r[2] for r in rows[1:]]; "
                      "assert all(len(r) == 16 for r in rows)";
            test::writeFile(dir / "expected", points[0].name);
            check = "python3 -c \"import csv, json; f = open('" + file.string() +
                    "', encoding='utf-8', newline='', errors='strict'); " + read +
                    "; assert len(names) == 2, names; "
                    "assert names[0] == open('" +
                    (dir / "expected").string() +
                    "', encoding='utf-8', newline='').read(), names[0]\"";
        }
        const auto [report, ok] = run(check, dir / "report");
        EXPECT_TRUE(ok) << ext << ": " << report;
    }
}

// A log of `count` sightings with awkward names (commas, quotes, ";", markup, bytes 0x80 to
// 0xFF, control characters), every hemisphere, both types and some lines without a fix.
std::string awkwardLog(std::size_t count) {
    const std::string names[] = {"home", "caf\xE9, \"bar\"", "semi;colon",       "<a&b>",
                                 "]]>",  "ctl\x01\x1F",      "\x80\x81\x9D\xFF", ""};
    std::string log = test::textLog({});
    for (std::size_t k = 0; k < count; ++k) {
        const std::string lat =
            std::string(k % 2 ? "S " : "N ") + std::to_string(k % 89 + 1) + ".25";
        const std::string lon = std::string(k % 3 ? "E " : "W ") + std::to_string(k % 179) + ".5";
        char bssid[18];
        std::snprintf(bssid, sizeof bssid, "00:0c:41:aa:%02zx:%02zx", k % 7, k % 5);
        log += test::dataLine(lat, lon, names[k % std::size(names)], bssid, k % 4 ? "0011" : "0002",
                              k % 4 ? "BSS" : "ad-hoc") +
               "\r\n";
        if (k % 10 == 0)
            log += test::dataLine("N 0.0000000", "E 0.0000000", "nofix", bssid, "0011") + "\r\n";
    }
    return log;
}

// The sum of the "Feature Count: N" lines of ogrinfo's summary.
long featureCount(const std::string& summary) {
    constexpr std::string_view kLabel = "Feature Count: ";
    long count = 0;
    for (std::size_t at = summary.find(kLabel); at != std::string::npos;
         at = summary.find(kLabel, at + 1))
        count += std::strtol(summary.c_str() + at + kLabel.size(), nullptr, 10);
    return count;
}

TEST(MapFilesReadByOtherPrograms, GpsBabelAndOgrinfoCountEveryLineOfTheStreetsAndTripsFile) {
    const bool gpsbabel = have("gpsbabel");
    const bool ogrinfo = have("ogrinfo");
    if (!gpsbabel && !ogrinfo) GTEST_SKIP() << "gpsbabel and ogrinfo are missing (tools/setup.sh)";
    if (!gpsbabel) std::cout << "gpsbabel is missing: only ogrinfo reads the files\n";
    if (!ogrinfo) std::cout << "ogrinfo is missing: only gpsbabel reads the files\n";
    test::TempDir dir;
    test::writeFile(dir / "drive.txt", awkwardLog(300));
    const WorkingFiles files{dir / "work"};
    fs::create_directory(files.folder);
    ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    // The same selection in every format, one pin per sighting and one per access point.
    for (const bool perAccessPoint : {false, true}) {
        ExportStyle style;
        style.perAccessPoint = perAccessPoint;
        const std::string st = test::readFile(
            runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), "drive.txt", style));
        const long lines = static_cast<long>(occurrences(st, "\r\n")) - 1;  // the header row
        ASSERT_GT(lines, perAccessPoint ? 30 : 250);
        for (const ExportFormat format :
             {ExportFormat::Kml, ExportFormat::Gpx, ExportFormat::GeoJson, ExportFormat::Csv}) {
            style.format = format;
            const fs::path file = runMainExport(MainExport::ConvertAll, files.output1(), dir.path(),
                                                "drive.txt", style);
            const std::string ext = exportFormatInfo(format).option;
            const std::string what = ext + (perAccessPoint ? " per access point" : "");
            // GPSBabel's CSV formats take a line for a point; a name holding a line break is
            // more than they read.
            if (gpsbabel && format != ExportFormat::Csv) {
                const auto [gpx, ok] =
                    run("gpsbabel -i " + ext + " -f '" + file.string() + "' -o gpx -F -",
                        dir / "gpsbabel");
                EXPECT_TRUE(ok) << what << ": " << gpx;
                EXPECT_EQ(static_cast<long>(occurrences(gpx, "<wpt ")), lines)
                    << what << " read by gpsbabel";
            }
            if (ogrinfo) {
                const std::string columns =
                    format == ExportFormat::Csv
                        ? "-oo X_POSSIBLE_NAMES=longitude -oo Y_POSSIBLE_NAMES=latitude "
                        : "";
                const auto [summary, ok] = run(
                    "ogrinfo -ro -al -so " + columns + "'" + file.string() + "'", dir / "ogrinfo");
                EXPECT_TRUE(ok) << what << ": " << summary;
                EXPECT_EQ(featureCount(summary), lines) << what << ": " << summary;
                if (format == ExportFormat::Csv) {
                    EXPECT_NE(summary.find("Geometry: Point"), std::string::npos) << summary;
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmora
