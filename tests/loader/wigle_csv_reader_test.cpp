// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/wigle_csv_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Kind = LogEntry::Kind;
using namespace std::string_literals;

const std::string kPre14 =
    "WigleWifi-1.4,appRelease=2.64,model=Pixel 6,release=13,device=oriole,display=TQ2A,"
    "board=oriole,brand=google\n";
const std::string kPre16 =
    "WigleWifi-1.6,appRelease=2.70,model=SM-G991B,release=14,device=o1s,display=UP1A,"
    "board=exynos2100,brand=samsung,star=Sol,body=3,subBody=0\n";
const std::string kHead14 =
    "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,AltitudeMeters,"
    "AccuracyMeters,Type\n";
const std::string kHead16 =
    "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,CurrentLongitude,"
    "AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n";
const std::string kBoardHead =
    "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,AltitudeMeters,"
    "AccuracyMeters,Type\r\n";

// What one entry carried, copied out of the reader's memory; `line` writes out every value:
// kind, position, [SSID], MAC, capabilities and channel bits in hex, channel, RSSI, time,
// AuthMode, altitude, accuracy ("-" where none is given).
struct Seen {
    Kind kind;
    std::string ssid, line;
};

Seen seen(const LogEntry& e) {
    const LogSighting& g = e.sighting;
    std::ostringstream out;
    const auto opt = [&out](const auto& v) -> std::ostream& {
        return v ? out << ' ' << *v : out << " -";
    };
    out << std::setprecision(10) << int(e.kind) << ' ' << g.latitude << ',' << g.longitude << " ["
        << g.ssid << ']';
    char text[32];
    const auto& m = g.bssid;
    std::snprintf(text, sizeof text, " %02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    if (e.kind == Kind::Sighting) out << text;
    out << std::hex << ' ' << g.capabilities << ' ' << g.channelBits << std::dec;
    opt(g.channel);
    opt(g.rssi);
    const SightingTime& t = g.time;
    std::snprintf(text, sizeof text, " %04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    if (t.hasDate) out << text;
    opt(g.auth);
    opt(g.altitude);
    opt(g.accuracy);
    return {e.kind, std::string(g.ssid), out.str()};
}

class WigleCsv : public ::testing::Test {
  protected:
    // Every entry of `bytes` read as a WiGLE CSV; fails the test when it is refused.
    std::vector<Seen> read(std::string_view bytes) {
        test::writeFile(dir / "log.csv", bytes);
        std::vector<Seen> out;
        const auto reader = openWigleCsv(dir / "log.csv");
        EXPECT_NE(reader, nullptr) << bytes.substr(0, 300);
        if (!reader) return out;
        LogEntry e;
        while (reader->next(e)) out.push_back(seen(e));
        EXPECT_EQ(reader->damage(), "");
        return out;
    }
    std::vector<Kind> kinds(std::string_view bytes) {
        std::vector<Kind> out;
        for (const Seen& s : read(bytes)) out.push_back(s.kind);
        return out;
    }
    std::vector<std::string> lines(std::string_view bytes) {
        std::vector<std::string> out;
        for (const Seen& s : read(bytes)) out.push_back(s.line);
        return out;
    }

    test::TempDir dir;
};

constexpr std::uint32_t kEss = capability::kEss, kIbss = capability::kIbss,
                        kWep = capability::kPrivacy;

TEST(WigleRules, AuthModeGivesPrivacyAndAdHoc) {
    const std::pair<std::uint32_t, std::vector<std::string_view>> groups[] = {
        {kEss | kWep,
         {"[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS][WPS]", "[RSN-SAE-CCMP][ESS][MFPR]", "[WAPI-PSK]",
          "[WEP][ESS]", "[WPA2_PSK]", "[wpa2_psk]"}},
        {kIbss | kWep, {"[WEP][IBSS]"}},
        {kIbss, {"[IBSS]", "[ibss]"}},
        // Ad hoc only as the bracketed capability.
        {kEss, {"[ESS]", "[ESS][WPS]", "[WPS]", "[OPEN]", "", "IBSS", "[UNKNOWN]"}},
    };
    for (const auto& [caps, modes] : groups)
        for (const std::string_view auth : modes)
            EXPECT_EQ(wigle::capabilities(auth), caps) << auth;
}

TEST(WigleRules, FirstSeenPaddedOrNot) {
    const std::pair<std::string_view, std::tuple<int, int, int, int, int, int>> cases[] = {
        {"2024-03-09 07:05:02", {2024, 3, 9, 7, 5, 2}},
        {"2025-5-6 1:4:5", {2025, 5, 6, 1, 4, 5}},
        {" 2024-02-29T23:59:59 ", {2024, 2, 29, 23, 59, 59}},
    };
    // No such day or time, parts missing or too long, not a date at all.
    for (const std::string_view text :
         {"2023-02-29 10:00:00", "2100-02-29 10:00:00", "2024-13-01 10:00:00",
          "2024-04-31 10:00:00", "0000-00-00 00:00:00", "2024-01-01 24:00:00",
          "2024-01-01 10:60:00", "2024-01-01 10:00:60", "2024-01-01 10:00", "2024-01-01 10:00:00.5",
          "2024-001-01 10:00:00", ""}) {
        const SightingTime t = wigle::firstSeen(text);
        EXPECT_FALSE(t.hasDate || t.hasTime) << text;
    }
    for (const auto& [text, want] : cases) {
        const SightingTime t = wigle::firstSeen(text);
        EXPECT_TRUE(t.hasDate && t.hasTime) << text;
        EXPECT_EQ(std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second), want) << text;
    }
}

// Rows sharing a date read their times as each row read alone.
TEST_F(WigleCsv, RowsSharingADateKeepTheirOwnTimes) {
    std::string bytes = kHead14;
    std::vector<std::string> alone;
    for (std::string_view t :
         {"2024-03-09 07:05:02", "2024-03-09 24:00:00", "2024-03-09T07:05:03", "2024-03-09 7:05:03",
          "2024-03-09 07:05:0x", "2024-03-09 07-05-02", "2023-02-29 10:00:00",
          "2023-02-29 10:00:01", " 2024-03-10 01:02:03"}) {
        const std::string row =
            "aa:bb:cc:dd:ee:ff,n,[ESS]," + std::string(t) + ",6,-60,1,2,,,WIFI\n";
        bytes += row;
        alone.push_back(lines(kHead14 + row).at(0));
    }
    EXPECT_EQ(lines(bytes), alone);
}

TEST(WigleRules, ChannelsFromFrequencyAndTheirBits) {
    const std::pair<int, std::optional<int>> frequencies[] = {
        {2412, 1},   {2472, 13}, {2484, 14}, {2413, {}},  {2500, {}}, {5170, 34},
        {5885, 177}, {5935, 2},  {5955, 1},  {7115, 233}, {7120, {}}, {0, {}}};
    for (const auto& [mhz, channel] : frequencies)
        EXPECT_EQ(wigle::channelOfFrequency(mhz), channel) << mhz;

    const std::tuple<int, std::optional<int>, std::uint64_t> bits[] = {
        {1, {}, 1u << 1},    {14, 2484, 1u << 14}, {36, {}, 1u << 15},   {64, 5320, 1u << 22},
        {161, {}, 1u << 26}, {62, {}, 1u << 30},   {34, {}, 1ull << 31}, {165, {}, 0},
        {15, {}, 0},         {0, {}, 0},           {1, 5955, 0},  // 6 GHz channel 1
        {6, 5180, 0},        {36, 2412, 0}};
    for (const auto& [channel, mhz, want] : bits)
        EXPECT_EQ(wigle::channelBits(channel, mhz), want) << channel << " " << mhz.value_or(0);
}

TEST(WigleRules, RecognisedByTheFirstLine) {
    const std::pair<std::string, bool> cases[] = {
        {kPre14 + kHead14, true},
        {kPre16, true},
        {"\xEF\xBB\xBF" + kPre16, true},
        {"wiglewifi-1.4,appRelease=x", true},
        {kBoardHead + "aa:bb:cc:dd:ee:ff,x,[OPEN],2025-5-6 1:2:3,6,-70,1,2,0,0,WIFI\r\n", true},
        {"SSID,MAC,RSSI,Channel,AuthMode,FirstSeen,Longitude,Latitude\n", true},
        {"\"MAC\",\"ssid\",authmode, firstseen, channel, rssi, latitude, longitude", true},
        // A column the reader needs is missing.
        {"MAC,SSID,AuthMode,FirstSeen,Channel,CurrentLatitude,CurrentLongitude,Type\n", false},
        {"MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude\n", false},
        {"# $Creator: x\r\n# $Format: wi-scan with extensions\r\n", false},
        {" WigleWifi-1.4", false},
        {std::string(5000, 'M') + "\n" + kHead14, false},
        // The header after the first few KiB is not looked for.
        {std::string(3000, ' ') + ",x" + std::string(3000, ' ') + kHead14, false},
    };
    for (const auto& [bytes, want] : cases)
        EXPECT_EQ(looksLikeWigleCsv(bytes), want) << bytes.substr(0, 120);
}

TEST_F(WigleCsv, RefusesAFileWithoutAUsableHeader) {
    for (const std::string& bytes :
         {""s, kPre14, kPre14 + "\n\n", kPre16 + kPre16 + kHead16,
          kPre14 + "aa:bb:cc:dd:ee:ff,x,[ESS],2024-1-1 1:1:1,1,-50,1,1,0,0,WIFI\n",
          "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,Latitude,Lon\n"s,
          kPre14 + std::string(kWigleRecordLimit + 1, 'x') + "\n" + kHead14}) {
        test::writeFile(dir / "log.csv", bytes);
        EXPECT_EQ(openWigleCsv(dir / "log.csv"), nullptr) << bytes.substr(0, 200);
    }
    EXPECT_EQ(test::fileErrorPath([&] { openWigleCsv(dir / "absent.csv"); }), dir / "absent.csv");
    EXPECT_EQ(test::fileErrorPath([&] { openWigleCsv(dir.path()); }), dir.path());
}

// The columns as each writer writes them.
TEST_F(WigleCsv, ReadsEachWritersColumns) {
    const std::string rows16 =
        "aa:bb:cc:dd:ee:01,HomeNet,[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS][WPS],2024-03-09 "
        "07:05:02,6,2437,-67,52.3676,4.9041,12.5,4,,,WIFI\n"
        "00:11:22:33:44:55,Cafe,[ESS],2024-03-09 07:05:03,0,5180,-80,-33.8688,151.2093,-3.0,"
        "16,5A03BA0000,,WIFI\n";
    const std::pair<std::string, std::vector<std::string>> writers[] = {
        {kPre16 + kHead16 + rows16,
         {"0 52.3676,4.9041 [HomeNet] aa:bb:cc:dd:ee:01 11 40 6 -67 2024-03-09 07:05:02 "
          "[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS][WPS] 12.5 4",
          "0 -33.8688,151.2093 [Cafe] 00:11:22:33:44:55 1 8000 36 -80 2024-03-09 07:05:03 [ESS] -3 "
          "16"}},
        // A board: no pre-header, CR LF, unpadded dates, its own AuthMode words, a BOM.
        {"\xEF\xBB\xBF" + kBoardHead +
             "a4:c3:f0:11:22:33,Board One,[WPA2_PSK],2025-5-6 11:14:51,11,-71,48.85,2.35,35.2,"
             "2.5,WIFI\r\n"
             "a4-c3-f0-11-22-34,,[OPEN],2025-5-6 11:14:52,1,-90,48.85,2.35,35.2,2.5,WIFI\r\n",
         {"0 48.85,2.35 [Board One] a4:c3:f0:11:22:33 11 800 11 -71 2025-05-06 11:14:51 "
          "[WPA2_PSK] 35.2 2.5",
          "0 48.85,2.35 [] a4:c3:f0:11:22:34 1 2 1 -90 2025-05-06 11:14:52 [OPEN] 35.2 2.5"}},
        // Latitude/Longitude, columns reordered, no Type, altitude, accuracy nor frequency.
        {"SSID,MAC,Latitude,Longitude,RSSI,Channel,AuthMode,FirstSeen\n"
         "Lab,AA:BB:CC:00:00:01,+10.5,-20.25,-55,36,,2024-1-2 3:4:5\n"
         "Lab2,AA:BB:CC:00:00:02,90,180,x,,[IBSS],not a date\n",
         {"0 10.5,-20.25 [Lab] aa:bb:cc:00:00:01 1 8000 36 -55 2024-01-02 03:04:05 - - -",
          "0 90,180 [Lab2] aa:bb:cc:00:00:02 2 0 - - [IBSS] - -"}},
    };
    for (const auto& [bytes, want] : writers) EXPECT_EQ(lines(bytes), want) << bytes;
}

std::string quoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// Names round-trip from their RFC 4180 form, with the line ends around them of each kind.
TEST_F(WigleCsv, KeepsNamesExactlyAsWritten) {
    const std::pair<std::string, std::string> names[] = {
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {quoted("\xF0\x9F\x93\xB6 net"), "\xF0\x9F\x93\xB6 net"},
        {"\"\"", ""},
        {quoted("a,b;c"), "a,b;c"},
        {quoted("\""), "\""},
        {quoted("two\r\nlines"), "two\r\nlines"},
        {quoted("lf\nand cr\r"), "lf\nand cr\r"},
        {" spaced ", " spaced "},
        {"\xFF\xFE bad utf-8 \xC3", "\xFF\xFE bad utf-8 \xC3"},
        {"nul\0inside"s, "nul\0inside"s},
        {"un\"quoted", "un\"quoted"},        // a quote inside an unquoted field
        {"\"lone\"quote\"", "lone\"quote"},  // a lone quote inside a quoted field
    };
    for (const auto& [field, name] : names) {
        for (const char* eol : {"\n", "\r\n"}) {
            const std::string row = "aa:bb:cc:dd:ee:ff," + field + ",[ESS],,6,-60,1,2,,,WIFI";
            const auto got = read(kPre14 + kHead14 + row + eol + row);
            ASSERT_EQ(got.size(), 2u) << field;
            EXPECT_EQ(got[0].ssid, name) << field;
            EXPECT_EQ(got[1].kind, Kind::Sighting) << field;
        }
    }
}

// Which rows are sightings, non-GPS entries and other radios (blank lines give nothing), in
// whole files and in damaged and hostile ones: every line still gives its entry.
TEST_F(WigleCsv, SortsEachRowByWhatItCarries) {
    const std::string good = "aa:bb:cc:dd:ee:ff,n,[ESS],2024-1-1 1:1:1,6,-60,";
    const std::string row = "aa:bb:cc:dd:ee:ff,n,[ESS],,6,-60,1,2,,,WIFI";
    std::string longRest;  // more rows than a record may be long
    while (longRest.size() < 2 * kWigleRecordLimit) longRest += row + "\n";
    std::vector<Kind> longKinds(1 + longRest.size() / (row.size() + 1), Kind::Sighting);
    longKinds[0] = Kind::NoPosition;
    // The bytes after the header, and the entries' kinds.
    const std::pair<std::string, std::vector<Kind>> rows[] = {
        {good + "45.5,-73.5,0,0,WIFI", {Kind::Sighting}},
        {good + "0,-73.5,,,wifi", {Kind::Sighting}},  // on the equator
        {good + "-90,-180,,,WIFI", {Kind::Sighting}},
        {good + "0,0,0,0,WIFI", {Kind::NoPosition}},  // no fix
        {good + ",,0,0,WIFI", {Kind::NoPosition}},
        {good + "45.5x,-73.5,0,0,WIFI", {Kind::NoPosition}},
        {good + "nan,-73.5,0,0,WIFI", {Kind::NoPosition}},
        {good + "90.001,-73.5,0,0,WIFI", {Kind::NoPosition}},
        {good + "45.5,180.5,0,0,WIFI", {Kind::NoPosition}},
        {good + "45.5,-73.5", {Kind::NoPosition}},  // too short
        {good + "45.5,-73.5,0,0,WIFI,extra", {Kind::NoPosition}},
        {good + "45.5,-73.5,0,0,WIFI,,", {Kind::Sighting}},
        {"aa:bb:cc:dd:ee,n,[ESS],2024-1-1 1:1:1,6,-60,45.5,-73.5,0,0,WIFI", {Kind::NoPosition}},
        {"aa:bb:cc:dd:ee:fg,n,[ESS],,6,-60,45.5,-73.5,0,0,WIFI", {Kind::NoPosition}},
        {"11:22:33:44:55:66,Buds,Misc [LE],2024-1-1 1:1:1,0,-80,45.5,-73.5,0,0,BLE",
         {Kind::OtherRadio}},
        {"11:22:33:44:55:66,Car,Misc,,0,-80,0,0,0,0,BT", {Kind::OtherRadio}},
        {"310260_1_2,,NR;310260,,0,-95,45.5,-73.5,0,0,nr", {Kind::OtherRadio}},
        {good + "45.5,-73.5,0,0,ZIGBEE", {Kind::NoPosition}},
        {"  \t ", {}},
        {",,,,,,,,,,", {Kind::NoPosition}},
        {"\n\r\n\r" + good + "45.5,-73.5,0,0,WIFI\r\r\n\n", {Kind::Sighting}},
        // Cut short inside a row: the part lacks columns.
        {row + "\n" + row.substr(0, 30), {Kind::Sighting, Kind::NoPosition}},
        // A quote never closed: its line is a row of its own, the rows after it are read ...
        {"aa:bb:cc:dd:ee:ff,\"open,[ESS],,6,-60,1,2,,,WIFI\n" + row + "\n" + row,
         {Kind::NoPosition, Kind::Sighting, Kind::Sighting}},
        // ... also when the rest of the file is longer than a record may be.
        {"aa:bb:cc:dd:ee:ff,\"open,[ESS],,6,-60,1,2,,,WIFI\n" + longRest, longKinds},
        // A NUL in a number makes it unreadable.
        {"aa:bb:cc:dd:ee:ff,n,[ESS],,6,-60,1\0,2,,,WIFI\n"s + row,
         {Kind::NoPosition, Kind::Sighting}},
        // A line longer than the limit is read past; the one at the limit is read.
        {row + std::string(kWigleRecordLimit, ',') + "\n" + row,
         {Kind::NoPosition, Kind::Sighting}},
        {row + std::string(kWigleRecordLimit - row.size(), ',') + "\n" + row,
         {Kind::Sighting, Kind::Sighting}},
    };
    for (const auto& [bytes, want] : rows)
        EXPECT_EQ(kinds(kPre14 + kHead14 + bytes), want) << bytes.substr(0, 200);
}

TEST_F(WigleCsv, ReadsPastAHugeLineInBoundedMemory) {
    {
        std::ofstream out(dir / "huge.csv", std::ios::binary);
        out << kPre14 << kHead14;
        for (int k = 0; k < 100; ++k) out << std::string(1 << 20, '"');
        out << "\naa:bb:cc:dd:ee:ff,n,[ESS],,6,-60,1,2,,,WIFI\n";
    }
    const auto work = [&] {
        const auto reader = openWigleCsv(dir / "huge.csv");
        std::vector<Kind> got;
        LogEntry e;
        while (reader->next(e)) got.push_back(e.kind);
        return got == std::vector{Kind::NoPosition, Kind::Sighting};
    };
    EXPECT_EXIT(test::exitWith(work, 0, 24), ::testing::ExitedWithCode(0), "");
}

// Records across the reader's chunks: quoted line breaks and CR LF pairs split anywhere.
TEST_F(WigleCsv, RecordsAcrossChunks) {
    std::string bytes = kPre16 + kHead16;
    constexpr int kRows = 40000;
    for (int k = 0; k < kRows; ++k)
        bytes += "aa:bb:cc:dd:ee:ff,\"r" + std::to_string(k) + "\r\n\"\"x\"\"\",[ESS]," +
                 "2024-1-1 1:1:1,6,2437,-60,1,2,,,,,WIFI\r\n";
    const auto got = read(bytes);
    ASSERT_EQ(got.size(), std::size_t{kRows});
    for (int k = 0; k < kRows; ++k)
        ASSERT_EQ(got[k].ssid, "r" + std::to_string(k) + "\r\n\"x\"") << k;
}

}  // namespace
}  // namespace velmora
