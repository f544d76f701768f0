#include "loader/source_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "records/record_reader.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;
using test::textLog;

class Loader : public ::testing::Test {
  protected:
    LoadResult load(std::string_view logBytes, const char* name = "drive.txt") {
        test::writeFile(dir / name, logBytes);
        return loadSourceLog(dir / name, files);
    }
    std::string output1() const { return test::readFile(files.output1()); }
    std::vector<WorkingRecord> records() const {
        RecordReader reader(files.output1());
        std::vector<WorkingRecord> out;
        WorkingRecord record;
        while (reader.next(record)) out.push_back(record);
        return out;
    }

    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

const std::string kGps =
    dataLine("N 41.1234567", "W 81.7654321", "home", "00:06:25:0a:1b:2c", "0011");

TEST_F(Loader, AcceptsOnlyTheTwoFormatLinesExactly) {
    const std::string text = "# $Format: wi-scan with extensions";
    const std::string summary = "# $Format: wi-scan summary with extensions";
    struct Case {
        std::string bytes;
        LoadStatus status;
    } cases[] = {
        {"line one\r\n" + text + "\r\n", LoadStatus::Loaded},
        {"line one\r\n" + summary + "\r\n", LoadStatus::Loaded},
        {"line one\n" + text + "\n", LoadStatus::Loaded},
        {"line one\r" + summary, LoadStatus::Loaded},
        {"line one\r\n" + text + " \r\n", LoadStatus::BadFile},
        {"line one\r\n# $format: wi-scan with extensions\r\n", LoadStatus::BadFile},
        {" " + text + "\r\n" + text + "x\r\n", LoadStatus::BadFile},
        {text + "\r\n", LoadStatus::BadFile},
        {"", LoadStatus::BadFile},
        {std::string(5 << 20, 'z'), LoadStatus::BadFile},
    };
    for (const auto& c : cases) {
        const LoadResult result = load(c.bytes);
        EXPECT_EQ(result.status, c.status) << c.bytes.substr(0, 80);
        if (c.status == LoadStatus::BadFile) {
            EXPECT_EQ(result.report, "Bad File - Try Again");
        }
    }
    EXPECT_EQ(load("x\r\n" + summary + "\r\n").type, SourceType::SummaryExport);
    EXPECT_STREQ(sourceTypeText(SourceType::SummaryExport), "NS1 Summary Export");
}

TEST_F(Loader, WorkingFilesThatAreLinksAreReplacedNotWrittenThrough) {
    test::writeFile(dir / "victim", "precious\r\n");
    fs::create_symlink(dir / "victim", files.output1());
    fs::create_symlink(dir / "victim", files.output2());
    ASSERT_EQ(load(textLog({kGps})).status, LoadStatus::Loaded);
    EXPECT_EQ(test::readFile(dir / "victim"), "precious\r\n");
    EXPECT_FALSE(fs::is_symlink(files.output1()));
    EXPECT_FALSE(fs::is_symlink(files.output2()));
}

TEST_F(Loader, RejectedFileLeavesTheWorkingFileAlone) {
    test::writeFile(files.output1(), "kept\r\n");
    EXPECT_EQ(load("a\r\nb\r\n").status, LoadStatus::BadFile);
    EXPECT_EQ(output1(), "kept\r\n");
}

TEST_F(Loader, DropsAndCountsLinesWithoutAGpsPosition) {
    struct Case {
        const char* line;
        bool dropped;
    } cases[] = {
        {"N 0.0000000", true}, {"S 0.0451234", true}, {"N 10.0000000", false}, {"N 0.1", false},
        {"0.0", true},         {"x0.0", true},        {"N 0.", false},         {"0.", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNonGpsEntry(c.line), c.dropped) << c.line;

    const auto result =
        load(textLog({dataLine("N 0.0000000", "E 0.0000000", "a", "00:00:00:00:00:01", "0011"),
                      kGps, dataLine("S 0.0451234", "E 1.0", "b", "00:00:00:00:00:02", "0011"),
                      dataLine("N 10.0000000", "E 1.0", "c", "00:00:00:00:00:03", "0011")}));
    EXPECT_EQ(result.counts.dropped, 2u);
    EXPECT_EQ(result.counts.total, 2u);
}

TEST_F(Loader, NormalisesEachDataLineIntoOneElevenItemRecord) {
    const auto result = load(textLog({
        dataLine("N 41.1234567", "W 81.7654321", "my (home) net", "00:06:25:0a:1b:2c", "0011"),
        "# a comment among the data",
        dataLine("S 1.5", "E 2.5", "", "00:06:25:0a:1b:2d", "0012"),
        dataLine("S 1.5", "E 2.5", "   ", "00:06:25:0a:1b:2e", "0012"),
    }));
    ASSERT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(result.report, "Processing Done!");
    EXPECT_EQ(
        output1(),
        "N41.1234567,W81.7654321,myhomenet,BSS,00:06:25:0a:1b:2c,01:02:03GMT,[257449],#,"
        "0011,00000040,100\r\n"
        "S1.5,E2.5,#Blank#,BSS,00:06:25:0a:1b:2d,01:02:03GMT,[257449],#,0012,00000040,100\r\n"
        "S1.5,E2.5,#Blank#,BSS,00:06:25:0a:1b:2e,01:02:03GMT,[257449],#,0012,00000040,100\r\n");
    EXPECT_EQ(test::readFile(files.output2()), output1());
    const auto perms = fs::status(files.output1()).permissions();
    EXPECT_EQ(perms & fs::perms::owner_write, fs::perms::none) << "output1 is left hidden";
}

TEST_F(Loader, ThirteenAndShortColumnLinesStillGiveExactlyElevenItems) {
    const std::string thirteen = kGps + "\t110\t6";
    const std::string shortLine = "N 1.0\tE 2.0\t( cut )";
    load(textLog({thirteen, shortLine, kGps}, "\n"));
    const auto got = records();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0][WorkingRecord::BeaconInterval], "100");
    EXPECT_EQ(got[1][WorkingRecord::SSID], "cut");
    EXPECT_EQ(got[1][WorkingRecord::BeaconInterval], "");
    EXPECT_EQ(got[2][WorkingRecord::Latitude], "N41.1234567");
    // Every stored line holds 11 items: 10 separators (no item here needs quotes).
    const std::string stored = output1();
    for (std::size_t start = 0, end; (end = stored.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        EXPECT_EQ(std::count(stored.begin() + start, stored.begin() + end, ','), 10);
}

TEST_F(Loader, CommasAndQuotesInANameStayInsideOneItem) {
    load(textLog({dataLine("N 1", "E 2", "Cafe, Bar", "00:00:00:00:00:01", "0011"),
                  dataLine("N 1", "E 2", "the \"den\"", "00:00:00:00:00:02", "0011"),
                  dataLine("N 1", "E 2", "\xe9t\xe9", "00:00:00:00:00:03", "0011"), kGps}));
    const auto got = records();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0][WorkingRecord::SSID], "Cafe,Bar");
    EXPECT_EQ(got[1][WorkingRecord::SSID], "the\"den\"");
    EXPECT_EQ(got[2][WorkingRecord::SSID], "\xe9t\xe9");
    EXPECT_EQ(got[3][WorkingRecord::SSID], "home") << "later records are not shifted";
    EXPECT_NE(output1().find(",\"Cafe,Bar\",BSS,"), std::string::npos);
    EXPECT_EQ(test::readFile(files.output2()), output1());
}

TEST_F(Loader, BlankDataLinesAndAnUnmarkedFirstLineAreHandled) {
    std::string log = textLog({kGps, "", " \t ", kGps});
    log += "\r\n";
    load(log);
    EXPECT_EQ(records().size(), 2u) << "blank lines make no record";

    // A first line that is no comment is data like any other.
    load(kGps + "\r\n# $Format: wi-scan with extensions\r\n");
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(Loader, CountsFollowTheFlagsCharacters) {
    struct Case {
        const char* flags;
        int wepOff, wepOn, infrastructure, adHoc;
    } cases[] = {
        {"0015", 0, 1, 1, 0}, {"0012", 0, 1, 0, 1}, {"0003", 1, 0, 0, 0},
        {"0061", 0, 0, 1, 0}, {"0026", 1, 0, 0, 1}, {"", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto result =
            load(textLog({dataLine("N 1", "E 2", "n", "00:00:00:00:00:01", c.flags)}));
        EXPECT_EQ(result.counts.total, 1u) << c.flags;
        EXPECT_EQ(result.counts.wepOff, static_cast<std::uint64_t>(c.wepOff)) << c.flags;
        EXPECT_EQ(result.counts.wepOn, static_cast<std::uint64_t>(c.wepOn)) << c.flags;
        EXPECT_EQ(result.counts.infrastructure, static_cast<std::uint64_t>(c.infrastructure))
            << c.flags;
        EXPECT_EQ(result.counts.adHoc, static_cast<std::uint64_t>(c.adHoc)) << c.flags;
    }
}

TEST_F(Loader, OnlyNonGpsLinesGiveAnEmptyWorkingFileAndTheLoadedState) {
    const auto result =
        load(textLog({dataLine("N 0.0", "E 0.0", "a", "00:00:00:00:00:01", "0011"),
                      dataLine("N 0.0", "E 0.0", "b", "00:00:00:00:00:02", "0002")}));
    EXPECT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(result.counts.total, 0u);
    EXPECT_EQ(result.counts.dropped, 2u);
    EXPECT_EQ(output1(), "");
}

TEST_F(Loader, SamplesMatchTheirLogsLineByLine) {
    for (const char* sample : {"samples/drive-text.txt", "samples/drive-summary.txt"}) {
        const auto result = loadSourceLog(test::repoFile(sample), files);
        ASSERT_EQ(result.status, LoadStatus::Loaded) << sample;
        std::string log = test::readFile(test::repoFile(sample));
        std::uint64_t data = 0, nonGps = 0;
        std::size_t start = 0;
        while (start < log.size()) {
            std::size_t end = log.find_first_of("\r\n", start);
            if (end == std::string::npos) end = log.size();
            const std::string_view line(log.data() + start, end - start);
            if (!line.empty() && line[0] != '#') (isNonGpsEntry(line) ? nonGps : data)++;
            start = log.find_first_not_of("\r\n", end);
            if (start == std::string::npos) break;
        }
        EXPECT_EQ(result.counts.total, data) << sample;
        EXPECT_EQ(result.counts.dropped, nonGps) << sample;
        EXPECT_EQ(records().size(), data) << sample;
        EXPECT_EQ(test::readFile(files.output2()), output1());
    }
}

// The four passes written plainly, one line at a time: the loader must leave the same bytes
// and counts however it gets there.
struct Model {
    std::string output1;
    LoadCounts counts;

    void add(std::string_view line) {
        if (isCommentLine(line) || isBlankLine(line)) return;
        if (isNonGpsEntry(line)) {
            ++counts.dropped;
            return;
        }
        WorkingRecord record;
        std::size_t column = 0;
        for (char c : line) {
            if (c == '\t') {
                if (++column == WorkingRecord::kFieldCount) break;
            } else if (c != ' ' && c != '(' && c != ')') {
                record.fields[column] += c;
            }
        }
        if (record[WorkingRecord::SSID].empty()) record[WorkingRecord::SSID] = "#Blank#";
        appendRecordLine(output1, record);
        const std::string& flags = record[WorkingRecord::Flags];
        const char second = secondFromRight(flags), last = lastChar(flags);
        if (second && std::string_view("024").find(second) != std::string_view::npos)
            ++counts.wepOff;
        if (second && std::string_view("135").find(second) != std::string_view::npos)
            ++counts.wepOn;
        if (last == '1' || last == '5') ++counts.infrastructure;
        if (last == '2' || last == '6') ++counts.adHoc;
        ++counts.total;
    }
};

TEST_F(Loader, RandomLinesGiveWhatTheFourPassesGive) {
    // Pieces that each exercise a rule: dropped characters, separators, quotes, 8-bit bytes,
    // empty and extra columns, flags of one or no character, non-GPS positions.
    const std::vector<std::string> pieces = {"N 41.1234567",
                                             "S 0.0451",
                                             "0.0",
                                             "x0.0",
                                             "W 81.7",
                                             "( my net )",
                                             "Cafe, Bar",
                                             "the \"den\"",
                                             "\xe9t\xe9",
                                             "",
                                             " ",
                                             "(",
                                             ")",
                                             "  ",
                                             "0011",
                                             "0012",
                                             "5",
                                             "#",
                                             "a;b",
                                             "00:0c:41:1A:2b:3c",
                                             "ad-hoc",
                                             "\x00"};
    std::mt19937 random(2004);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const char* eols[] = {"\r\n", "\n", "\r"};
    for (int round = 0; round < 4; ++round) {
        std::string log = "x\r\n# $Format: wi-scan with extensions\r\n";
        Model model;
        model.add("x");  // an unmarked first line is data
        for (int i = 0; i < 3000; ++i) {
            std::string line;
            const std::size_t columns = pick(15);
            for (std::size_t c = 0; c < columns; ++c) {
                if (c) line += '\t';
                for (std::size_t k = pick(4); k > 0; --k) line += pieces[pick(pieces.size())];
            }
            model.add(line);
            log += line;
            log += eols[round < 3 ? round : pick(3)];
        }
        const LoadResult result = load(log);
        ASSERT_EQ(result.status, LoadStatus::Loaded);
        EXPECT_EQ(output1(), model.output1) << "round " << round;
        EXPECT_EQ(test::readFile(files.output2()), model.output1);
        const LoadCounts& got = result.counts;
        EXPECT_EQ(got.total, model.counts.total);
        EXPECT_EQ(got.dropped, model.counts.dropped);
        EXPECT_EQ(got.wepOff, model.counts.wepOff);
        EXPECT_EQ(got.wepOn, model.counts.wepOn);
        EXPECT_EQ(got.infrastructure, model.counts.infrastructure);
        EXPECT_EQ(got.adHoc, model.counts.adHoc);
    }
}

TEST_F(Loader, FailuresNeverLeaveAHalfWrittenWorkingFile) {
    test::writeFile(dir / "log.txt", textLog({kGps}));

    const auto missing = loadSourceLog(dir / "absent.txt", files);
    EXPECT_EQ(missing.status, LoadStatus::NotReadable);
    EXPECT_EQ(missing.report, "File Not Readable - Try Again");
    EXPECT_NE(missing.reason.find("absent.txt"), std::string::npos);

    EXPECT_EQ(loadSourceLog(dir.path(), files).status, LoadStatus::NotReadable)
        << "a folder is no log";

    // A working folder below a regular file cannot be created, even by root.
    test::writeFile(dir / "plain", "x");
    const WorkingFiles blocked{dir / "plain" / "work"};
    const auto result = loadSourceLog(dir / "log.txt", blocked);
    EXPECT_EQ(result.status, LoadStatus::WorkingFileError);
    EXPECT_EQ(result.report, "Working File Error - Check Folder");
    EXPECT_FALSE(result.reason.empty());
    EXPECT_FALSE(fs::exists(files.output1()));
}

}  // namespace
}  // namespace velmora
