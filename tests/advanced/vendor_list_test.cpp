#include "advanced/vendor_list.h"

#include <gtest/gtest.h>

#include <optional>

#include "records/file_error.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using Found = std::optional<std::string>;

TEST(VendorList, LookupRulesOnTheSampleList) {
    const VendorList list = LoadVendorList(test::repoFile("tests/advanced/vlident-sample.txt"));
    EXPECT_EQ(list.size(), 11u);
    EXPECT_EQ(list.lines()[3], "");  // lines that never match are kept all the same

    struct Case {
        const char* entry;
        Found want;
    } cases[] = {
        {"00:0C:41:11:22:33 - HOME", "Cisco-Linksys LLC"},  // first of two lines wins
        {"00:40:96:00:00:01 - X", " Aironet Wireless (leading blank kept)"},
        {"00:09:5B:00:00:01 - X", "NETGEAR"},  // after the blank line
        {"00:30:BD:00:00:01 - X", ""},         // a line of exactly eight characters
        {"00:A0:C5:00:00:01 - X", "ZyXEL Communications Corp."},
        {"00:06:25", "The Linksys Group, Inc."},  // the key alone
        {"00:0F:66:00:00:01 - X", std::nullopt},  // the list has it in lower case
        {"00:0f:66:00:00:01 - X", std::nullopt},  // a lower-case line is no vendor line
        {"00-A0-C5-00-00-01 - X", std::nullopt},
        {"00:0C:42:00:00:01 - X", std::nullopt},
        {"00:06:2", std::nullopt},  // shorter than a prefix
        {"short", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(LookupVendor(list, c.entry), c.want) << c.entry;

    const VendorList copy = list;
    EXPECT_EQ(LookupVendor(copy, "00:09:5B"), Found("NETGEAR"));
}

TEST(VendorList, EveryLineEndSeparatesLinesAndAnEmptyFileHasNone) {
    test::TempDir dir;
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        const std::string e = eol;
        test::writeFile(dir / "v.txt", "00:06:25First" + e + "00:0C:41Second" + e + e +
                                           "00:40:96Third");  // no line end at the end
        const VendorList list = LoadVendorList(dir / "v.txt");
        EXPECT_EQ(list.size(), 4u);
        EXPECT_EQ(LookupVendor(list, "00:06:25"), Found("First"));
        EXPECT_EQ(LookupVendor(list, "00:0C:41"), Found("Second"));
        EXPECT_EQ(LookupVendor(list, "00:40:96"), Found("Third"));
    }
    test::writeFile(dir / "v.txt", "");
    EXPECT_EQ(LoadVendorList(dir / "v.txt").size(), 0u);
}

TEST(VendorList, MissingFileOrFolderThrowsNamingIt) {
    test::TempDir dir;
    for (const auto& path : {dir / "absent.txt", dir.path()}) {
        try {
            LoadVendorList(path);
            ADD_FAILURE() << path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.path(), path);
        }
    }
}

}  // namespace
}  // namespace velmora
