#include "advanced/ap_name.h"

#include <gtest/gtest.h>

#include "advanced/file_name.h"
#include "export/export_line.h"
#include "loader/source_loader.h"
#include "records/file_error.h"
#include "support/test_support.h"

namespace velmora {

void PrintTo(const NetworkGroup& group, std::ostream* out) {
    *out << group.name << " (" << group.uniqueAccessPoints << ")";
}

namespace {

using test::dataLine;

// HomeNet and HOMENET share one access point in two spellings of its MAC address (the
// first record's) and add a second one; OFFICE is one access point seen five times.
const std::string kLog = test::textLog({
    dataLine("N 45.2", "E 19.2", "HomeNet", "00:0c:41:aa:bb:01", "0011"),
    dataLine("N 45.3", "E 19.3", "office", "00:09:5b:00:00:09", "0001"),
    dataLine("N 45.4", "E 19.4", "HOMENET", "00:0C:41:AA:BB:01", "0011"),
    dataLine("N 45.5", "E 19.5", "OFFICE", "00:09:5B:00:00:09", "0001"),
    dataLine("N 45.6", "E 19.6", "Office", "00:09:5b:00:00:09", "0001"),
    dataLine("S 12.5", "W 3.25", "HOMENET", "00:0c:41:aa:bb:02", "0011"),
    dataLine("N 45.7", "E 19.7", "", "00:30:bd:00:00:01", "0002", "ad-hoc"),
    dataLine("N 45.8", "E 19.8", "office", "00:09:5b:00:00:09", "0001"),
    dataLine("N 45.9", "E 19.9", "\xe9toile", "00:30:bd:00:00:02", "0011"),
    dataLine("N 46.0", "W 20.0", "homenet", "00:0c:41:aa:bb:02", "0011"),
    dataLine("N 46.1", "E 20.1", "zed", "00:30:bd:00:00:03", "0011"),
    dataLine("N 46.2", "E 20.2", "a,b \"c\"", "00:30:bd:00:00:04", "0011"),
    dataLine("N 46.3", "E 20.3", "OFFICE", "00:09:5b:00:00:09", "0001"),
});

class ApName : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir / "drive.txt", kLog);
        ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    }

    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

TEST_F(ApName, GroupsAreDistinctUpperCasedNamesInByteOrderWithTheirAccessPointCounts) {
    // Only ASCII letters are upper-cased, and a byte above 0x7F sorts after every ASCII name.
    const std::vector<NetworkGroup> expected = {
        {"#BLANK#", 1}, {"A,B\"C\"", 1}, {"HOMENET", 2},
        {"OFFICE", 1},  {"ZED", 1},      {"\xe9TOILE", 1},
    };
    EXPECT_EQ(readNetworkGroups(files.output1()), expected);
}

TEST_F(ApName, CountOfOneGroupAgreesWithTheListAndMatchesExactly) {
    for (const NetworkGroup& group : readNetworkGroups(files.output1()))
        EXPECT_EQ(countUniqueAccessPoints(files.output1(), group.name), group.uniqueAccessPoints)
            << group.name;
    EXPECT_EQ(countUniqueAccessPoints(files.output1(), "HomeNet"), 0u);
    EXPECT_EQ(countUniqueAccessPoints(files.output1(), "HOME"), 0u);
}

TEST_F(ApName, EmptyWorkingFileHasNoGroups) {
    test::writeFile(dir / "empty", "");
    EXPECT_TRUE(readNetworkGroups(dir / "empty").empty());
}

TEST_F(ApName, ExportWritesEveryRecordOfTheGroupInFileOrderWithTheGroupNameInColumnThree) {
    const auto target = dir / "AP-HOMENET.TXT";
    EXPECT_EQ(exportApNameGroup(files.output1(), target, "HOMENET"), 4u);
    const auto line = [](std::string_view lat, std::string_view lon, std::string_view bssid) {
        std::string out;
        out.append(lat).append(";").append(lon).append(";HOMENET;BSS;").append(bssid);
        return out + ";01:02:03GMT;[257449];#;0011;00000040;100\r\n";
    };
    // The MAC address stays as read: only the name column is upper-cased.
    EXPECT_EQ(test::readFile(target), std::string(kExportHeader) +
                                          line("45.2", "19.2", "00:0c:41:aa:bb:01") +
                                          line("45.4", "19.4", "00:0C:41:AA:BB:01") +
                                          line("-12.5", "-3.25", "00:0c:41:aa:bb:02") +
                                          line("46.0", "-20.0", "00:0c:41:aa:bb:02"));
}

TEST_F(ApName, MissingWorkingFileIsReportedAndWritesNothing) {
    const auto missing = dir / "gone";
    EXPECT_THROW(readNetworkGroups(missing), FileError);
    EXPECT_THROW(countUniqueAccessPoints(missing, "HOMENET"), FileError);
    EXPECT_THROW(exportApNameGroup(missing, dir / "out.TXT", "HOMENET"), FileError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.TXT"));
}

TEST(ApNameFileName, ProposedNamesAndWhichOfThemStayInTheirFolder) {
    struct Case {
        std::string group;
        std::string fileName;
        bool plain;
    } cases[] = {
        {"HOMENET", "AP-HOMENET.TXT", true},
        {"#BLANK#", "AP-#BLANK#.TXT", true},
        {"A/B", "AP-A/B.TXT", false},
        {std::string("A\0B", 3), std::string("AP-A\0B.TXT", 10), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(apNameFileName(c.group), c.fileName);
        EXPECT_EQ(isPlainFileName(apNameFileName(c.group)), c.plain) << c.group;
    }
    for (const char* name : {"", ".", ".."}) EXPECT_FALSE(isPlainFileName(name)) << name;
}

}  // namespace
}  // namespace velmora
