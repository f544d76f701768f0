// Hostile input: files no scanner wrote. None may crash, hang, or take memory far beyond its
// largest line; whatever loads must read back as exactly what was written.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <random>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/file_name.h"
#include "advanced/mac_access_points.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "records/record_reader.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

constexpr std::string_view kFormatLines = "# head\r\n# $Format: wi-scan with extensions\r\n";

std::vector<WorkingRecord> readRecords(const fs::path& file) {
    RecordReader reader(file);
    std::vector<WorkingRecord> out;
    WorkingRecord record;
    while (reader.next(record)) out.push_back(record);
    return out;
}

class Hostile : public ::testing::Test {
  protected:
    LoadResult load(std::string_view bytes) {
        test::writeFile(dir / "log.txt", bytes);
        return loadSourceLog(dir / "log.txt", files);
    }
    // A loaded working file: its copy is equal, and its records written again give it back
    // byte for byte (so every line holds exactly eleven items).
    void expectSound(const LoadResult& result) {
        ASSERT_EQ(result.status, LoadStatus::Loaded);
        const std::string output1 = test::readFile(files.output1());
        EXPECT_EQ(test::readFile(files.output2()), output1);
        const auto records = readRecords(files.output1());
        EXPECT_EQ(records.size(), result.counts.total);
        std::string rewritten;
        for (const WorkingRecord& record : records) appendRecordLine(rewritten, record);
        EXPECT_TRUE(rewritten == output1) << "records do not read back as written";
    }

    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

TEST_F(Hostile, RandomBytesLoadSoundlyOrAreRejectedAndTheWindowsReadersCope) {
    std::mt19937 random(2004);
    for (const bool withFormat : {false, true}) {
        for (int round = 0; round < 3; ++round) {
            std::string bytes(withFormat ? kFormatLines : "");
            for (int i = 0; i < (256 << 10); ++i)
                // Line ends and tabs more often than chance, so that lines and columns form.
                bytes.push_back(static_cast<char>(random() % 8 == 0 ? "\t\n\r\t,\" ("[random() % 8]
                                                                    : random()));
            const LoadResult result = load(bytes);
            if (!withFormat) {
                EXPECT_NE(result.status, LoadStatus::Loaded) << "no format line";
                continue;
            }
            expectSound(result);
            EXPECT_NO_THROW({
                readNetworkGroups(files.output1());
                CriteriaIndex::build(files.output1());
                loadApEntries(files.output1());
            });
            const fs::path all =
                runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), "r.txt");
            const std::string exported = test::readFile(all);
            EXPECT_EQ(
                static_cast<std::uint64_t>(std::count(exported.begin(), exported.end(), '\n')),
                result.counts.total + 1);
        }
    }
}

TEST_F(Hostile, NulBytesAreCarriedByteForByte) {
    using namespace std::string_literals;
    const std::string name = "a\0b\0"s;
    const std::string log = "#\0 creator\r\n# $Format: wi-scan with extensions\r\n"s +
                            dataLine("N 1\0"s, "E 2", name, "00:00:00:00:00:01", "00\0"s + "1") +
                            "\r\n";
    const LoadResult result = load(log);
    expectSound(result);
    const auto records = readRecords(files.output1());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][WorkingRecord::SSID], name);
    EXPECT_EQ(records[0][WorkingRecord::Flags], "00\0"s + "1");
    EXPECT_EQ(result.counts.wepOn, 0u) << "the NUL is the second character from the right";

    const auto groups = readNetworkGroups(files.output1());
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].name, "A\0B\0"s);
    EXPECT_FALSE(isPlainFileName(apNameFileName(groups[0].name))) << "a NUL would cut the name";
    exportApNameGroup(files.output1(), dir / "group.txt", groups[0].name);
    EXPECT_NE(test::readFile(dir / "group.txt").find(";A\0B\0;"s), std::string::npos);

    // A NUL in the format line makes it another line.
    EXPECT_EQ(load("#\r\n# $Format: wi-scan\0with extensions\r\n"s).status, LoadStatus::BadFile);
}

long maxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs `work` in this (child) process and exits 0 when it succeeded with the peak memory
// grown by at most `limitMiB`, 1 when it failed, 2 when it took more.
[[noreturn]] void withinMemory(long limitMiB, const std::function<bool()>& work) {
    const long before = maxRssKiB();
    const bool ok = work();
    const long grownMiB = (maxRssKiB() - before) / 1024;
    std::fprintf(stderr, "grew by %ld MiB\n", grownMiB);
    _exit(!ok ? 1 : grownMiB <= limitMiB ? 0 : 2);
}

// Writes `prefix`, then `size` bytes of `fill`, without building them in memory; a zero
// fill makes the rest a hole in the file.
void writeLarge(const fs::path& path, std::string_view prefix, std::size_t size, char fill) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << prefix;
        if (fill != '\0') {
            const std::string chunk(1 << 16, fill);
            for (std::size_t left = size; left; left -= std::min(left, chunk.size()))
                out.write(chunk.data(), static_cast<std::streamsize>(std::min(left, chunk.size())));
        }
    }
    if (fill == '\0') fs::resize_file(path, prefix.size() + size);
}

TEST_F(Hostile, A200MbFileWithoutALineEndIsRejectedWithoutHoldingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const std::string_view prefix : {std::string_view(), std::string_view("# first\r\n")}) {
        writeLarge(dir / "huge.txt", prefix, 200u << 20, '\0');
        EXPECT_EXIT(withinMemory(48,
                                 [&] {
                                     const LoadResult r = loadSourceLog(dir / "huge.txt", files);
                                     return r.status == LoadStatus::BadFile &&
                                            !fs::exists(files.output1());
                                 }),
                    ::testing::ExitedWithCode(0), "")
            << (prefix.empty() ? "the first line" : "the format line") << " has no end";
    }
}

TEST_F(Hostile, ADataLineOfSeveralMegabytesLoadsAndExportsInMemoryOfAFewLines) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr std::size_t kName = 6u << 20;
    const std::string start = std::string(kFormatLines) + "N 1\tE 2\t";
    writeLarge(dir / "long.txt", start, kName, 'n');
    {
        std::ofstream out(dir / "long.txt", std::ios::binary | std::ios::app);
        out << "\tBSS\t00:00:00:00:00:01\tt\ts\t#\t0011\t40\t100\r\n"
            << dataLine("N 3", "E 4", "next", "00:00:00:00:00:02", "0012") << "\r\n";
    }
    // The line is held by the reader, a record and its written line at once, a few times.
    EXPECT_EXIT(withinMemory(8 * 6 + 32,
                             [&] {
                                 const LoadResult r = loadSourceLog(dir / "long.txt", files);
                                 const fs::path all = runMainExport(
                                     MainExport::ConvertAll, files.output1(), dir.path(), "l.txt");
                                 return r.counts.total == 2 && fs::file_size(all) > kName;
                             }),
                ::testing::ExitedWithCode(0), "");

    // The child's working file went with it; what it holds is checked here.
    ASSERT_EQ(loadSourceLog(dir / "long.txt", files).counts.total, 2u);
    const auto records = readRecords(files.output1());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][WorkingRecord::SSID], std::string(kName, 'n'));
    EXPECT_EQ(records[1][WorkingRecord::SSID], "next") << "the next line is not disturbed";
}

TEST_F(Hostile, AHundredThousandDistinctNetworkNames) {
    constexpr int kNames = 100000;
    std::string log(kFormatLines);
    char name[16], mac[24];
    for (int i = 0; i < kNames; ++i) {
        std::snprintf(name, sizeof name, "net%06d", i);
        std::snprintf(mac, sizeof mac, "00:00:00:%02x:%02x:%02x", i >> 16, (i >> 8) & 255, i & 255);
        log += dataLine("N 1", "E 2", name, mac, i % 2 ? "0011" : "0002") + "\r\n";
    }
    expectSound(load(log));
    const auto groups = readNetworkGroups(files.output1());
    ASSERT_EQ(groups.size(), static_cast<std::size_t>(kNames));
    EXPECT_EQ(groups.back().name, "NET099999");
    const CriteriaIndex index = CriteriaIndex::build(files.output1());
    EXPECT_EQ(index.networkNames().size(), static_cast<std::size_t>(kNames));
    EXPECT_EQ(index.recount("NET012345", ConnectionType::Bss, WepStatus::On),
              std::vector<std::string>{"00:00:00:00:30:39"});
    EXPECT_EQ(loadApEntries(files.output1()).size(), static_cast<std::size_t>(kNames));
    EXPECT_EQ(exportApNameGroup(files.output1(), dir / "one.txt", "NET054321"), 1u);
}

TEST_F(Hostile, NamesWithEveryByteValueSurviveLoadGroupingAndExport) {
    // Every byte from 1 to 255 but the line ends and the tab, which end a line or a column.
    std::string name;
    for (int b = 1; b < 256; ++b)
        if (b != '\t' && b != '\n' && b != '\r') name.push_back(static_cast<char>(b));
    std::string stored;  // spaces and parentheses go
    for (char c : name)
        if (c != ' ' && c != '(' && c != ')') stored.push_back(c);

    const LoadResult result =
        load(std::string(kFormatLines) + dataLine("N 1", "E 2", name, "00:00:00:00:00:01", "0011") +
             "\r\n" + dataLine("N 1", "E 2", "plain", "00:00:00:00:00:02", "0011") + "\r\n");
    expectSound(result);
    const auto records = readRecords(files.output1());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][WorkingRecord::SSID], stored);
    EXPECT_EQ(records[1][WorkingRecord::SSID], "plain") << "the quoted name does not spill over";

    const auto groups = readNetworkGroups(files.output1());
    ASSERT_EQ(groups.size(), 2u);
    const std::string group = toUpperAscii(stored);
    EXPECT_TRUE(groups[0].name == group || groups[1].name == group);
    EXPECT_FALSE(isPlainFileName(apNameFileName(group))) << "it holds a /";
    EXPECT_EQ(exportApNameGroup(files.output1(), dir / "group.txt", group), 1u);
    EXPECT_NE(test::readFile(dir / "group.txt").find(";" + group + ";"), std::string::npos);
    CriteriaSelection s;
    s.name = group;
    EXPECT_EQ(exportCriteria(files.output1(), dir / "criteria.txt", s), 1u);
}

}  // namespace
}  // namespace velmora
