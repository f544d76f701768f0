// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/flags.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(Flags, EachTestTakesTheCharactersOrCodesOfItsRow) {
    // For each Flags item, whether each test takes it, in three groups:
    //   counts:     WEP off, WEP on, infrastructure, ad hoc
    //   quick sort: locked, open, infrastructure, ad hoc
    //   criteria:   BSS, ad hoc, WEP on, WEP off
    // The last two items hold the bytes 64 and 128 above '1', which no test takes.
    const std::pair<const char*, const char*> cases[] = {
        {"0011", "0110 1010 1010"}, {"0031", "0110 1010 1010"},      {"0051", "0110 1010 1010"},
        {"0001", "1010 0110 1001"}, {"0005", "1010 0100 1001"},      {"0021", "1010 0110 1001"},
        {"0041", "1010 0110 1001"}, {"0013", "0100 0000 0010"},      {"0015", "0110 0000 1010"},
        {"0071", "0010 0010 1000"}, {"0411", "0110 0010 1010"},      {"0012", "0101 0001 0110"},
        {"0010", "0100 0000 0110"}, {"0009", "1000 0000 1001"},      {"0006", "1001 0000 0101"},
        {"0091", "0010 0010 1010"}, {"0003", "1000 0000 0001"},      {"0061", "0010 0010 1000"},
        {"0026", "1001 0000 0101"}, {"0048", "1000 0000 0001"},      {"001a", "0100 0000 0010"},
        {"001A", "0100 0000 0010"}, {"00a1", "0010 0010 1000"},      {"00F2", "0001 0001 0100"},
        {"011", "0110 0010 1010"},  {"00011", "0110 0010 1010"},     {"1", "0110 0010 1010"},
        {"2", "1001 0001 0101"},    {"8", "0000 0000 0001"},         {"", "0000 0000 0000"},
        {"00qq", "0000 0000 0000"}, {"00\xb1\xb1", "0000 0000 0000"}};
    using namespace flags;
    for (const auto& [item, taken] : cases) {
        std::string got;
        for (const bool passes :
             {kCountedWepOff(item), kCountedWepOn(item), kCountedInfrastructure(item),
              kCountedAdHoc(item), kQuickSortLocked(item), kQuickSortOpen(item),
              kQuickSortInfrastructure(item), kQuickSortAdHoc(item), kCriteriaBss(item),
              kCriteriaAdHoc(item), kCriteriaWepOn(item), kCriteriaWepOff(item)}) {
            if (got.size() % 5 == 4) got += ' ';
            got += passes ? '1' : '0';
        }
        EXPECT_EQ(got, taken) << item;
    }
}

}  // namespace
}  // namespace velmora
