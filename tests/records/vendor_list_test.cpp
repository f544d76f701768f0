// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/vendor_list.h"

#include <gtest/gtest.h>

#include "io/file_error.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using Found = std::optional<std::string>;

TEST(VendorList, LookupRulesLineEndsAndMissingFiles) {
    const VendorList list = LoadVendorList(test::repoFile("tests/advanced/vlident-sample.txt"));
    const std::pair<const char*, Found> cases[] = {
        {"00:0C:41:11:22:33 - HOME", "Cisco-Linksys LLC"},  // first of two lines wins
        {"00:40:96:00:00:01 - X", " Aironet Wireless (leading blank kept)"},
        {"00:09:5B:00:00:01 - X", "NETGEAR"},  // after the blank line
        {"00:30:BD:00:00:01 - X", ""},         // a line of exactly eight characters
        {"00:A0:C5:00:00:01 - X", "ZyXEL Communications Corp."},
        {"00:06:25", "The Linksys Group, Inc."},  // the key alone
        {"00:0F:66:00:00:01 - X", std::nullopt},  // the list has it in lower case
        {"00:0f:66:00:00:01 - X", std::nullopt},
        {"00-A0-C5-00-00-01 - X", std::nullopt},
        {"00:0C:42:00:00:01 - X", std::nullopt},
        {"00:06:2", std::nullopt},  // shorter than a prefix
        {"short", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [entry, want] : cases) EXPECT_EQ(LookupVendor(list, entry), want) << entry;

    // A lone LF or CR ends a line too; a line longer than 64 KiB is no entry; a missing file or a
    // folder is reported.
    test::TempDir dir;
    for (const std::string e : {"\n", "\r"}) {
        test::writeFile(dir / "v.txt", "00:06:25First" + e + "00:0C:41Second" + e + e + "00:40:96" +
                                           e + "00:0C:42" + std::string(1 << 16, 'x'));
        const VendorList list = LoadVendorList(dir / "v.txt");
        EXPECT_EQ(list.size(), 5u);
        EXPECT_EQ(LookupVendor(list, "00:0C:42"), std::nullopt);
        EXPECT_EQ(LookupVendor(list, "00:06:25"), Found("First"));
        EXPECT_EQ(LookupVendor(list, "00:0C:41"), Found("Second"));
        EXPECT_EQ(LookupVendor(list, "00:40:96"), Found(""));
    }
    for (const auto& path : {dir / "absent.txt", dir.path()})
        EXPECT_THROW(LoadVendorList(path), FileError) << path;
}

}  // namespace
}  // namespace velmora
