// SPDX-License-Identifier: GPL-3.0-or-later
// The logic of the MAC, AP-name and criteria windows: lists, exports and file names.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/distinct_keys.h"
#include "advanced/file_name.h"
#include "advanced/mac_access_points.h"
#include "export/st_sink.h"
#include "loader/source_loader.h"
#include "records/working_record.h"
#include "support/test_support.h"

namespace velmora {

void PrintTo(const NetworkGroup& group, std::ostream* out) {
    *out << group.name << " (" << group.uniqueAccessPoints << ")";
}

namespace {

using Texts = std::vector<std::string>;
constexpr auto kAny = ConnectionType::Both;

// One line of a working record file: the fields the windows read vary, the rest is fixed.
std::string record(std::string lat, std::string lon, std::string ssid, std::string bssid,
                   std::string flags = "0011", std::string type = "BSS") {
    return lat + "," + lon + "," + ssid + "," + type + "," + bssid + ",01:02:03,25 74 49,," +
           flags + ",00000040,100\r\n";
}

TEST(FileNames, ProposedNamesOfEachWindowAndWhichStayInTheirFolder) {
    const std::pair<const char*, const char*> names[] = {
        {"0A:1B:2C:3D:4E:5F - HOMENET", "MAC_0A1B2C3D4E5F"},
        {"0A:1B:2C:3D:4E:5", "MAC_0A1B2C3D4E5"},
        {"", "MAC_"}};
    for (const auto& [entry, want] : names) EXPECT_EQ(macExportFileName(entry), want) << entry;
    const std::tuple<std::string, std::string, bool> groups[] = {
        {"HOMENET", "AP-HOMENET.TXT", true},
        {"A/B", "AP-A/B.TXT", false},
        {std::string("A\0B", 3), std::string("AP-A\0B.TXT", 10), false}};
    for (const auto& [group, name, plain] : groups) {
        EXPECT_EQ(apNameFileName(group), name);
        EXPECT_EQ(isPlainFileName(name), plain) << group;
    }
    for (const char* name : {"", ".", ".."}) EXPECT_FALSE(isPlainFileName(name)) << name;
    using enum CriteriaExportMode;
    const std::tuple<CriteriaExportMode, const char*, const char*> cases[] = {
        {ApName, "HOME", "Custom_SSID_HOME.TXT"},
        {MacAddress, "00:0F:66:1A:2B:3C", "Custom_MAC_000F661A2B3C.TXT"},
        {MacAddress, "", "Custom_MAC_.TXT"},
        // Short texts: each piece is the last two of what the first k characters give.
        {MacAddress, "A", "Custom_MAC_AAAAAA.TXT"},
        {MacAddress, "00:0F:6", "Custom_MAC_000F:6:6:6:6.TXT"}};
    for (const auto& [mode, text, expected] : cases)
        EXPECT_EQ(criteriaFileName({text, text, kAny, WepStatus::Both, mode}), expected);
}

// What a save dialog is offered: one file of its folder, and two names never one file.
TEST(FileNames, DialogNamesHoldNoCharacterADialogReadsOtherwise) {
    const std::pair<std::string, std::string> cases[] = {
        {"AP-HOMENET.TXT", "AP-HOMENET.TXT"},
        {"AP-\"\"QUOTED\"\".csv", "AP-%22%22QUOTED%22%22.csv"},
        {"AP-A/B\\C:D*E?F<G>H|I.TXT", "AP-A%2FB%5CC%3AD%2AE%3FF%3CG%3EH%7CI.TXT"},
        {std::string("AP-A\0B\x1f\x7f\t.TXT", 13), "AP-A%00B%1F%7F%09.TXT"},
        {"AP-100%.TXT", "AP-100%.TXT"},
        {"AP-%22.TXT", "AP-%2522.TXT"},
        {"AP-CAF\xe9 \xe4\xb8\xad.kml", "AP-CAF\xe9 \xe4\xb8\xad.kml"}};
    for (const auto& [name, want] : cases) {
        EXPECT_EQ(dialogFileName(name), want);
        EXPECT_TRUE(isPlainFileName(want));
    }
    EXPECT_NE(dialogFileName("A\"B"), dialogFileName("A%22B"));
}

// Which sightings each mode takes (their lines: the golden files below).
TEST(CriteriaExport, EachModeTakesItsSightings) {
    test::TempDir dir;
    test::writeFile(dir / "output1",
                    record("N1.5", "W2.5", "home", "00:0f:66:aa:bb:01", "00F1") +
                        record("S1.5", "E2.5", "office", "00:0F:66:aa:bb:01") +
                        record("N3.5", "E4.5", "Home", "00:0F:66:AA:BB:02", "0002", "Ad-hoc"));
    // MAC mode: the sighting under another name is written; the Flags tests still apply.
    const auto written = [&](const char* mac, ConnectionType type) {
        return exportCriteria(dir / "output1", dir / "x.TXT",
                              {"HOME", mac, type, WepStatus::Both, CriteriaExportMode::MacAddress});
    };
    EXPECT_EQ(written("00:0F:66:AA:BB:01", ConnectionType::Bss), 2u);
    EXPECT_EQ(written("00:0F:66:AA:BB:01", ConnectionType::AdHoc), 0u);
    EXPECT_EQ(written("", kAny), 0u);
    EXPECT_EQ(test::readFile(dir / "x.TXT"), kExportHeader);
}

// The three windows' lists and exports of a loaded log; the exports against files checked by
// hand (golden/README.md).
TEST(AdvancedExports, MatchTheirGoldenFilesByteForByte) {
    const std::filesystem::path golden = test::repoFile("tests/advanced/golden");
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    ASSERT_EQ(loadSourceLog(golden / "advanced-log.txt", files).status, LoadStatus::Loaded);
    const auto input = files.output1();
    // Its groups count each access point once, whatever the case of its MAC address; a MAC
    // address is found under any name.
    const std::vector<NetworkGroup> groups = {{"CAF\xE9,BAR", 1}, {"HOMENET", 3}, {"OFFICE", 1}};
    EXPECT_EQ(readNetworkGroups(input), groups);
    for (const NetworkGroup& group : groups)
        EXPECT_EQ(countUniqueAccessPoints(input, group.name), group.uniqueAccessPoints);
    EXPECT_TRUE(hasMacAddress(input, "00:0F:66:AA:BB:03 - HOMENET"));
    EXPECT_FALSE(hasMacAddress(input, "00:0C:41:AA:BB:03"));
    test::writeFile(dir / "empty", "");
    EXPECT_TRUE(readNetworkGroups(dir / "empty").empty() && loadApEntries(dir / "empty").empty());
    const std::string mac = "00:0C:41:AA:BB:01";
    const std::pair<const char*, std::function<void(const std::filesystem::path&)>> exports[] = {
        {"AP-HOMENET.TXT", [&](const auto& to) { exportApNameGroup(input, to, "HOMENET"); }},
        {"MAC_000C41AABB01.txt",
         [&](const auto& to) { exportMacAddress(input, mac + " - HOMENET", dir.path(), to); }},
        {"Custom_SSID_HOMENET.TXT",
         [&](const auto& to) {
             exportCriteria(input, to, {"HOMENET", "", ConnectionType::Bss, WepStatus::On});
         }},
        {"Custom_MAC_000C41AABB01.TXT", [&](const auto& to) {
             exportCriteria(
                 input, to,
                 {"HOMENET", mac, kAny, WepStatus::Both, CriteriaExportMode::MacAddress});
         }}};
    for (const auto& [name, run] : exports) {
        run(dir / name);
        EXPECT_EQ(test::readFile(dir / name), test::readFile(golden / name)) << name;
    }
}

TEST(ExactNames, AWiGLELogGroupsListsAndSelectsByTheNameAsLogged) {
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    std::string log =
        "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,"
        "CurrentLongitude,AltitudeMeters,AccuracyMeters,Type\n";
    const auto row = [&](const char* mac, const char* ssid, const char* auth = "[ESS]") {
        log += std::string(mac) + "," + ssid + "," + auth +
               ",2024-05-06 11:00:00,6,2437,-60,41.5,2.5,10,5,WIFI\n";
    };
    row("00:00:00:00:00:01", "中文");
    row("00:00:00:00:00:02", "日本");
    row("00:00:00:00:00:02", "日本");
    row("00:00:00:00:00:03", "caf\xC3\xA9");
    row("00:00:00:00:00:04", "\xF0\x9F\x93\xB6 x");
    row("00:00:00:00:00:05", "");
    row("00:00:00:00:00:06", "\"a,\"\"b\"\";c\"", "[WEP][ESS]");
    row("00:00:00:00:00:07", "Дом");
    const auto source = dir / "log.csv";
    test::writeFile(source, log);
    ASSERT_EQ(loadSourceLog(source, files).status, LoadStatus::Loaded);
    const auto input = files.output1();

    // name, exact, access points, its records, Streets and Trips file, KML file
    struct Row {
        std::string name;
        bool exact;
        std::uint64_t accessPoints, records;
        std::string streetsAndTrips, kml;
    };
    const Row rows[] = {
        {"#BLANK#", false, 1, 1, "AP-#BLANK#.TXT", "AP-#BLANK#.kml"},  // no name: the item
        {"A,\"B\";C", true, 1, 1, "AP-A,\"B\";C.TXT", "AP-A,\"B\";C.kml"},
        {"CAF\xC3\xA9", true, 1, 1, "AP-CAF\xE9.TXT", "AP-CAF\xC3\xA9.kml"},
        {"Дом", true, 1, 1, "AP-???.TXT", "AP-Дом.kml"},
        // Both "??" in Windows-1252: each file takes its exact name.
        {"中文", true, 1, 1, "AP-中文.TXT", "AP-中文.kml"},
        {"日本", true, 1, 2, "AP-日本.TXT", "AP-日本.kml"},
        {"\xF0\x9F\x93\xB6 X", true, 1, 1, "AP-?X.TXT", "AP-\xF0\x9F\x93\xB6 X.kml"},
    };
    const std::vector<NetworkGroup> groups = readNetworkGroups(input);
    ASSERT_EQ(groups.size(), std::size(rows));
    const CriteriaIndex index = CriteriaIndex::build(input);
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const Row& want = rows[i];
        const NetworkGroup& group = groups[i];
        SCOPED_TRACE(want.name);
        EXPECT_EQ(group.key(), (NetworkName{want.name, want.exact}));
        EXPECT_EQ(group.uniqueAccessPoints, want.accessPoints);
        EXPECT_EQ(findNetworkGroup(groups, want.name), &group);
        EXPECT_EQ(apNameFileName(group, groups, ExportFormat::StreetsAndTrips),
                  want.streetsAndTrips);
        EXPECT_EQ(apNameFileName(group, groups, ExportFormat::Kml), want.kml);
        EXPECT_EQ(index.networkNameKeys()[i], group.key());
        // Exactly the group's records, in both windows' exports.
        EXPECT_EQ(exportApNameGroup(input, dir / "ap", group.key(), ExportStyle{}), want.records);
        CriteriaSelection criteria{want.name, "", kAny, WepStatus::Both};
        criteria.exactName = want.exact;
        EXPECT_EQ(exportCriteria(input, dir / "c", criteria), want.records);
        EXPECT_EQ(index.recount(group.key(), kAny, WepStatus::Both).size(), want.accessPoints);
        const NamedRecount named = recountNamed(input, want.name, kAny, WepStatus::Both);
        EXPECT_EQ(named.macs, index.recount(want.name, kAny, WepStatus::Both));
        EXPECT_EQ(named.exact, index.named(want.name).exact);
    }
    // The Streets and Trips file holds the Windows-1252 form.
    exportApNameGroup(input, dir / "ap", groups[4].key(), ExportStyle{});
    EXPECT_NE(test::readFile(dir / "ap").find(";??;"), std::string::npos);
    const ApEntryList entries = loadApEntryList(input);
    EXPECT_EQ(entries.entries[0], "00:00:00:00:00:01 - 中文");
    EXPECT_TRUE(entries.exactName[0]);
    EXPECT_FALSE(entries.exactName[4]);  // the empty name is the SSID item
}

TEST(DistinctLists, ANameFoundInAnyCaseIsTheUpperCasedName) {
    // Every byte value at each place of names of one, seven, eight, nine and seventeen bytes,
    // numbered as read, then found again after the table has grown several times.
    distinct::Interner names;
    std::vector<std::string> texts;
    for (int byte = 0; byte < 256; ++byte)
        for (const std::size_t size : {1, 7, 8, 9, 17}) {
            std::string text(size, 'q');
            text[static_cast<std::size_t>(byte) * 5 % size] = static_cast<char>(byte);
            texts.push_back(text);
        }
    std::set<std::string> upper;
    for (const std::string& text : texts) {
        names.upperId(text);
        upper.insert(toUpperAscii(text));
    }
    for (const std::string& text : texts)
        ASSERT_EQ(names.upperId(text), names.id(toUpperAscii(text))) << text;
    EXPECT_EQ(names.size(), upper.size());
}

// The lists keep sightings as numbers while reading; they must equal their definition by
// upper-cased texts, on well-formed and odd BSSIDs alike.
TEST(DistinctLists, GroupsEntriesAndRecountsMatchTheirDefinitionByText) {
    // Names longer than eight bytes (upper-cased eight bytes at a time: each byte value at
    // each place is the test above's) and from 0x80 up.
    // clang-format off
    const char* ssids[] = {"home", "Home", "HOME", "\"Cafe,Bar\"", "\xe9t\xe9", "#Blank#", "x",
                           "Office-Net-2.4GHz", "OFFICE-net-2.4ghz"};
    // clang-format on
    const char* flags[] = {"0011", "0012", "0001", "0013", "0071", "5", "8", "", "0a1b", "00A1"};
    // Case does not count in an odd BSSID either; hex values do not join it to a MAC address.
    const char* odd[] = {
        "00-06-25-0a-1b-2c", "00:06:25:0a:1b:2g", "00:06:25:0a:1b",   "", "ab:cd", "AB:cd",
        "ff:ff:ff:ff:ff:ff", "00:06:25:0a:1b:2c", "00:06:25:0A:1B:2C"};
    std::mt19937 random(7);
    std::string file;
    std::set<std::string> entries;                                              // "BSSID - NAME"
    std::map<std::string, std::set<std::pair<std::string, std::string>>> seen;  // BSSID, Flags
    for (int i = 0; i < 3000; ++i) {
        std::string name = ssids[random() % std::size(ssids)];
        char mac[18];  // a few hundred MAC addresses, in either case
        std::snprintf(mac, sizeof mac,
                      random() % 2 ? "%02x:0a:%02x:00:00:%02x" : "%02X:0A:%02X:00:00:%02X", i % 3,
                      unsigned(random() % 16), unsigned(random() % 8));
        const std::string bssid = random() % 4 ? mac : odd[random() % std::size(odd)];
        const char* flag = flags[random() % std::size(flags)];
        file += record("N1", "E2", name, bssid, flag, random() % 3 ? "BSS" : "Ad-hoc");
        if (name[0] == '"') name = name.substr(1, name.size() - 2);  // the reader drops quotes
        entries.insert(toUpperAscii(bssid) + " - " + toUpperAscii(name));
        seen[toUpperAscii(name)].insert({toUpperAscii(bssid), flag});
    }
    test::TempDir dir;
    const auto path = dir / "output1";
    test::writeFile(path, file);
    EXPECT_EQ(loadApEntries(path), Texts(entries.begin(), entries.end()));

    std::vector<NetworkGroup> groups;
    Texts names;
    const CriteriaIndex index = CriteriaIndex::build(path);
    for (const auto& [name, pairs] : seen) {
        names.push_back(name);
        for (const auto type : {ConnectionType::Bss, ConnectionType::AdHoc, kAny}) {
            for (const auto wep : {WepStatus::On, WepStatus::Off, WepStatus::Both}) {
                std::set<std::string> macs;
                for (const auto& [mac, flag] : pairs)
                    if (passesConnectionType(type, flag) && passesWepStatus(wep, flag))
                        macs.insert(mac);
                const Texts want(macs.begin(), macs.end());
                EXPECT_EQ(index.recount(name, type, wep), want) << name;
                EXPECT_EQ(recountByReading(path, name, type, wep), want) << name;
                EXPECT_EQ(recountNamed(path, name, type, wep).macs, want) << name;
                if (type == kAny && wep == WepStatus::Both) groups.push_back({name, want.size()});
            }
        }
    }
    EXPECT_EQ(readNetworkGroups(path), groups);
    EXPECT_EQ(index.networkNames(), names);
    // No name selected, or a name as typed rather than as listed, matches nothing.
    for (const char* name : {"", "home"})
        EXPECT_TRUE(index.recount(name, kAny, WepStatus::Both).empty() &&
                    recountByReading(path, name, kAny, WepStatus::Both).empty() &&
                    recountNamed(path, name, kAny, WepStatus::Both).macs.empty());
}

}  // namespace
}  // namespace velmora
