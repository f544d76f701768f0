#include "app/batch_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun runTool(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runBatchTool(args, test::repoFile("data"), out, err);
    return {status, out.str(), err.str()};
}

TEST(BatchTool, PrintsTheCountsOfTheLoadedLog) {
    const ToolRun run = runTool({test::repoFile("samples/drive-text.txt").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Source File Type: NS1 Text Export\n"
              "Total Number Of Source Entries: 27\n"
              "Non-GPS Dropped Entries: 3\n"
              "WEP OFF Entries: 17\n"
              "WEP ON Entries: 10\n"
              "AP Locatiions: 15\n"
              "Ad-Hoc Locations: 12\n");
}

TEST(BatchTool, WorkdirKeepsTheWorkingFilesAndExportsGoToOut) {
    test::TempDir dir;
    const ToolRun run = runTool({"--workdir", (dir / "work").string(), "--out", dir.path().string(),
                             test::repoFile("samples/drive-summary.txt").string(), "convert-all",
                             "adhoc"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find((dir / "FullConvert_drive-summary.txt").string() + "\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "All_AD-HOC_drive-summary.txt"));
    EXPECT_EQ(test::readFile(dir / "work" / "output1"), test::readFile(dir / "work" / "output2"));
}

TEST(BatchTool, HelpListsTheCommandsOnStandardOutput) {
    const ToolRun run = runTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("convert-all"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

TEST(BatchTool, ExitStatusSaysWhatWentWrong) {
    test::TempDir dir;
    test::writeFile(dir / "notalog.txt", "hello\r\nworld\r\n");
    test::writeFile(dir / "plain", "x");
    const std::string log = test::repoFile("samples/drive-text.txt").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{}, 2, "usage:"},
        {{"--out"}, 2, "--out needs a value"},
        {{"--bogus", log}, 2, "unknown option --bogus"},
        {{log, "frobnicate"}, 2, "unknown command frobnicate"},
        {{(dir / "notalog.txt").string()}, 1, "Bad File - Try Again"},
        {{(dir / "absent.txt").string()}, 1, "File Not Readable - Try Again"},
        {{"--workdir", (dir / "plain" / "w").string(), log}, 1, "plain"},
        {{"--out", (dir / "plain").string(), log, "convert-all"}, 1, "FullConvert_drive-text.txt"},
    };
    for (const auto& c : cases) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.status, c.status) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace velmora::batch
