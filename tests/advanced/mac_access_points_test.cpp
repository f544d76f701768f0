#include "advanced/mac_access_points.h"

#include <gtest/gtest.h>

#include "export/export_line.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using Entries = std::vector<std::string>;

// One working record line: coordinates, SSID and BSSID vary, the rest is fixed.
std::string record(const std::string& lat, const std::string& lon, const std::string& ssid,
                   const std::string& bssid) {
    return lat + "," + lon + "," + ssid + ",BSS," + bssid +
           ",01:02:03,25 74 49,,0011,00000040,100\r\n";
}

TEST(MacAccessPoints, EntriesAreDistinctUpperCasedAndSorted) {
    test::TempDir dir;
    test::writeFile(dir / "output1",
                    record("N1", "E1", "zulu", "0a:1b:2c:3d:4e:5f") +  // the first record
                        record("N1", "E1", "Home", "00:06:25:00:00:01") +
                        record("N1", "E1", "HOME", "00:06:25:00:00:01") +  // case only: same
                        record("N1", "E1", "home", "00:06:25:00:00:01") +
                        record("N1", "E1", "Cafe", "00:06:25:00:00:01") +  // second name
                        record("N1", "E1", "\xE9t\xE9", "00:06:25:00:00:01") +
                        record("N1", "E1", "ZULU", "0A:1B:2C:3D:4E:5F"));
    EXPECT_EQ(loadApEntries(dir / "output1"),
              (Entries{"00:06:25:00:00:01 - CAFE", "00:06:25:00:00:01 - HOME",
                       "00:06:25:00:00:01 - \xE9T\xE9",  // bytes above 127 sort last
                       "0A:1B:2C:3D:4E:5F - ZULU"}));

    test::writeFile(dir / "empty", "");
    EXPECT_EQ(loadApEntries(dir / "empty"), Entries{});
    EXPECT_EQ(uniqueApLabel(0), "Number Of Unique AP's ->0");
}

TEST(MacAccessPoints, ExportWritesEverySightingOfTheMacAddress) {
    test::TempDir dir;
    test::writeFile(dir / "output1", record("N41.5", "W81.25", "Home", "0a:1b:2c:3d:4e:5f") +
                                         record("S1.5", "E2", "Other", "00:06:25:00:00:01") +
                                         record("S33.5", "E151", "other", "0A:1B:2C:3D:4E:5F") +
                                         record("N41.6", "W81.3", "Home", "0A:1b:2C:3d:4E:5f"));
    const auto result = exportMacAddress(dir / "output1", "0A:1B:2C:3D:4E:5F - HOME", dir.path(),
                                         "MAC_0A1B2C3D4E5F.txt");
    EXPECT_EQ(result.target, dir / "MAC_0A1B2C3D4E5F.txt");
    EXPECT_EQ(result.lines, 3u);
    EXPECT_EQ(test::readFile(result.target),
              std::string(kExportHeader) +
                  "41.5;-81.25;Home;BSS;0A:1B:2C:3D:4E:5F;01:02:03;25 74 49;;0011;00000040;100\r\n"
                  "-33.5;151;other;BSS;0A:1B:2C:3D:4E:5F;01:02:03;25 74 49;;0011;00000040;100\r\n"
                  "41.6;-81.3;Home;BSS;0A:1B:2C:3D:4E:5F;01:02:03;25 74 49;;0011;00000040;100\r\n");
}

TEST(MacAccessPoints, FileNameTakesTheTwelveDigitsAndNeverReadsPastTheEntry) {
    struct Case {
        const char* entry;
        const char* want;
    } cases[] = {
        {"0A:1B:2C:3D:4E:5F - HOMENET", "MAC_0A1B2C3D4E5F"},
        {"0A:1B:2C:3D:4E:5F", "MAC_0A1B2C3D4E5F"},
        {"0A:1B:2C:3D:4E:5", "MAC_0A1B2C3D4E5"},
        {"0A:1", "MAC_0A1"},
        {"", "MAC_"},
    };
    for (const auto& c : cases) EXPECT_EQ(macExportFileName(c.entry), c.want) << c.entry;
}

}  // namespace
}  // namespace velmora
