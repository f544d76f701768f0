#include <gtest/gtest.h>

#include <sstream>

#include "app/batch_tool.h"
#include "export/export_line.h"
#include "support/test_support.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

class BatchMac : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir / "drive.txt",
                        test::textLog({
                            dataLine("N 45.1", "E 19.1", "HomeNet", "00:0c:41:aa:bb:01", "0011"),
                            dataLine("N 45.2", "E 19.2", "Cafe", "00:40:96:00:00:02", "0011"),
                            dataLine("S 45.3", "W 19.3", "homenet", "00:0C:41:AA:BB:01", "0011"),
                            dataLine("N 45.4", "E 19.4", "Lab", "00:0f:66:00:00:03", "0011"),
                        }));
        fs::create_directory(out);
    }

    // Runs the tool on the log; `vendors` empty means the list kept in data/.
    int run(std::vector<std::string> commands, const fs::path& vendors = {}) {
        std::vector<std::string> args = {"--out", out.string()};
        if (!vendors.empty()) args.insert(args.end(), {"--vendors", vendors.string()});
        args.push_back((dir / "drive.txt").string());
        args.insert(args.end(), commands.begin(), commands.end());
        stdout_.str("");
        stderr_.str("");
        return runBatchTool(args, test::repoFile("data"), stdout_, stderr_);
    }

    // What the commands printed after the load's seven count lines.
    std::string printed() const {
        const std::string all = stdout_.str();
        std::size_t pos = 0;
        for (int i = 0; i < 7; ++i) pos = all.find('\n', pos) + 1;
        return all.substr(pos);
    }

    test::TempDir dir;
    fs::path out = dir / "out";
    std::ostringstream stdout_, stderr_;
};

TEST_F(BatchMac, VendorNamesTheRegistryOrganisation) {
    ASSERT_EQ(run({"vendor", "00:0C:41:00:00:00", "vendor", "00:0c:41:12:34:56"}), 0)
        << stderr_.str();
    EXPECT_EQ(printed(), "Cisco-Linksys, LLC\nCisco-Linksys, LLC\n");
}

TEST_F(BatchMac, ApsListsEachEntryWithItsVendor) {
    ASSERT_EQ(run({"aps"}, test::repoFile("tests/advanced/vlident-sample.txt")), 0)
        << stderr_.str();
    EXPECT_EQ(printed(),
              "00:0C:41:AA:BB:01 - HOMENET\tCisco-Linksys LLC\n"
              "00:0F:66:00:00:03 - LAB\tNot Found In Database\n"
              "00:40:96:00:00:02 - CAFE\t Aironet Wireless (leading blank kept)\n");
}

TEST_F(BatchMac, MacExportsEverySightingAndPrintsThePath) {
    ASSERT_EQ(run({"mac", "00:0c:41:aA:Bb:01"}), 0) << stderr_.str();
    const fs::path file = out / "MAC_000C41AABB01.txt";
    EXPECT_EQ(printed(), file.string() + "\n");
    const std::string content = test::readFile(file);
    EXPECT_EQ(content.substr(0, kExportHeader.size()), kExportHeader);
    EXPECT_NE(content.find("45.1;19.1;HomeNet;BSS;00:0C:41:AA:BB:01;"), std::string::npos);
    EXPECT_NE(content.find("-45.3;-19.3;homenet;BSS;00:0C:41:AA:BB:01;"), std::string::npos);
    EXPECT_EQ(content.find("Cafe"), std::string::npos);
}

TEST_F(BatchMac, RefusesBadMacAddressesAndAMissingVendorList) {
    const fs::path absent = dir / "no-vlident.txt";
    struct Case {
        std::vector<std::string> commands;
        fs::path vendors;
        int status;
        std::string says;
    } cases[] = {
        {{"mac", "00:0C:41:AA:BB"}, {}, 2, "not a MAC address"},
        {{"mac", "00-0C-41-AA-BB-01"}, {}, 2, "not a MAC address"},
        {{"mac", "00:0C:41:AA:BB:0G"}, {}, 2, "not a MAC address"},
        {{"vendor", "0:0C:41:AA:BB:011"}, {}, 2, "not a MAC address"},
        {{"mac"}, {}, 2, "mac needs a MAC address"},
        {{"aps"}, absent, 1, "cannot read the vendor list " + absent.string()},
        {{"vendor", "00:0C:41:00:00:00"}, absent, 1, "cannot read the vendor list"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.commands, c.vendors), c.status) << c.says;
        EXPECT_NE(stderr_.str().find(c.says), std::string::npos) << stderr_.str();
        EXPECT_EQ(printed(), "") << c.says;
    }
    EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
}  // namespace velmora::batch
