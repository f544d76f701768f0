// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_sinks.h"

#include <gtest/gtest.h>

#include <algorithm>
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
#include "io/block_writer.h"
#include "io/file_error.h"
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

const AccessPointSummary kThreeSightings{3, "2004-06-05T23:50:00Z", "2004-06-06T00:10:00Z", 12.5};

// A point of each kind: WEP on, WEP off, ad hoc with WEP status neither, one pin per access
// point, one without any optional value, one on E 180 named with NUL bytes whose vendor is a
// formula, and one whose name and BSSID hold every byte value as it is (no UTF-8) and whose
// vendor holds every character up to U+00FF: the reference files, read back once by XML, JSON
// and CSV readers, hold each escape of every byte.
std::vector<MapPoint> referencePoints() {
    std::string bytes, latin1;
    for (int c = 0; c <= 255; ++c) {
        bytes += static_cast<char>(c);
        latin1 += c < 0x80 ? std::string(1, static_cast<char>(c))
                           : std::string{static_cast<char>(0xC0 | c >> 6),
                                         static_cast<char>(0x80 | (c & 0x3F))};
    }
    constexpr std::nullopt_t none = std::nullopt;
    // clang-format off
    std::vector<MapPoint> points = {
        {"41.5", "2.5", "HOMENET", "00:0C:41:AA:BB:01", "BSS", "0011", true, {6}, 23, 72, 49,
         "2004-06-05T12:01:00Z", "Cisco-Linksys"},
        {"-33.25", "-81.75", "Caf\u00e9, \"Bar\"; <Tom> & Jerry ]]>", "00:0a:0b:0c:0d:0e", "BSS",
         "0001", false, {1, 6, 11}, none, none, none, "12:01:05", none},
        {"-0.0451234", "151.2", "\x01tab\there\x1f" "end\x7f line\r\nbreak \u20ac\u0160\u00ff",
         "00:0C:41:AA:BB:03", "ad-hoc", "0072", none, {36, 149}, 5, 60, 55,
         "2004-06-05T23:59:59Z", "Acme \"Wireless\", Inc. & Co. <EU>"},
        {"0.5", "-0.25", "", "00:0C:41:AA:BB:02", "BSS", "0031", true, {}, 10, 80, 70,
         "2004-06-06T00:00:10Z", "\u00c4pfel GmbH"},
        {"10", "20", "\xff\xc0\x80" "\xed\xa0\x80" "ok", "", "", "", none, {}, none, none, none, "",
         none},
        {"45.5", "180.0000000", std::string(3, '\0'), "00:0C:41:AA:BB:05", "BSS", "0011", true,
         {11}, none, none, none, "", "=1+1"},
        {"1", "2", bytes, bytes, "BSS", "0011", true, {1}, 1, 2, 3, "12:00:00", latin1}};
    // clang-format on
    points[3].accessPoint = &kThreeSightings;
    // The values only some logs give (a WiGLE CSV's), on the first point; text to escape.
    points[0].rssi = -51;
    points[0].auth = "[WPA2-PSK-CCMP][ESS] <&>";
    points[0].altitude = -5.5;
    points[0].accuracy = 19.7;
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
        const std::string written = mapFile(*format.make(), points);
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
    // Each sink and what starts each of its points (the writers' bytes: the reference files).
    const std::pair<std::unique_ptr<ExportSink>, std::string> cases[] = {
        {makeKmlSink(nullptr, "flags-log.txt"), "<Placemark>"},
        {makeGpxSink(nullptr), "<wpt "},
        {makeGeoJsonSink(nullptr), "{\"type\":\"Feature\""},
        {makeCsvSink(nullptr), "\r\n"}};
    for (const auto& [sink, point] : cases) {
        EXPECT_TRUE(sink->wantsExtras());
        EXPECT_EQ(writeExport(files.output1(), dir / "map", all, *sink), lines);
        const std::string file = test::readFile(dir / "map");
        EXPECT_EQ(occurrences(file, point), lines + (point == "\r\n" ? 1 : 0)) << file;
    }
    // The CSV's .csvt and .prj are written with it, as one: a sidecar that cannot be written
    // fails the export and leaves the earlier file.
    writeExport(files.output1(), dir / "points.csv", all, *makeCsvSink(nullptr));
    const std::string csv = test::readFile(dir / "points.csv");
    // What they say GDAL reads back (MapFilesReadByOtherPrograms).
    EXPECT_TRUE(fs::exists(dir / "points.csvt") && fs::exists(dir / "points.prj"));
    fs::remove(dir / "points.prj");
    fs::create_directory(dir / "points.prj");
    EXPECT_THROW(writeExport(files.output1(), dir / "points.csv",
                             mainExportSelection(MainExport::Locked), *makeCsvSink(nullptr)),
                 FileError);
    EXPECT_EQ(test::readFile(dir / "points.csv"), csv);
}

// KML folders after the first point's are held (through a temporary file) with every value.
TEST(MapSinks, KmlFolderPointsHeldUntilTheEndKeepEveryValue) {
    const auto writer = makeKmlWriter("drive.txt");
    const auto sink = makeKmlSink(nullptr, "drive.txt");
    const AccessPointSummary summary{4, "2004-06-05T00:00:01Z", "12:00:00", 7.25};
    const char* const flags[] = {"0002", "0011", "0001", "0012", "0052"};
    std::vector<std::string> folders(4);  // one per kind of pin
    std::vector<int> order;
    test::TempDir dir;
    TextFileWriter file(dir / "out");
    BlockWriter block({&file});
    ExportOutput out(block);
    sink->begin(out);
    for (int i = 0; i < 60000; ++i) {
        const std::string n = std::to_string(i);
        const std::string items[] = {
            "N1." + n,  "W" + n + ".5", "net" + n,  "BSS",        "00:0A:95:00:" + n,
            "12:00:00", "[ 1 2 3 ]",    "name" + n, flags[i % 5], i % 3 ? "842" : "7ffff",
            "100"};
        ExportRecord record;
        for (std::size_t k = 0; k < record.fields.size(); ++k) record.fields[k] = items[k];
        const std::string auth = i % 4 ? "[WPA2] <&>" + n : "", name = "caf\xc3\xa9 &" + n;
        // clang-format off
        record.extras = {i % 2 ? std::optional(-i) : std::nullopt, i, 49, "2004-06-05",
                         i % 3 ? std::optional(-i) : std::nullopt, auth,
                         i % 5 ? std::optional(i / 8.0) : std::nullopt, std::nullopt,
                         i % 7 ? std::nullopt : std::optional(149), name};
        // clang-format on
        record.accessPoint = i % 6 ? nullptr : &summary;
        sink->write(out, record);
        const MapPoint point = describeRecord(record, nullptr);
        const int folder = writer->groupOf(convertMapPoint<std::string_view>(point));
        if (std::find(order.begin(), order.end(), folder) == order.end()) order.push_back(folder);
        appendPoint(*writer, folders[static_cast<std::size_t>(folder)], point);
    }
    sink->end(out);
    block.finish();
    file.close();
    std::string expected;
    writer->begin(expected);
    std::sort(order.begin() + 1, order.end());
    for (const int folder : order) {
        writer->beginGroup(expected, folder);
        expected += folders[static_cast<std::size_t>(folder)];
        writer->endGroup(expected, folder);
    }
    writer->end(expected);
    EXPECT_TRUE(test::readFile(dir / "out") == expected);
}

// What `put` writes for `text`.
std::string written(char* (*put)(char*, std::string_view), std::string_view text) {
    std::string out(map_text::kEscapedGrowth * text.size() + map_text::kEscapedExtra, '\0');
    out.resize(static_cast<std::size_t>(put(out.data(), text) - out.data()));
    return out;
}

TEST(MapText, EscapesWhatEachFormatCannotHoldAsItIs) {
    // Input, then as XML text, JSON string and CSV field. Each byte value alone, the markup, the
    // quotes, a comma and a formula in each format: the reference files.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"a;b", "a;b", "\"a;b\"", "\"a;b\""},
        // A CSV text that starts as a formula does gets an apostrophe; only there.
        {"+1", "+1", "", "'+1"},
        {"-1", "-1", "", "'-1"},
        {"@SUM(A1)", "@SUM(A1)", "", "'@SUM(A1)"},
        {"\tx", "\tx", "\"\\tx\"", "\"'\tx\""},
        {"\rx", "Rx", "", "\"'Rx\""},
        {"=a,b", "=a,b", "", "\"'=a,b\""},
        {"a=b-1", "a=b-1", "", "a=b-1"},
        // Valid UTF-8 of each length stays; U+FFFE and U+FFFF are no XML characters.
        {"\u00e9\u20ac\U0001F600", "\u00e9\u20ac\U0001F600", "", ""},
        {"\xef\xbf\xbe\xef\xbf\xbf", "RR", "", ""},
        // Each byte of no valid sequence is one U+FFFD: overlong forms, a surrogate, a sequence
        // cut short (at the end, and before a quote), above U+10FFFF.
        {"\xc0\xaf\xe0\x80\xaf", "RRRRR", "", ""},
        {"\xe0\x9f\xbf", "RRR", "", ""},
        {"\xf0\x8f\xbf\xbf", "RRRR", "", ""},
        {"\xed\xa0\x80\xed\xbf\xbf", "RRRRRR", "", ""},
        {"\xe2\x82", "RR", "", ""},
        {"\xe2\x82\"", "RR\"", "\"RR\\\"\"", "\"RR\"\"\""},
        {"\xf4\x90\x80\x80", "RRRR", "", ""},
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
        EXPECT_EQ(written(map_text::putXml, in), wantXml) << in;
        EXPECT_EQ(written(map_text::putJsonString, in),
                  json.empty() ? "\"" + wantXml + "\"" : expand(json))
            << in;
        EXPECT_EQ(written(map_text::putCsvField, in), csv.empty() ? wantXml : expand(csv)) << in;
    }
}

TEST(MapText, EscapesAByteWhereverItStandsInATextOfAnyLength) {
    // One byte amid plain ones, at every place of texts up to 20 bytes: written as it is alone,
    // the plain bytes beside it inside the same quotes.
    for (const auto put : {map_text::putXml, map_text::putJsonString, map_text::putCsvField}) {
        for (const char byte : {'y', '"', ',', '\\', '&', '\x01', '\xe9'}) {
            const std::string alone = written(put, std::string(1, byte));
            const std::size_t quote = alone.size() > 1 && alone.front() == '"' ? 1 : 0;
            for (std::size_t size = 1; size <= 20; ++size) {
                for (std::size_t at = 0; at < size; ++at) {
                    std::string in(size, 'x');
                    in[at] = byte;
                    const std::string want = alone.substr(0, quote) + std::string(at, 'x') +
                                             alone.substr(quote, alone.size() - 2 * quote) +
                                             std::string(size - at - 1, 'x') +
                                             alone.substr(alone.size() - quote);
                    EXPECT_EQ(written(put, in), want) << in;
                }
            }
        }
    }
}

TEST(MapWriters, NoPointIsLongerThanItsBound) {
    // Every text 2,000 bytes of a byte escaped at its longest in some format ("&amp;", "&lt;",
    // a doubled quote, U+FFFD for a control character and for a stray byte), every channel,
    // the longest numbers: each point is built in room of its bound.
    for (const char byte : {'&', '<', '"', '\x01', '\xff'}) {
        const std::string worst(2000, byte);
        const AccessPointSummary ap{~std::uint64_t{0}, worst, worst, -1.2345678901234567e-300};
        const auto least = -2147483647 - 1;
        MapPoint point{worst, worst, worst, worst, worst, worst, true, channelsFromBits("FFFFFFFF"),
                       least, least, least, worst, worst};
        point.accessPoint = &ap;
        for (const Format& format : kFormats) {
            std::string out;
            appendPoint(*format.make(), out, point);
            EXPECT_LE(out.size(),
                      map_text::pointSizeBound(convertMapPoint<std::string_view>(point)))
                << format.extension << " of byte " << int{byte};
        }
    }
}

TEST(MapText, TimeElementsTakeOnlyAFullTime) {
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"2004-06-05T12:01:00Z", true},  {"12:01:00", false}, {"1999-12-31T23:59:59Z", true},
        {"2004-06-05 12:01:00Z", false}, {"2004-06-05T12:01:0/Z", false},
        {"2004-06-05T12:01:0:Z", false}, {"2004-06-05T12:01:00ZZ", false},
        {"20040-6-05T12:01:00Z", false}, {"2004-06-05T12:01:00z", false},
        {"2004\xad" "06-05T12:01:00Z", false}, {"2004-06-0\xb5T12:01:00Z", false},
    };
    // clang-format on
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

// clang-format off
const std::string kAwkwardNames[] = {
    "home", "caf\xE9, \"bar\"", "semi;colon", "<a&b>", "]]>", "ctl\x01\x1F", "\x80\x81\x9D\xFF", "",
    std::string(4, '\0'), "=1+1", "spaced  out", " (paren) ", "))", "R&D <5GHz>"};
// clang-format on

// The BSSID of the awkward log's line `k`: half of them look like times to a reader that
// guesses types from values.
std::string awkwardBssid(std::size_t k) {
    char bssid[18];
    std::snprintf(bssid, sizeof bssid,
                  k % 2 ? "00:09:5B:EE:%02zu:%02zu" : "00:0c:41:aa:%02zx:%02zx", k % 7, k % 5);
    return bssid;
}

// A log of `count` sightings with awkward names (commas, quotes, ";", markup, bytes 0x80 to
// 0xFF, control characters, NUL bytes, a formula, spaces and parentheses), every hemisphere,
// both types, E 180 and some lines without a fix.
std::string awkwardLog(std::size_t count) {
    std::string log = test::textLog({});
    for (std::size_t k = 0; k < count; ++k) {
        const std::string lat =
            std::string(k % 2 ? "S " : "N ") + std::to_string(k % 89 + 1) + ".25";
        const std::string lon =
            k % 50 == 7 ? "E 180.0000000"
                        : std::string(k % 3 ? "E " : "W ") + std::to_string(k % 179) + ".5";
        const std::string bssid = awkwardBssid(k);
        log += test::dataLine(lat, lon, kAwkwardNames[k % std::size(kAwkwardNames)], bssid,
                              k % 4 ? "0011" : "0002", k % 4 ? "BSS" : "ad-hoc") +
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

// Reads every feature table of a GeoPackage: compares its (BSSID, name) pairs with those of the
// JSON file argv[2] as multisets, as the format argv[3] holds them (a formula with CSV's
// apostrophe; GDAL reads GPX's empty name as null), and prints the declared type of each column
// named in argv[4:].
constexpr std::string_view kGpkgCheck = R"(import json, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
got = []
types = {}
for (table,) in db.execute("select table_name from gpkg_contents where data_type = 'features'"):
    columns = {c[1]: c[2] for c in db.execute('pragma table_info("%s")' % table)}
    types.update((c.lower(), t) for c, t in columns.items())
    name = next((c for c in columns if c.lower() == 'name'), None)
    bssid = next((c for c in columns if c.lower().endswith('bssid')), None)
    if not bssid:
        continue  # GPX's routes and tracks
    for b, n in db.execute('select "%s", "%s" from "%s"' % (bssid, name, table)):
        got.append([b, '' if n is None and sys.argv[3] == 'gpx' else n])
want = json.load(open(sys.argv[2], encoding='utf-8'))
if sys.argv[3] == 'csv':
    want = [[b, "'" + n if n.startswith('=') else n] for b, n in want]
key = lambda p: json.dumps(p)
if sorted(map(key, got)) != sorted(map(key, want)):
    missing = sorted(set(map(key, want)) - set(map(key, got)))
    extra = sorted(set(map(key, got)) - set(map(key, want)))
    sys.exit('%d features, %d expected; missing %s; not expected %s'
             % (len(got), len(want), missing[:5], extra[:5]))
print(' '.join('%s=%s' % (c, types.get(c)) for c in sys.argv[4:]))
)";

// Every line of one export, in each map format, one pin per sighting and one per access point,
// read back by GPSBabel and GDAL (its BSSID and name exactly, through a GeoPackage); the values
// of single points are the reference files'. Then a WiGLE CSV log, whose points carry RSSI,
// auth text, altitude (GPX's elevation, a number to its readers) and accuracy.
TEST(MapFilesReadByOtherPrograms, EveryLineReadsBackInEveryFormatAsWritten) {
    const bool gpsbabel = have("gpsbabel");
    const bool ogrinfo = have("ogrinfo");
    if (!gpsbabel && !ogrinfo) GTEST_SKIP() << "gpsbabel and ogrinfo are missing (tools/setup.sh)";
    if (!gpsbabel) std::cout << "gpsbabel is missing: only ogrinfo reads the files\n";
    if (!ogrinfo) std::cout << "ogrinfo is missing: only gpsbabel reads the files\n";
    test::TempDir dir;
    test::writeFile(dir / "drive.txt", awkwardLog(300));
    // Each point's BSSID and name as the map files hold them (the name exact, U+FFFD for a
    // control character, as a JSON string holds it), for the GeoPackage read-back.
    std::string pairs;
    for (std::size_t k = 0; k < 300; ++k) {
        const std::string name = windows1252ToUtf8(kAwkwardNames[k % std::size(kAwkwardNames)]);
        std::string json(8 * name.size() + 64, '\0');
        char* end = map_text::putJsonString(map_text::putText(json.data(), k ? ",[" : "[["),
                                            awkwardBssid(k));
        *end++ = ',';
        end = map_text::putText(map_text::putJsonString(end, name), "]");
        pairs.append(json.data(), end);
    }
    test::writeFile(dir / "pairs.json", pairs + "]");
    test::writeFile(dir / "gpkg_check.py", kGpkgCheck);
    const bool gpkg = have("python3") && have("ogr2ogr");
    if (!gpkg) std::cout << "python3 or ogr2ogr is missing: no GeoPackage read-back\n";
    // The GPX 1.1 and OGC KML 2.2 schemas, where tools/setup.sh could fetch them.
    const fs::path schemas = test::repoFile(".cache/xml-schemas");
    const bool validate = have("xmllint") && fs::exists(schemas / "ogckml22.xsd");
    if (!validate) std::cout << "xmllint or the GPX/KML schemas (tools/setup.sh) are missing\n";
    const WorkingFiles files{dir / "work"};
    fs::create_directory(files.folder);
    ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    for (const int pass : {0, 1, 2}) {
        const bool perAccessPoint = pass == 1, wigle = pass == 2;
        const std::string log = wigle ? "wigle-phone.csv" : "drive.txt";
        if (wigle) {
            ASSERT_EQ(loadSourceLog(test::repoFile("samples/" + log), files).status,
                      LoadStatus::Loaded);
        }
        ExportStyle style;
        style.perAccessPoint = perAccessPoint;
        const std::string st = test::readFile(
            runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), log, style));
        const long lines = static_cast<long>(occurrences(st, "\r\n")) - 1;  // the header row
        ASSERT_GT(lines, pass == 0 ? 250 : 30);
        for (const ExportFormat format :
             {ExportFormat::Kml, ExportFormat::Gpx, ExportFormat::GeoJson, ExportFormat::Csv}) {
            style.format = format;
            const fs::path file =
                runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), log, style);
            const std::string ext = exportFormatInfo(format).option;
            const std::string what = ext + (perAccessPoint ? " per access point" : "") + " " + log;
            if (validate && (format == ExportFormat::Kml || format == ExportFormat::Gpx)) {
                const fs::path xsd =
                    schemas /
                    (format == ExportFormat::Kml ? "ogckml22.xsd" : "Topografix_gpx11.xsd");
                const auto [report, ok] =
                    run("xmllint --noout --schema '" + xsd.string() + "' '" + file.string() + "'",
                        dir / "xmllint");
                EXPECT_TRUE(ok) << what << ": " << report.substr(0, 2000);
            }
            if (ogrinfo) {
                // The CSV's points without options: its .csvt declares the coordinates.
                const auto [listing, ok] =
                    run("ogrinfo -ro -al '" + file.string() + "'", dir / "ogrinfo");
                EXPECT_TRUE(ok) << what << ": " << listing.substr(0, 2000);
                EXPECT_EQ(featureCount(listing), lines) << what;
                const std::string value = wigle && format == ExportFormat::Gpx ? "ele (Real) = "
                                          : format == ExportFormat::Csv        ? "Geometry: Point"
                                                                               : "POINT (";
                EXPECT_NE(listing.find(value), std::string::npos) << what << ": " << value;
            }
            // Through ogr2ogr into a GeoPackage, every BSSID and name exactly, as text: GeoJSON
            // with the open option that keeps its strings (it cannot declare types); GPX's
            // empty names GDAL reads as null.
            if (gpkg && pass == 0) {
                const fs::path converted = dir / (ext + ".gpkg");
                fs::remove(converted);
                const std::string open =
                    format == ExportFormat::GeoJson ? "-oo DATE_AS_STRING=YES " : "";
                const auto [report, ok] = run("ogr2ogr -f GPKG " + open + "'" + converted.string() +
                                                  "' '" + file.string() + "'",
                                              dir / "ogr2ogr");
                ASSERT_TRUE(ok) << what << ": " << report;
                const bool gpx = format == ExportFormat::Gpx;
                const auto [types, same] =
                    run("python3 '" + (dir / "gpkg_check.py").string() + "' '" +
                            converted.string() + "' '" + (dir / "pairs.json").string() + "' " +
                            ext + (gpx ? " name velmora_bssid" : " name bssid flags"),
                        dir / "gpkg");
                EXPECT_TRUE(same) << what << ": " << types;
                EXPECT_EQ(types, gpx ? "name=TEXT velmora_bssid=TEXT\n"
                                     : "name=TEXT bssid=TEXT flags=TEXT\n")
                    << what;
            }
            // GPSBabel's CSV formats take a line for a point; a name holding a line break is
            // more than they read.
            if (gpsbabel && format != ExportFormat::Csv) {
                const auto [gpx, ok] =
                    run("gpsbabel -i " + ext + " -f '" + file.string() + "' -o gpx -F -",
                        dir / "gpsbabel");
                EXPECT_TRUE(ok) << what << ": " << gpx.substr(0, 2000);
                EXPECT_EQ(static_cast<long>(occurrences(gpx, "<wpt ")), lines) << what;
            }
        }
    }
}

}  // namespace
}  // namespace velmora
