// The Advanced lists keep sightings as numbers while reading; these tests hold them to the
// plain definition by upper-cased texts, on well-formed and odd BSSIDs alike.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "records/working_record.h"
#include "support/test_support.h"

namespace velmora {
namespace {

TEST(DistinctLists, GroupsEntriesAndRecountsMatchTheirDefinitionByText) {
    const std::vector<std::string> names = {"home",      "Home",    "HOME", "Cafe,Bar",
                                            "\xe9t\xe9", "#Blank#", "x"};
    const std::vector<std::string> flags = {"0011", "0012", "0001", "5", "", "0a1b"};
    // Odd BSSIDs are texts: a letter's case still does not count, a hex value does not join
    // them to a MAC address.
    std::vector<std::string> bssids = {"00:06:25:0a:1b:2c",
                                       "00:06:25:0A:1B:2C",
                                       "00-06-25-0a-1b-2c",
                                       "00:06:25:0a:1b:2g",
                                       "00:06:25:0a:1b",
                                       "00:06:25:0a:1b:2c:3d",
                                       "",
                                       "ab:cd",
                                       "AB:cd",
                                       "ff:ff:ff:ff:ff:ff"};
    std::mt19937 random(7);
    for (int i = 0; i < 600; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "%02x:%02X:%02x:%02x:%02x:%02x", i % 3, i % 256, i / 256,
                      static_cast<int>(random() % 256), 7, 8);
        bssids.push_back(mac);
    }

    std::string file;
    std::set<std::string> entries;                        // "BSSID - NAME", upper-cased
    std::map<std::string, std::set<std::string>> groups;  // NAME -> BSSIDs
    std::map<std::string, std::set<std::pair<std::string, std::string>>> sightings;
    for (int i = 0; i < 4000; ++i) {
        const std::string& name = names[random() % names.size()];
        const std::string& bssid = bssids[random() % bssids.size()];
        const std::string& flag = flags[random() % flags.size()];
        const bool quoted = name.find(',') != std::string::npos;
        file += "N1,E2," + (quoted ? "\"" + name + "\"" : name) + ",BSS," + bssid + ",t,[1],#," +
                flag + ",40,100\r\n";
        entries.insert(toUpperAscii(bssid) + " - " + toUpperAscii(name));
        groups[toUpperAscii(name)].insert(toUpperAscii(bssid));
        sightings[toUpperAscii(name)].insert({toUpperAscii(bssid), flag});
    }
    test::TempDir dir;
    test::writeFile(dir / "output1", file);

    EXPECT_EQ(loadApEntries(dir / "output1"),
              std::vector<std::string>(entries.begin(), entries.end()));

    std::vector<NetworkGroup> wanted;
    for (const auto& [name, macs] : groups) wanted.push_back({name, macs.size()});
    EXPECT_EQ(readNetworkGroups(dir / "output1"), wanted);
    EXPECT_EQ(countUniqueAccessPoints(dir / "output1", "HOME"), groups["HOME"].size());

    const CriteriaIndex index = CriteriaIndex::build(dir / "output1");
    ASSERT_EQ(index.networkNames().size(), groups.size());
    for (const auto& [name, pairs] : sightings) {
        for (auto type : {ConnectionType::Bss, ConnectionType::AdHoc, ConnectionType::Both}) {
            for (auto wep : {WepStatus::On, WepStatus::Off, WepStatus::Both}) {
                std::set<std::string> macs;
                for (const auto& [mac, flag] : pairs)
                    if (passesConnectionType(type, flag) && passesWepStatus(wep, flag))
                        macs.insert(mac);
                EXPECT_EQ(index.recount(name, type, wep),
                          std::vector<std::string>(macs.begin(), macs.end()))
                    << name;
            }
        }
    }
}

}  // namespace
}  // namespace velmora
