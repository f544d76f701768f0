#include "records/line_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

// The lines as next() gives them; nextView() must give the same, or the test fails here.
std::vector<std::string> lines(std::string_view bytes) {
    test::TempDir dir;
    test::writeFile(dir / "f", bytes);
    LineReader reader(dir / "f");
    std::vector<std::string> out;
    std::string line;
    while (reader.next(line)) out.push_back(line);

    LineReader viewer(dir / "f");
    std::vector<std::string> viewed;
    std::string_view view;
    while (viewer.nextView(view)) viewed.emplace_back(view);
    EXPECT_EQ(viewed, out) << "nextView differs from next";
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

TEST(LineReader, LinesLongerThanTheBufferAndManyShortOnesAreWhole) {
    // Long lines grow the buffer; the line ends of a file without CRs (or without LFs) are
    // each found once.
    const std::string huge((3 << 20) + 5, 'h');
    const auto got = lines("a\r\n" + huge + "\rb\n" + huge);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1], huge);
    EXPECT_EQ(got[3], huge) << "the last line needs no line end";
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        std::string many;
        for (int i = 0; i < 300000; ++i) many += std::to_string(i) + eol;
        const auto numbers = lines(many);
        ASSERT_EQ(numbers.size(), 300000u) << eol;
        EXPECT_EQ(numbers[123456], "123456") << eol;
        EXPECT_EQ(numbers.back(), "299999") << eol;
    }
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

TEST(LineReader, RewindReadsTheOpenFileAgainEvenAfterItsNameIsTaken) {
    test::TempDir dir;
    test::writeFile(dir / "log", "checked\r\nsecond\r\n");
    LineReader reader(dir / "log");
    std::string line;
    ASSERT_TRUE(reader.next(line));
    test::writeFile(dir / "other", "swapped in\r\n");
    std::filesystem::rename(dir / "other", dir / "log");
    reader.rewind();
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "checked");
}

}  // namespace
}  // namespace velmora
