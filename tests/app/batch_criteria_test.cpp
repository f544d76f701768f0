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
                dataLine("N 1.5", "E 2.5", "HOME", "00:0F:66:AA:BB:01", "0001"),
                dataLine("N 1.5", "E 2.5", "office", "00:0F:66:AA:BB:01", "0001"),
                dataLine("N 1.5", "E 2.5", "home", "00:0F:66:AA:BB:03", "0002", "Ad-hoc"),
            }));
        fs::create_directory(dir_ / "out");
    }

    struct Run {
        int status;
        std::string out;  // what follows the load counts
        std::string err;
    };

    Run run(std::vector<std::string> commands) {
        std::vector<std::string> args = {"--out", (dir_ / "out").string(),
                                         (dir_ / "log.txt").string()};
        args.insert(args.end(), commands.begin(), commands.end());
        std::ostringstream out, err;
        const int status = runBatchTool(args, test::repoFile("data"), out, err);
        std::string text = out.str();
        const std::size_t counts = text.find("Ad-Hoc Locations:");
        if (counts != std::string::npos) text.erase(0, text.find('\n', counts) + 1);
        return {status, text, err.str()};
    }

    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path()))
            names.push_back(fs::relative(entry.path(), dir_.path()).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::size_t lineCount(std::string_view name) const {
        const std::string file = test::readFile(dir_ / "out" / name);
        return static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n'));
    }

    test::TempDir dir_;
};

TEST_F(BatchCriteria, MatchingListsTheMacsInOrderThenTheCount) {
    const Run both = run({"matching", "home"});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out,
              "00:0F:66:AA:BB:01\n00:0F:66:AA:BB:02\n00:0F:66:AA:BB:03\nMatching Records:3\n");

    const Run narrowed = run({"matching", "HOME", "--wep", "on", "--type", "bss", "matching",
                              "home", "--type", "adhoc", "matching", "nowhere"});
    ASSERT_EQ(narrowed.status, 0) << narrowed.err;
    EXPECT_EQ(narrowed.out,
              "00:0F:66:AA:BB:02\nMatching Records:1\n"
              "00:0F:66:AA:BB:03\nMatching Records:1\n"
              "Matching Records:0\n");
}

TEST_F(BatchCriteria, CriteriaWritesTheFileOfEachModeIntoOut) {
    const Run r = run({"criteria", "home", "--type", "bss", "criteria", "home", "--mac",
                       "00:0f:66:aa:bb:01", "--wep", "off"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir_ / "out" / "Custom_SSID_HOME.TXT").string() + "\n" +
                         (dir_ / "out" / "Custom_MAC_000F66AABB01.TXT").string() + "\n");
    EXPECT_EQ(lineCount("Custom_SSID_HOME.TXT"), 1u + 3u);
    // The MAC's sighting under OFFICE is written too.
    EXPECT_EQ(lineCount("Custom_MAC_000F66AABB01.TXT"), 1u + 2u);
}

TEST_F(BatchCriteria, NothingIsWrittenWithoutAMatchOrOutsideOut) {
    // A folder that would let a name with "/" climb out of --out.
    fs::create_directory(dir_ / "out" / "Custom_SSID_");
    const auto before = written();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"criteria", "home", "--type", "adhoc", "--wep", "on"}, "nothing written"},
        {{"criteria", "nowhere", "--mac", "00:0F:66:AA:BB:01"}, "nothing written"},
        {{"criteria", ""}, "nothing written"},
        {{"criteria", "/../../evil"}, "path separator"},
        {{"criteria", "home", "--mac", "0/:../../evil"}, "path separator"},
    };
    for (const Case& c : cases) {
        const Run r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(written(), before) << c.args[1];
    }
}

TEST_F(BatchCriteria, BadOptionsAreUsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"matching"},
             {"criteria"},
             {"matching", "home", "--type", "infra"},
             {"criteria", "home", "--wep", "ON"},
             {"criteria", "home", "--wep"},
             {"matching", "home", "--mac", "00:0F:66:AA:BB:01"},
         }) {
        const Run r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir_ / "out" / "Custom_SSID_HOME.TXT"));
}

}  // namespace
}  // namespace velmora::batch
