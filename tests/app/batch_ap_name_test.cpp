#include <gtest/gtest.h>

#include <sstream>

#include "app/batch_tool.h"
#include "export/export_line.h"
#include "support/test_support.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

class BatchApName : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir / "drive.txt",
                        test::textLog({
                            dataLine("N 45.1", "E 19.1", "HomeNet", "00:0c:41:aa:bb:01", "0011"),
                            dataLine("N 45.2", "E 19.2", "a/b", "00:0c:41:aa:bb:02", "0011"),
                            dataLine("N 45.3", "E 19.3", "", "00:0c:41:aa:bb:03", "0011"),
                            dataLine("S 45.4", "W 19.4", "HOMENET", "00:0c:41:aa:bb:04", "0011"),
                        }));
        fs::create_directory(out);
    }

    int run(std::vector<std::string> commands) {
        std::vector<std::string> args = {"--workdir", (dir / "work").string(), "--out",
                                         out.string(), (dir / "drive.txt").string()};
        args.insert(args.end(), commands.begin(), commands.end());
        stdout_.str("");
        stderr_.str("");
        return runBatchTool(args, dir.path(), stdout_, stderr_);
    }

    test::TempDir dir;
    fs::path out = dir / "out";
    std::ostringstream stdout_, stderr_;
};

TEST_F(BatchApName, GroupsListsEveryGroupWithItsCountInListOrder) {
    ASSERT_EQ(run({"groups"}), 0) << stderr_.str();
    const std::string text = stdout_.str();
    EXPECT_EQ(text.substr(text.find("#BLANK#")), "#BLANK#\t1\nA/B\t1\nHOMENET\t2\n");
}

TEST_F(BatchApName, ApNameUpperCasesTheNameAndWritesTheGroupIntoTheOutFolder) {
    ASSERT_EQ(run({"ap-name", "homeNet"}), 0) << stderr_.str();
    const fs::path written = out / "AP-HOMENET.TXT";
    EXPECT_NE(stdout_.str().find(written.string() + "\n"), std::string::npos);
    const std::string file = test::readFile(written);
    EXPECT_EQ(file.substr(0, kExportHeader.size()), kExportHeader);
    EXPECT_NE(file.find("\r\n45.1;19.1;HOMENET;BSS;00:0c:41:aa:bb:01;"), std::string::npos);
    EXPECT_NE(file.find("\r\n-45.4;-19.4;HOMENET;BSS;00:0c:41:aa:bb:04;"), std::string::npos);
}

TEST_F(BatchApName, RefusesNamesThatCannotBeWrittenIntoTheOutFolder) {
    struct Case {
        std::string name;
        std::string message;
    } cases[] = {
        {"a/b", "path separator"},  // a real group, but it would name a file in a subfolder
        {"nosuch", "no network group \"NOSUCH\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run({"ap-name", c.name}), 1) << c.name;
        EXPECT_NE(stderr_.str().find(c.message), std::string::npos) << stderr_.str();
        EXPECT_TRUE(fs::is_empty(out)) << c.name;
    }
}

}  // namespace
}  // namespace velmora::batch
