#include "records/line_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

std::vector<std::string> lines(std::string_view bytes) {
    test::TempDir dir;
    test::writeFile(dir / "f", bytes);
    LineReader reader(dir / "f");
    std::vector<std::string> out;
    std::string line;
    while (reader.next(line)) out.push_back(line);
    return out;
}

TEST(LineReader, EveryKindOfLineEndEndsOneLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(lines("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(lines("a\n\rb"), (V{"a", "", "b"})) << "LF then CR are two line ends";
    EXPECT_EQ(lines("\r\n\r\n"), (V{"", ""}));
    EXPECT_EQ(lines(""), V{});
}

TEST(LineReader, CrLfSplitByTheBufferIsStillOneLineEnd) {
    // The buffer holds 1 MiB: put the CR as its last byte.
    const std::string first((1 << 20) - 1, 'x');
    const auto got = lines(first + "\r\nsecond\r\n");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], first);
    EXPECT_EQ(got[1], "second");
}

TEST(LineReader, BoundedReadStoresThePrefixAndSkipsTheRestOfALongLine) {
    test::TempDir dir;
    test::writeFile(dir / "f", std::string(3 << 20, 'y') + "\nnext\n");
    LineReader reader(dir / "f");
    std::string line;
    bool complete = true;
    ASSERT_TRUE(reader.nextBounded(line, 10, complete));
    EXPECT_EQ(line, std::string(10, 'y'));
    EXPECT_FALSE(complete);
    ASSERT_TRUE(reader.nextBounded(line, 10, complete));
    EXPECT_EQ(line, "next");
    EXPECT_TRUE(complete);
    EXPECT_FALSE(reader.nextBounded(line, 10, complete));
}

}  // namespace
}  // namespace velmora
