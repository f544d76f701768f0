// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/survey.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

std::string line(std::string_view lat, std::string_view lon, std::string_view bssid,
                 std::string_view time = "01:02:03") {
    std::string l = dataLine(lat, lon, "net", bssid, "0011");
    l.replace(l.find("01:02:03"), 8, time);
    return l;
}

// A sighting of one access point at E 19.1.
std::string at(std::string_view lat, std::string_view time = "01:02:03") {
    return line(lat, "E 19.1", "00:0c:41:aa:bb:01", time);
}
const std::string kBase = at("N 45.1");

// clang-format off
const struct KeyRow {
    const char* name; std::string a; const char* dateA; std::string b; const char* dateB;
    bool same;
} kKeys[] = {
    {"BSSID in any case", kBase, "",
                          line("N 45.1000000", "E 19.1000000", "00:0C:41:AA:BB:01"), "", true},
    {"seven decimals", at("N 45.12345674"), "", at("N 45.1234567"), "", true},
    {"rounded up", at("S 45.12345675"), "", at("S 45.1234568"), "", true},
    {"latitude", at("N 45.1234567"), "", at("N 45.1234568"), "", false},
    {"hemisphere", kBase, "", line("N 45.1", "W 19.1", "00:0c:41:aa:bb:01"), "", false},
    {"BSSID", kBase, "", line("N 45.1", "E 19.1", "00:0c:41:aa:bb:02"), "", false},
    {"second", kBase, "", at("N 45.1", "01:02:04"), "", false},
    {"date", kBase, "2004-06-05", kBase, "2004-06-06", false},
    {"same date", kBase, "2004-06-05", kBase, "2004-06-05", true},
    {"one date", kBase, "2004-06-05", kBase, "", true},
    {"no MAC, any case", line("N 45.1", "E 19.1", "home-ap"), "",
                         line("N 45.1", "E 19.1", "HOME-AP"), "", true},
    {"no time", at("N 45.1", "--:--:--"), "", at("N 45.1", "00:00:00"), "", false},
    {"spaces in a column", at("N 45.1", "01:0 2:03"), "", kBase, "", true},
};
// clang-format on

TEST(SightingKeys, SameSightingByBssidPositionTimeAndDate) {
    for (const KeyRow& row : kKeys) {
        const SightingKey a = sightingKeyOfLine(row.a, row.dateA);
        const SightingKey b = sightingKeyOfLine(row.b, row.dateB);
        EXPECT_EQ(a.sameSighting(b), row.same) << row.name;
        // The table finds it the same way, among many keys (it has grown several times).
        SightingKeys keys;
        keys.nextLog();
        for (int i = 0; i < 5000; ++i)
            keys.admit(sightingKeyOfLine(
                line("N 1." + std::to_string(1000 + i), "E 2.5", "00:0c:41:aa:bb:01"),
                "2004-06-05"));
        keys.admit(a);
        EXPECT_EQ(keys.containsSighting(b), row.same) << row.name;
        EXPECT_EQ(keys.size(), 5001u) << row.name;
        // Against an earlier log's key it is a duplicate, never against its own log's; a log
        // that is dropped leaves the keys as they were.
        keys.nextLog();
        EXPECT_EQ(keys.admit(b), !row.same) << row.name;
        EXPECT_EQ(keys.admit(b), !row.same) << row.name;
        keys.dropLog();
        EXPECT_EQ(keys.size(), 5001u) << row.name;
    }
}

TEST(SightingKeys, EarlierLogsStayEarlierPastHundredsOfLogs) {
    const auto key = [](int i) {
        return sightingKeyOfLine(
            line("N 1." + std::to_string(1000 + i), "E 2.5", "00:0c:41:aa:bb:01"), "");
    };
    SightingKeys keys;
    keys.reserve(200'000);  // past 2 MiB: the system's large pages, cleared on a thread
    for (int log = 0; log < 600; ++log) {
        keys.nextLog();
        ASSERT_TRUE(keys.admit(key(log))) << log;
        ASSERT_TRUE(keys.admit(key(log))) << log;
        for (const int earlier : {log - 1, log - 255, log - 256, 0}) {
            if (earlier < 0 || earlier == log) continue;
            ASSERT_FALSE(keys.admit(key(earlier))) << log;
        }
    }
    EXPECT_EQ(keys.size(), 600u);
}

class SurveyTest : public ::testing::Test {
  protected:
    fs::path write(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir / name).parent_path());
        test::writeFile(dir / name, bytes);
        return dir / name;
    }
    // output1 and its extras file of `log` loaded alone.
    std::string alone(const fs::path& log, const char* file = "output1") {
        const WorkingFiles own{dir / ("alone-" + log.filename().string())};
        fs::create_directories(own.folder);
        EXPECT_EQ(loadSourceLog(log, own).status, LoadStatus::Loaded);
        return test::readFile(own.folder / file);
    }
    std::string working(const char* file = "output1") {
        return test::readFile(files.folder / file);
    }

    test::TempDir dir;
    WorkingFiles files{dir / "work"};
    Survey survey{files};
    void SetUp() override { fs::create_directories(files.folder); }
};

TEST_F(SurveyTest, EachSightingOnceAcrossLogs) {
    std::string text = test::textLog({line("N 45.1234567", "E 19.1234567", "00:0c:41:aa:bb:01"),
                                      line("N 45.2", "E 19.2", "00:0c:41:aa:bb:02"),
                                      "N 0.0000000\tE 0.0000000\t( x )"});
    std::string summary = text;
    summary.replace(summary.find("wi-scan with"), 12, "wi-scan summary with");
    // The same drive from another day: its date line differs, so nothing is a duplicate.
    std::string nextDay = text;
    nextDay.replace(nextDay.find("# $DateGMT: 2004-06-05") + 12, 10, "2004-06-06");
    ASSERT_NE(nextDay, text);
    const fs::path a = write("text.txt", text), b = write("summary.txt", summary),
                   c = write("next.txt", nextDay);
    const SurveyAddResult added = survey.add({a, b, a, c});
    ASSERT_EQ(added.status, LoadStatus::Loaded);
    ASSERT_EQ(survey.logs().size(), 4u);
    EXPECT_EQ(survey.logs()[1].type, SourceType::SummaryExport);
    for (std::size_t k : {1, 2}) {
        EXPECT_EQ(survey.logs()[k].counts.total, 0u) << k;
        EXPECT_EQ(survey.logs()[k].duplicates, 2u) << k;
    }
    EXPECT_EQ(survey.logs()[3].counts.total, 2u);
    EXPECT_EQ(survey.counts().total, 4u);
    EXPECT_EQ(survey.counts().dropped, 4u);
    EXPECT_EQ(survey.duplicates(), 4u);
    EXPECT_EQ(working(), alone(a) + alone(c));
    EXPECT_EQ(surveyTitle(survey.logs()), "text.txt and 3 more logs");

    // A log that loadSourceLog() loaded: its keys are read back from output1 for the add.
    Survey loaded(files);
    const LoadResult one = loadSourceLog(b, files);
    loaded.adopt(b, one);
    const std::string before = working();
    EXPECT_EQ(loaded.add({a}).added.at(0).duplicates, 2u);
    EXPECT_EQ(working(), before);
    EXPECT_EQ(loaded.counts().total, 2u);
}

TEST_F(SurveyTest, LogsLongerThanTheReadBufferAreComparedLineByLine) {
    // Two logs of some 2 MB that differ in every third sighting's BSSID, with date lines,
    // comments and non-GPS entries among the sightings: each line's key is its own, wherever
    // the reader's buffer ends.
    std::string a = test::textLog({}), b = a;
    for (int k = 0; k < 20000; ++k) {
        char lat[16], bssid[24];
        std::snprintf(lat, sizeof lat, "N %d.%07d", 40 + k % 7, k * 37 % 10'000'000);
        std::snprintf(bssid, sizeof bssid, "00:0c:41:%02x:%02x:01", k >> 8 & 255, k & 255);
        const std::string same = line(lat, "E 19.1234567", bssid) + "\r\n";
        a += same;
        b += k % 3 ? same : line(lat, "E 19.1234567", "00:0c:41:ff:ff:ff") + "\r\n";
        if (k % 1000 == 0) a += "# $DateGMT: 2004-06-05\r\n", b += "# a comment\r\n";
        if (k % 777 == 0) a += "N 0.0000000\tE 0.0000000\r\n", b += "\r\n";
    }
    ASSERT_EQ(survey.add({write("a.txt", a), write("b.txt", b)}).status, LoadStatus::Loaded);
    EXPECT_EQ(survey.logs()[1].duplicates, 13333u);
    EXPECT_EQ(survey.logs()[1].counts.total, 6667u);
}

// A compressed log takes the room in the key table that its plain self takes, before its keys
// come (the gzip trailer tells its size); a file that only starts like one takes none, and a
// trailer's claim is not believed beyond reason.
TEST_F(SurveyTest, ACompressedLogIsSizedAsTheLogItHolds) {
    std::string text = test::textLog({});
    // Lines as varied as a drive's: a log compresses a few times, not a hundred.
    std::minstd_rand random(7);
    const auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    for (int k = 0; k < 20000; ++k) {
        char lat[16], lon[16], bssid[24], time[16];
        std::snprintf(lat, sizeof lat, "N %u.%07u", below(90), below(10'000'000));
        std::snprintf(lon, sizeof lon, "E %u.%07u", below(180), below(10'000'000));
        std::snprintf(bssid, sizeof bssid, "00:0c:41:%02x:%02x:%02x", below(256), below(256),
                      below(256));
        std::snprintf(time, sizeof time, "%02u:%02u:%02u", below(24), below(60), below(60));
        text += line(lat, lon, bssid, time) + "\r\n";
    }
    const WorkingFiles own{dir / "own"};
    fs::create_directories(own.folder);
    Survey plain{own};
    ASSERT_EQ(plain.add({write("plain.txt", text)}).status, LoadStatus::Loaded);
    const fs::path fake = write("fake.gz", "\x1f\x8b\x08" + std::string(1 << 20, 'x'));
    ASSERT_EQ(survey.add({write("packed.txt.gz", test::gzipped(text)), fake}).status,
              LoadStatus::Loaded);
    EXPECT_EQ(survey.keyBytes(), plain.keyBytes());
    // A trailer that claims 4 GiB is taken for at most 16 times the file's size.
    const fs::path claims = write("claims.txt.gz", test::gzipped(text) + "\xff\xff\xff\xff");
    ASSERT_EQ(survey.add({claims}).status, LoadStatus::Loaded);
    EXPECT_LT(survey.keyBytes(), 16u << 20);
}

TEST_F(SurveyTest, AFolderOfMixedFormatsAddsEachReadableLogWhole) {
    const std::string ns1 = test::readFile(test::repoFile("samples/drive-ns1.ns1"));
    const fs::path text =
        write("logs/a.txt", test::readFile(test::repoFile("samples/drive-text.txt")));
    write("logs/readme.md", "# my drives\n");
    fs::resize_file(dir / "logs/readme.md", 256 << 20);  // a video, say: no room for its keys
    write("logs/.hidden.txt", test::readFile(test::repoFile("samples/drive-text.txt")));
    const fs::path cut = write("logs/sub/b.ns1", ns1.substr(0, ns1.size() / 2));
    const fs::path wigle =
        write("logs/sub/c.csv", test::readFile(test::repoFile("samples/wigle-phone.csv")));
    const fs::path binary = write("logs/sub/deeper/d.ns1", ns1);
    const fs::path packed = write("logs/sub/deeper/e.ns1.gz", test::gzipped(ns1));
    std::vector<SkippedLog> unreadable;
    const auto found = filesInFolder(dir / "logs", true, unreadable);
    ASSERT_EQ(found,
              (std::vector<fs::path>{text, dir / "logs/readme.md", cut, wigle, binary, packed}));
    EXPECT_EQ(filesInFolder(dir / "logs", false, unreadable).size(), 2u);
    EXPECT_TRUE(unreadable.empty());
    // A subfolder that cannot be read is reported with its reason; every other file is still
    // found.
    const fs::path deep = test::makeTooDeepFolder(dir / "logs/sub/deeper");
    EXPECT_EQ(filesInFolder(dir / "logs", true, unreadable), found);
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].path, deep);
    EXPECT_NE(unreadable[0].reason.find("too long"), std::string::npos) << unreadable[0].reason;

    const SurveyAddResult added = survey.add(found);
    ASSERT_EQ(added.status, LoadStatus::Loaded);
    EXPECT_EQ(added.notLogs, std::vector<fs::path>{dir / "logs/readme.md"});
    ASSERT_EQ(added.failed.size(), 1u);
    EXPECT_EQ(added.failed[0].path, cut);
    EXPECT_NE(added.failed[0].reason.find("cut short"), std::string::npos)
        << added.failed[0].reason;
    // The binary log saved compressed is the same drive again: every sighting a duplicate.
    ASSERT_EQ(survey.logs().size(), 4u);
    EXPECT_EQ(survey.logs()[3].path, packed);
    EXPECT_EQ(survey.duplicates(), survey.logs()[2].counts.total);
    EXPECT_LT(survey.keyBytes(), 1u << 20);
    // The damaged log's records were taken back: the survey is the three logs' records, with
    // their extras, one after the other.
    EXPECT_EQ(working(), alone(text) + alone(wigle) + alone(binary));
    EXPECT_EQ(working("output1.extras"), alone(text, "output1.extras") +
                                             alone(wigle, "output1.extras") +
                                             alone(binary, "output1.extras"));
    EXPECT_EQ(working("output2"), working());
    EXPECT_EQ(survey.counts().otherRadios, survey.logs()[1].counts.otherRadios);

    // Files that are no logs or are gone add nothing and leave the survey as it was (a log's
    // reason does not repeat its path); so does the same folder again, every sighting a
    // duplicate.
    const std::string before = working();
    const SurveyAddResult none = survey.add({dir / "logs/readme.md", dir / "gone.txt"});
    EXPECT_EQ(none.status, LoadStatus::BadFile);
    EXPECT_EQ(none.failed.at(0).reason, "No such file or directory");
    EXPECT_EQ(survey.add({text}).added.at(0).counts.total, 0u);
    EXPECT_EQ(working(), before);
    for (const auto& entry : fs::directory_iterator(files.folder))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

}  // namespace
}  // namespace velmora
