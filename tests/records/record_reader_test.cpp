#include "records/record_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "records/file_error.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using Fields = std::vector<std::string>;
using namespace std::string_literals;

std::vector<Fields> readAll(std::string_view bytes) {
    test::TempDir dir;
    test::writeFile(dir / "output1", bytes);
    RecordReader reader(dir / "output1");
    std::vector<Fields> records;
    WorkingRecord record;
    while (reader.next(record)) records.emplace_back(record.fields.begin(), record.fields.end());

    // nextFields must see the same records, whether it views them in place or not.
    RecordReader viewer(dir / "output1");
    std::vector<Fields> viewed;
    RecordFields fields;
    while (viewer.nextFields(fields, record)) viewed.emplace_back(fields.begin(), fields.end());
    EXPECT_EQ(viewed, records) << "nextFields differs from next";
    return records;
}

Fields eleven(std::initializer_list<std::string> first) {
    Fields fields(first);
    fields.resize(WorkingRecord::kFieldCount);
    return fields;
}

struct ReaderCase {
    const char* what;
    std::string bytes;
    std::vector<Fields> expected;
};

class RecordReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(RecordReaderCases, ReadsTheExpectedRecords) {
    EXPECT_EQ(readAll(GetParam().bytes), GetParam().expected) << GetParam().what;
}

const std::string kLine =
    "N1,E2,home,BSS,00:0a:0b:0c:0d:0e,12:00:00GMT,[254947],#,0011,00000040,100";
const Fields kFields = {"N1",          "E2",       "home", "BSS",  "00:0a:0b:0c:0d:0e",
                        "12:00:00GMT", "[254947]", "#",    "0011", "00000040",
                        "100"};

INSTANTIATE_TEST_SUITE_P(
    Items, RecordReaderCases,
    ::testing::Values(
        ReaderCase{
            "one record per CR LF line", kLine + "\r\n" + kLine + "\r\n", {kFields, kFields}},
        ReaderCase{"a lone CR, a lone LF and a missing last line end all end a line",
                   kLine + "\r" + kLine + "\n" + kLine,
                   {kFields, kFields, kFields}},
        ReaderCase{"an empty file holds no record", "", {}},
        ReaderCase{"empty lines carry no item, also at the end",
                   "\r\n" + kLine + "\r\n\r\n\n" + kLine + "\r\n\r\n",
                   {kFields, kFields}},
        ReaderCase{"surplus items start the next record",
                   "a,b,c,d,e,f,g,h,i,j,k,l,m\r\n1,2,3,4,5,6,7,8,9\r\n",
                   {Fields{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"},
                    Fields{"l", "m", "1", "2", "3", "4", "5", "6", "7", "8", "9"}}},
        ReaderCase{"a short line takes its missing items from the next line",
                   "a,b,c\r\nd,e,f,g,h,i,j,k\r\n",
                   {Fields{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}}},
        ReaderCase{"a file ending inside a record leaves the missing fields empty",
                   kLine + "\r\nx,y\r\n",
                   {kFields, eleven({"x", "y"})}},
        ReaderCase{"a comma before the line end gives an empty item",
                   "a,,c,d,e,f,g,h,i,j,\r\n",
                   {Fields{"a", "", "c", "d", "e", "f", "g", "h", "i", "j", ""}}},
        ReaderCase{"spaces before an item are skipped, inner and trailing ones kept",
                   "  a,b c ,c,d,e,f,g,h,i,j,k\r\n",
                   {Fields{"a", "b c ", "c", "d", "e", "f", "g", "h", "i", "j", "k"}}},
        ReaderCase{"a quoted item keeps its commas and reads a doubled quote as one",
                   "N1,E2,\"Cafe,Bar\",BSS,\"say \"\"hi\"\"\",t,s,#,0011,c,100\r\n",
                   {Fields{"N1", "E2", "Cafe,Bar", "BSS", "say \"hi\"", "t", "s", "#", "0011", "c",
                           "100"}}},
        ReaderCase{"what follows a closing quote is dropped up to the separator",
                   "\"ab\"cd,x,\"q\" z\r\n",
                   {eleven({"ab", "x", "q"})}},
        ReaderCase{"a quote that is never closed runs to the end of its line only",
                   "\"open,still,open\r\nb,c,d,e,f,g,h,i,j,k\r\n",
                   {Fields{"open,still,open", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}}},
        ReaderCase{"a quote inside an unquoted item is kept",
                   "a\"b,c,d,e,f,g,h,i,j,k,l\r\n",
                   {Fields{"a\"b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}}},
        ReaderCase{"8-bit bytes and NUL bytes are carried unchanged",
                   "\xe9t\xe9,\0x,c,d,e,f,g,h,i,j,k\r\n"s,
                   {Fields{"\xe9t\xe9", "\0x"s, "c", "d", "e", "f", "g", "h", "i", "j", "k"}}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(RecordWriter, QuotesOnlyItemsWithCommasOrQuotesAndReadsBackTheSameValues) {
    WorkingRecord record;
    record.fields = {"N1", "E2", "Cafe,Bar", "BSS", "\"q", "a\"\"b", "", ",", "0011", "x", "100"};
    std::string line;
    appendRecordLine(line, record);
    EXPECT_EQ(line, "N1,E2,\"Cafe,Bar\",BSS,\"\"\"q\",\"a\"\"\"\"b\",,\",\",0011,x,100\r\n");
    const auto back = readAll(line);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], Fields(record.fields.begin(), record.fields.end()));
}

TEST(RecordReader, MissingFileOrFolderIsAFileErrorNamingIt) {
    test::TempDir dir;
    for (const auto& path : {dir / "absent", dir.path()}) {
        try {
            RecordReader reader(path);
            FAIL() << "opened " << path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.path(), path);
            EXPECT_FALSE(e.reason().empty());
        }
    }
}

}  // namespace
}  // namespace velmora
