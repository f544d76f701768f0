#include "advanced/criteria.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "loader/source_loader.h"
#include "records/file_error.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::dataLine;
using test::TempDir;
using test::textLog;

constexpr ConnectionType kTypes[] = {ConnectionType::Bss, ConnectionType::AdHoc,
                                     ConnectionType::Both};
constexpr WepStatus kWeps[] = {WepStatus::On, WepStatus::Off, WepStatus::Both};

TEST(CriteriaFlags, EachTestLooksAtItsOwnCharacterAgainstAFixedSet) {
    struct Case {
        const char* flags;
        bool bss, adHoc, on, off;
    };
    const Case cases[] = {
        {"0001", true, false, false, true},
        {"0005", true, false, false, true},
        {"0009", true, false, false, true},
        {"0002", false, true, false, true},
        {"0006", false, true, false, true},
        {"0010", false, true, true, false},
        {"0011", true, false, true, false},
        {"0031", true, false, true, false},
        {"0051", true, false, true, false},
        {"0091", true, false, true, false},
        {"0042", false, true, false, true},
        {"0081", true, false, false, true},
        // Characters outside every set pass only Both.
        {"0013", false, false, true, false},
        {"0071", true, false, false, false},
        {"0003", false, false, false, true},
        {"0007", false, false, false, true},
        {"0008", false, false, false, true},
        {"0004", false, false, false, true},
        {"001a", false, false, true, false},
        {"001A", false, false, true, false},
        {"00a1", true, false, false, false},
        {"00F1", true, false, false, false},
        {"00b2", false, true, false, false},
        {"0061", true, false, false, false},
        // A one-character field is examined by both tests.
        {"1", true, false, true, false},
        {"5", true, false, true, false},
        {"9", true, false, true, false},
        {"2", false, true, false, true},
        {"0", false, true, false, true},
        {"8", false, false, false, true},
        {"3", false, false, true, false},
        {"a", false, false, false, false},
        {"", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Flags \"") + c.flags + "\"");
        EXPECT_EQ(passesConnectionType(ConnectionType::Bss, c.flags), c.bss);
        EXPECT_EQ(passesConnectionType(ConnectionType::AdHoc, c.flags), c.adHoc);
        EXPECT_TRUE(passesConnectionType(ConnectionType::Both, c.flags));
        EXPECT_EQ(passesWepStatus(WepStatus::On, c.flags), c.on);
        EXPECT_EQ(passesWepStatus(WepStatus::Off, c.flags), c.off);
        EXPECT_TRUE(passesWepStatus(WepStatus::Both, c.flags));
    }
}

// A loaded working record file in a folder of its own.
class LoadedLog {
  public:
    explicit LoadedLog(const std::string& log) {
        test::writeFile(dir_ / "log.txt", log);
        const LoadResult result = loadSourceLog(dir_ / "log.txt", WorkingFiles{dir_.path()});
        if (result.status != LoadStatus::Loaded) throw std::runtime_error(result.report);
    }
    std::filesystem::path output1() const { return dir_ / "output1"; }
    std::filesystem::path out(std::string_view name) const { return dir_ / name; }

  private:
    TempDir dir_;
};

// Both recounts, which must always agree.
std::vector<std::string> recountBoth(const LoadedLog& log, std::string_view name,
                                     ConnectionType type = ConnectionType::Both,
                                     WepStatus wep = WepStatus::Both) {
    const auto byReading = recountByReading(log.output1(), name, type, wep);
    EXPECT_EQ(CriteriaIndex::build(log.output1()).recount(name, type, wep), byReading);
    return byReading;
}

TEST(CriteriaRecount, NamesAndMacsAreUpperCasedDistinctAndSorted) {
    const LoadedLog log(textLog({
        dataLine("N 1.0", "E 2.0", "home", "00:0f:66:aa:bb:01", "0011"),
        dataLine("N 1.0", "E 2.0", "Zeta", "00:00:00:00:00:09", "0001"),
        dataLine("N 1.0", "E 2.0", "Home", "00:0F:66:AA:BB:01", "0011"),
        dataLine("N 1.0", "E 2.0", "HOME", "00:0A:00:00:00:02", "0001"),
        dataLine("N 1.0", "E 2.0", "", "00:00:00:00:00:03", "0001"),
    }));
    EXPECT_EQ(CriteriaIndex::build(log.output1()).networkNames(),
              (std::vector<std::string>{"#BLANK#", "HOME", "ZETA"}));
    EXPECT_EQ(recountBoth(log, "HOME"),
              (std::vector<std::string>{"00:0A:00:00:00:02", "00:0F:66:AA:BB:01"}));
    // The lists hold upper-cased names; a name as typed in the log is not one of them.
    EXPECT_TRUE(recountBoth(log, "home").empty());
    EXPECT_TRUE(recountBoth(log, "NOWHERE").empty());
}

TEST(CriteriaRecount, NoSelectedNameMatchesNothing) {
    const LoadedLog log(textLog({dataLine("N 1.0", "E 2.0", "home", "00:00:00:00:00:01", "0001")}));
    EXPECT_TRUE(recountBoth(log, "").empty());
    EXPECT_TRUE(CriteriaIndex().recount("HOME", ConnectionType::Both, WepStatus::Both).empty());
    EXPECT_EQ(matchingRecordsText(0), "Matching Records:0");
    EXPECT_EQ(matchingRecordsText(17), "Matching Records:17");
}

TEST(CriteriaRecount, AMacIsCountedWhenAnyOfItsSightingsPasses) {
    // One access point seen with two Flags values: it matches each criterion one of them meets.
    const LoadedLog log(textLog({
        dataLine("N 1.0", "E 2.0", "net", "00:00:00:00:00:01", "0011"),
        dataLine("N 1.0", "E 2.0", "net", "00:00:00:00:00:01", "0002", "Ad-hoc"),
        dataLine("N 1.0", "E 2.0", "net", "00:00:00:00:00:02", "0013"),
    }));
    using V = std::vector<std::string>;
    EXPECT_EQ(recountBoth(log, "NET", ConnectionType::Bss, WepStatus::On), V{"00:00:00:00:00:01"});
    EXPECT_EQ(recountBoth(log, "NET", ConnectionType::AdHoc, WepStatus::Off),
              V{"00:00:00:00:00:01"});
    EXPECT_TRUE(recountBoth(log, "NET", ConnectionType::Bss, WepStatus::Off).empty());
    EXPECT_EQ(recountBoth(log, "NET", ConnectionType::Both, WepStatus::On),
              (V{"00:00:00:00:00:01", "00:00:00:00:00:02"}));
}

TEST(CriteriaRecount, AMissingWorkingFileIsReported) {
    TempDir dir;
    EXPECT_THROW(CriteriaIndex::build(dir / "output1"), FileError);
    EXPECT_THROW(recountByReading(dir / "output1", "X", ConnectionType::Both, WepStatus::Both),
                 FileError);
}

// A log of many names and MAC addresses in mixed letter case, Flags of every class, and
// names with commas, quotes and 8-bit bytes, from a fixed seed.
std::string variedLog() {
    const char* names[] = {"home",       "Home",    "HOME", "linksys", "a,b",
                           "say \"hi\"", "caf\xe9", "",     "default", "x"};
    const char* flags[] = {"0001", "0002", "0005", "0006", "0009", "0010", "0011",
                           "0012", "0013", "0021", "0031", "0042", "0071", "0081",
                           "001a", "001A", "00a1", "1",    "2",    "8",    "0003"};
    std::mt19937 random(2004);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "00:0%c:66:1a:2b:%02x", "aAbB"[pick(4)],
                      static_cast<unsigned>(pick(40)));
        lines.push_back(dataLine("N 59.7", "E 168.5", names[pick(std::size(names))], mac,
                                 flags[pick(std::size(flags))], pick(3) ? "BSS" : "Ad-hoc"));
    }
    std::string log = textLog({});
    for (const std::string& line : lines) log.append(line).append("\r\n");
    return log;
}

// Column 5 of every export line, distinct and sorted.
std::vector<std::string> exportedMacs(const std::string& file) {
    std::set<std::string> macs;
    std::istringstream lines(file);
    std::string line;
    std::getline(lines, line);  // header
    while (std::getline(lines, line)) {
        std::size_t pos = 0;
        for (int i = 0; i < 4; ++i) pos = line.find(';', pos) + 1;
        macs.insert(line.substr(pos, line.find(';', pos) - pos));
    }
    return {macs.begin(), macs.end()};
}

TEST(CriteriaRecount, IndexAndExportAgreeWithReadingTheFileOnAVariedLog) {
    const LoadedLog log(variedLog());
    const CriteriaIndex index = CriteriaIndex::build(log.output1());
    ASSERT_GE(index.networkNames().size(), 6u);
    std::size_t nonEmpty = 0;
    for (const std::string& name : index.networkNames()) {
        for (const ConnectionType type : kTypes) {
            for (const WepStatus wep : kWeps) {
                SCOPED_TRACE(name + " " + std::to_string(int(type)) + std::to_string(int(wep)));
                const auto expected = recountByReading(log.output1(), name, type, wep);
                ASSERT_EQ(index.recount(name, type, wep), expected);
                nonEmpty += !expected.empty();
                // The AP-name export writes exactly the sightings the recount takes.
                CriteriaSelection selection{name, "", type, wep, CriteriaExportMode::ApName};
                exportCriteria(log.output1(), log.out("export.txt"), selection);
                ASSERT_EQ(exportedMacs(test::readFile(log.out("export.txt"))), expected);
            }
        }
    }
    EXPECT_GT(nonEmpty, 20u);
}

TEST(CriteriaFileName, ProposedNamesOfBothModes) {
    struct Case {
        CriteriaExportMode mode;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {CriteriaExportMode::ApName, "HOME", "Custom_SSID_HOME.TXT"},
        {CriteriaExportMode::ApName, "A/B:C", "Custom_SSID_A/B:C.TXT"},
        {CriteriaExportMode::MacAddress, "00:0F:66:1A:2B:3C", "Custom_MAC_000F661A2B3C.TXT"},
        {CriteriaExportMode::MacAddress, "00:0F:66:1A:2B:3C:77", "Custom_MAC_000F661A2B3C.TXT"},
        {CriteriaExportMode::MacAddress, "", "Custom_MAC_.TXT"},
        // Shorter texts: each piece is the last two of what the first k characters give.
        {CriteriaExportMode::MacAddress, "A", "Custom_MAC_AAAAAA.TXT"},
        {CriteriaExportMode::MacAddress, "00:0F", "Custom_MAC_000F0F0F0F0F.TXT"},
        {CriteriaExportMode::MacAddress, "00:0F:6", "Custom_MAC_000F:6:6:6:6.TXT"},
    };
    for (const Case& c : cases) {
        CriteriaSelection selection;
        selection.mode = c.mode;
        (c.mode == CriteriaExportMode::ApName ? selection.name : selection.mac) = c.text;
        EXPECT_EQ(criteriaFileName(selection), c.expected) << c.text;
    }
}

TEST(CriteriaExport, RunsOnlyWithMatchesAndASelectedName) {
    CriteriaSelection selection{"HOME", "", ConnectionType::Both, WepStatus::Both,
                                CriteriaExportMode::MacAddress};
    EXPECT_TRUE(criteriaExportAllowed(selection, 1));  // no MAC selected: not refused
    EXPECT_FALSE(criteriaExportAllowed(selection, 0));
    selection.name.clear();
    EXPECT_FALSE(criteriaExportAllowed(selection, 3));
}

class CriteriaExportFile : public ::testing::Test {
  protected:
    const LoadedLog log{textLog({
        dataLine("N 1.5", "W 2.5", "home", "00:0f:66:aa:bb:01", "00F1"),
        dataLine("S 1.5", "E 2.5", "office", "00:0F:66:aa:bb:01", "0011"),
        dataLine("N 3.5", "E 4.5", "Home", "00:0F:66:AA:BB:02", "0002", "Ad-hoc"),
        dataLine("N 5.5", "E 6.5", "office", "00:0F:66:AA:BB:01", "0002", "Ad-hoc"),
    })};

    std::string run(const CriteriaSelection& selection, std::uint64_t expectedLines) {
        EXPECT_EQ(exportCriteria(log.output1(), log.out("x.TXT"), selection), expectedLines);
        return test::readFile(log.out("x.TXT"));
    }
};

constexpr const char* kHeader = "Latitude;Longitude;Name; ;Name 2\r\n";

TEST_F(CriteriaExportFile, ApNameWithBothWritesEverySightingUpperCased) {
    EXPECT_EQ(
        run({"HOME", "", ConnectionType::Both, WepStatus::Both, CriteriaExportMode::ApName}, 2),
        std::string(kHeader) +
            "1.5;-2.5;HOME;BSS;00:0F:66:AA:BB:01;01:02:03GMT;[257449];#;00F1;00000040;100\r\n"
            "3.5;4.5;HOME;Ad-hoc;00:0F:66:AA:BB:02;01:02:03GMT;[257449];#;0002;00000040;"
            "100\r\n");
}

TEST_F(CriteriaExportFile, MacModeIgnoresTheNameButKeepsTheFlagsTests) {
    const std::string file = run({"HOME", "00:0F:66:AA:BB:01", ConnectionType::Bss, WepStatus::Both,
                                  CriteriaExportMode::MacAddress},
                                 2);
    EXPECT_EQ(file, std::string(kHeader) +
                        "1.5;-2.5;HOME;BSS;00:0F:66:AA:BB:01;01:02:03GMT;[257449];#;00F1;"
                        "00000040;100\r\n"
                        "-1.5;2.5;OFFICE;BSS;00:0F:66:AA:BB:01;01:02:03GMT;[257449];#;0011;"
                        "00000040;100\r\n");
}

TEST_F(CriteriaExportFile, NothingPassingLeavesTheHeaderAlone) {
    EXPECT_EQ(
        run({"HOME", "", ConnectionType::Both, WepStatus::Both, CriteriaExportMode::MacAddress}, 0),
        kHeader);
    EXPECT_EQ(
        run({"HOME", "", ConnectionType::AdHoc, WepStatus::On, CriteriaExportMode::ApName}, 0),
        kHeader);
}

TEST_F(CriteriaExportFile, AFailedExportIsReportedAndLeavesNoFile) {
    test::writeFile(log.out("file"), "not a folder");
    EXPECT_THROW(exportCriteria(log.output1(), log.out("file") / "x.TXT", CriteriaSelection{}),
                 FileError);
    EXPECT_FALSE(std::filesystem::exists(log.out("file") / "x.TXT"));
}

}  // namespace
}  // namespace velmora
