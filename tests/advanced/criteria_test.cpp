#include "advanced/criteria.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "loader/source_loader.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::dataLine;
using Macs = std::vector<std::string>;
constexpr ConnectionType kTypes[] = {ConnectionType::Bss, ConnectionType::AdHoc,
                                     ConnectionType::Both};
constexpr WepStatus kWeps[] = {WepStatus::On, WepStatus::Off, WepStatus::Both};

TEST(CriteriaFlags, EachTestLooksAtOneCharacterAgainstAFixedSet) {
    // Expected: B(ss) or A(d-hoc) or -, then O(n) or F (off) or -. Both always passes.
    const std::pair<const char*, const char*> cases[] = {
        {"0005", "BF"}, {"0010", "AO"}, {"0013", "-O"}, {"0071", "B-"}, {"0009", "BF"},
        {"0006", "AF"}, {"0031", "BO"}, {"0042", "AF"}, {"0081", "BF"}, {"0091", "BO"},
        {"001a", "-O"}, {"001A", "-O"}, {"00a1", "B-"}, {"00F2", "A-"}, {"0003", "-F"},
        {"1", "BO"},    {"2", "AF"},    {"8", "-F"},    {"a", "--"},    {"", "--"},
    };
    for (const auto& [flags, expected] : cases) {
        SCOPED_TRACE(std::string("Flags \"") + flags + "\"");
        EXPECT_EQ(passesConnectionType(ConnectionType::Bss, flags), expected[0] == 'B');
        EXPECT_EQ(passesConnectionType(ConnectionType::AdHoc, flags), expected[0] == 'A');
        EXPECT_EQ(passesWepStatus(WepStatus::On, flags), expected[1] == 'O');
        EXPECT_EQ(passesWepStatus(WepStatus::Off, flags), expected[1] == 'F');
        EXPECT_TRUE(passesConnectionType(ConnectionType::Both, flags) &&
                    passesWepStatus(WepStatus::Both, flags));
    }
}

// A working record file loaded from a log, in a folder of its own.
class LoadedLog {
  public:
    explicit LoadedLog(const std::string& log) {
        test::writeFile(dir_ / "log.txt", log);
        if (loadSourceLog(dir_ / "log.txt", WorkingFiles{dir_.path()}).status != LoadStatus::Loaded)
            throw std::runtime_error("log not loaded");
    }
    std::filesystem::path output1() const { return dir_ / "output1"; }
    std::string exported(const CriteriaSelection& selection) const {
        exportCriteria(output1(), dir_ / "x.TXT", selection);
        return test::readFile(dir_ / "x.TXT");
    }

  private:
    test::TempDir dir_;
};

TEST(CriteriaRecount, NamesAndMacsAreUpperCasedDistinctAndSorted) {
    const LoadedLog log(test::textLog({
        dataLine("N 1.0", "E 2.0", "home", "00:0f:66:aa:bb:01", "0011"),
        dataLine("N 1.0", "E 2.0", "Zeta", "00:00:00:00:00:09", "0001"),
        dataLine("N 1.0", "E 2.0", "Home", "00:0F:66:AA:BB:01", "0011"),
        dataLine("N 1.0", "E 2.0", "HOME", "00:0A:00:00:00:02", "0002", "Ad-hoc"),
        dataLine("N 1.0", "E 2.0", "", "00:00:00:00:00:03", "0001"),
    }));
    const auto index = CriteriaIndex::build(log.output1());
    EXPECT_EQ(index.networkNames(), (Macs{"#BLANK#", "HOME", "ZETA"}));
    const auto both = [&](std::string_view name, ConnectionType type, WepStatus wep) {
        const Macs byReading = recountByReading(log.output1(), name, type, wep);
        EXPECT_EQ(index.recount(name, type, wep), byReading) << name;
        return byReading;
    };
    const auto any = ConnectionType::Both;
    EXPECT_EQ(both("HOME", any, WepStatus::Both), (Macs{"00:0A:00:00:00:02", "00:0F:66:AA:BB:01"}));
    EXPECT_EQ(both("HOME", any, WepStatus::On), Macs{"00:0F:66:AA:BB:01"});
    // No selected name, and a name as typed rather than as listed, match nothing.
    EXPECT_TRUE(both("", any, WepStatus::Both).empty());
    EXPECT_TRUE(both("home", any, WepStatus::Both).empty());
    EXPECT_EQ(matchingRecordsText(0), "Matching Records:0");
}

// Column 5 of every export line, distinct and sorted.
Macs exportedMacs(const std::string& file) {
    std::set<std::string> macs;
    std::istringstream lines(file);
    std::string line;
    for (std::getline(lines, line); std::getline(lines, line);) {
        std::size_t pos = 0;
        for (int i = 0; i < 4; ++i) pos = line.find(';', pos) + 1;
        macs.insert(line.substr(pos, line.find(';', pos) - pos));
    }
    return {macs.begin(), macs.end()};
}

TEST(CriteriaRecount, IndexAndExportAgreeWithReadingTheFileOnAVariedLog) {
    const char* names[] = {"home", "Home", "linksys", "a,b", "say \"hi\"", "caf\xe9", "", "x"};
    const char* flags[] = {"0001", "0002", "0005", "0006", "0009", "0010", "0012", "0013",
                           "0031", "0042", "0071", "0081", "001a", "00A1", "1",    "8"};
    std::mt19937 random(2004);
    std::string log = test::textLog({});
    for (int i = 0; i < 3000; ++i) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "00:0%c:66:1a:2b:%02x", "aAbB"[random() % 4],
                      unsigned(random() % 40));
        log += dataLine("N 59.7", "E 168.5", names[random() % std::size(names)], mac,
                        flags[random() % std::size(flags)], random() % 3 ? "BSS" : "Ad-hoc") +
               "\r\n";
    }
    const LoadedLog loaded(log);
    const auto index = CriteriaIndex::build(loaded.output1());
    ASSERT_GE(index.networkNames().size(), 6u);
    for (const std::string& name : index.networkNames()) {
        for (const ConnectionType type : kTypes) {
            for (const WepStatus wep : kWeps) {
                SCOPED_TRACE(name + " " + std::to_string(int(type)) + std::to_string(int(wep)));
                const Macs expected = recountByReading(loaded.output1(), name, type, wep);
                ASSERT_EQ(index.recount(name, type, wep), expected);
                // The AP-name export writes exactly the sightings the recount takes.
                EXPECT_EQ(exportedMacs(loaded.exported({name, "", type, wep})), expected);
            }
        }
    }
}

TEST(CriteriaFileName, ProposedNamesOfBothModes) {
    using enum CriteriaExportMode;
    const std::tuple<CriteriaExportMode, const char*, const char*> cases[] = {
        {ApName, "HOME", "Custom_SSID_HOME.TXT"},
        {MacAddress, "00:0F:66:1A:2B:3C", "Custom_MAC_000F661A2B3C.TXT"},
        {MacAddress, "00:0F:66:1A:2B:3C:77", "Custom_MAC_000F661A2B3C.TXT"},
        {MacAddress, "", "Custom_MAC_.TXT"},
        // Short texts: each piece is the last two of what the first k characters give.
        {MacAddress, "A", "Custom_MAC_AAAAAA.TXT"},
        {MacAddress, "00:0F:6", "Custom_MAC_000F:6:6:6:6.TXT"},
    };
    for (const auto& [mode, text, expected] : cases)
        EXPECT_EQ(criteriaFileName({text, text, ConnectionType::Both, WepStatus::Both, mode}),
                  expected);
}

TEST(CriteriaExport, EachModeWritesItsSightingsUpperCased) {
    const LoadedLog log(test::textLog({
        dataLine("N 1.5", "W 2.5", "home", "00:0f:66:aa:bb:01", "00F1"),
        dataLine("S 1.5", "E 2.5", "office", "00:0F:66:aa:bb:01", "0011"),
        dataLine("N 3.5", "E 4.5", "Home", "00:0F:66:AA:BB:02", "0002", "Ad-hoc"),
    }));
    const std::string header = "Latitude;Longitude;Name; ;Name 2\r\n";
    const std::string home1 =
        "1.5;-2.5;HOME;BSS;00:0F:66:AA:BB:01;01:02:03GMT;[257449];#;00F1;00000040;100\r\n";
    const auto bss = ConnectionType::Bss, any = ConnectionType::Both;
    const auto mac = CriteriaExportMode::MacAddress;
    EXPECT_EQ(log.exported({"HOME", "", any, WepStatus::Both}),
              header + home1 +
                  "3.5;4.5;HOME;Ad-hoc;00:0F:66:AA:BB:02;01:02:03GMT;[257449];#;0002;00000040;"
                  "100\r\n");
    // MAC mode: the sighting under another name is written; the Flags tests still apply.
    EXPECT_EQ(log.exported({"HOME", "00:0F:66:AA:BB:01", bss, WepStatus::Both, mac}),
              header + home1 +
                  "-1.5;2.5;OFFICE;BSS;00:0F:66:AA:BB:01;01:02:03GMT;[257449];#;0011;00000040;"
                  "100\r\n");
    EXPECT_EQ(log.exported({"HOME", "", any, WepStatus::Both, mac}), header);
}

}  // namespace
}  // namespace velmora
