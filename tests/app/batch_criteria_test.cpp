#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/batch_tool.h"
#include "support/test_support.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

class BatchCriteria : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(
            dir_ / "log.txt",
            test::textLog({
                dataLine("N 1.5", "E 2.5", "home", "00:0f:66:aa:bb:02", "0011"),
                dataLine("N 1.5", "E 2.5", "Home", "00:0F:66:AA:BB:02", "0011"),
                dataLine("N 1.5", "E 2.5", "office", "00:0F:66:AA:BB:01", "0001"),
                dataLine("N 1.5", "E 2.5", "home", "00:0F:66:AA:BB:01", "0002", "Ad-hoc"),
            }));
        // A folder that would let a name holding "/" climb out of the output folder.
        fs::create_directories(dir_ / "out" / "Custom_SSID_");
    }

    // Exit status, what follows the load counts on stdout, and stderr.
    std::tuple<int, std::string, std::string> run(std::vector<std::string> commands) {
        std::vector<std::string> args = {"--out", out().string(), (dir_ / "log.txt").string()};
        args.insert(args.end(), commands.begin(), commands.end());
        std::ostringstream out, err;
        const int status = runBatchTool(args, test::repoFile("data"), out, err);
        const std::string text = out.str();
        const std::size_t counts = text.find("Ad-Hoc Locations:");
        return {status, counts == text.npos ? text : text.substr(text.find('\n', counts) + 1),
                err.str()};
    }

    fs::path out() const { return dir_ / "out"; }
    test::TempDir dir_;
};

TEST_F(BatchCriteria, MatchingAndCriteriaOfBothModes) {
    const auto [status, out, err] =
        run({"matching", "home", "matching", "HOME", "--wep", "on", "--type", "bss", "criteria",
             "home", "--type", "bss", "criteria", "home", "--mac", "00:0f:66:aa:bb:01"});
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(out,
              "00:0F:66:AA:BB:01\n00:0F:66:AA:BB:02\nMatching Records:2\n"
              "00:0F:66:AA:BB:02\nMatching Records:1\n" +
                  (this->out() / "Custom_SSID_HOME.TXT").string() + "\n" +
                  (this->out() / "Custom_MAC_000F66AABB01.TXT").string() + "\n");
    const std::string macFile = test::readFile(this->out() / "Custom_MAC_000F66AABB01.TXT");
    EXPECT_NE(macFile.find(";OFFICE;"), std::string::npos);  // the name is not applied
    EXPECT_EQ(std::count(macFile.begin(), macFile.end(), '\n'), 3);
}

TEST_F(BatchCriteria, RefusalsWriteNothing) {
    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
        {{"criteria", "home", "--type", "adhoc", "--wep", "on"}, 1, "nothing written"},
        {{"criteria", "nowhere", "--mac", "00:0F:66:AA:BB:01"}, 1, "nothing written"},
        {{"criteria", "/../../evil"}, 1, "path separator"},
        {{"criteria", "home", "--mac", "0/:../../evil"}, 1, "path separator"},
        {{"criteria", "home", "--wep", "ON"}, 2, "usage:"},
        {{"matching", "home", "--type"}, 2, "usage:"},
        {{"matching", "home", "--mac", "00:0F:66:AA:BB:01"}, 2, "usage:"},
    };
    for (const auto& [args, expectedStatus, says] : cases) {
        const auto [status, out, err] = run(args);
        EXPECT_EQ(status, expectedStatus) << args[1];
        EXPECT_NE(err.find(says), std::string::npos) << err;
    }
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);  // the log alone
}

}  // namespace
}  // namespace velmora::batch
