// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/mac_address.h"
#include "records/record_extras.h"
#include "records/record_reader.h"
#include "records/record_writer.h"
#include "records/working_files.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Each record as its items joined by '|', one record a line; nextFields must read the same.
std::string readAll(std::string_view bytes) {
    test::TempDir dir;
    test::writeFile(dir / "f", bytes);
    RecordReader reader(dir / "f"), viewer(dir / "f");
    std::string byNext, byFields;
    const auto join = [](std::string& out, const auto& items) {
        for (std::size_t k = 0; k < items.size(); ++k)
            out.append(items[k]).append(k + 1 < items.size() ? "|" : "\n");
    };
    WorkingRecord record;
    RecordFields fields;
    while (reader.next(record)) join(byNext, record.fields);
    while (viewer.nextFields(fields, record)) join(byFields, fields);
    EXPECT_EQ(byFields, byNext) << "nextFields differs from next";
    return byNext;
}

TEST(RecordReader, ItemsAndRecordsWhereverTheLinesEnd) {
    const std::string line = "N1,E2,home,BSS,00:0a,t,[1],#,0011,40,100";
    const std::string rec = "N1|E2|home|BSS|00:0a|t|[1]|#|0011|40|100\n";
    const std::pair<std::string, std::string> cases[] = {
        {line + "\r\n" + line + "\r" + line + "\n" + line, rec + rec + rec + rec},  // line ends
        {"", ""},
        {"\r\n" + line + "\r\n\r\n\n" + line + "\r\n\r\n", rec + rec},  // empty lines: no item
        {"a,b,c,d,e,f,g,h,i,j,k,l,m\r\n1,2,3,4,5,6,7,8,9\r\n",
         "a|b|c|d|e|f|g|h|i|j|k\nl|m|1|2|3|4|5|6|7|8|9\n"},  // surplus items start the next
        {"a,b,c\r\nd,e,f,g,h,i,j,k\r\n", "a|b|c|d|e|f|g|h|i|j|k\n"},  // short: takes from next
        {line + "\r\nx,y\r\n", rec + "x|y|||||||||\n"},  // the file ends inside a record
        {"a,,c,d,e,f,g,h,i,j,\r\n", "a||c|d|e|f|g|h|i|j|\n"},
        {"  a,b c ,c,d,e,f,g,h,i,j,k\r\n", "a|b c |c|d|e|f|g|h|i|j|k\n"},
        {"\"Cafe,Bar\",\"say \"\"hi\"\"\",c,d,e,f,g,h,i,j,k\r\n",
         "Cafe,Bar|say \"hi\"|c|d|e|f|g|h|i|j|k\n"},
        {"\"ab\"cd,x,\"q\" z\r\n", "ab|x|q||||||||\n"},  // after the closing quote: dropped
        {"\"open,still,open\r\nb,c,d,e,f,g,h,i,j,k\r\n", "open,still,open|b|c|d|e|f|g|h|i|j|k\n"},
        {"\xe9t\xe9,\0x,c,d,e,f,g,h,i,j,k\r\n"s, "\xe9t\xe9|\0x|c|d|e|f|g|h|i|j|k\n"s},
    };
    for (const auto& [bytes, expected] : cases) EXPECT_EQ(readAll(bytes), expected) << bytes;
    readAll(test::chunkSpanningRecords());  // the same by either way across the reader's chunks
}

TEST(RecordWriter, QuotesItemsWithCommasOrQuotesAndReadsBackTheSame) {
    const WorkingRecord record{
        {"N1", "E2", "Cafe,Bar", "BSS", "\"q", "a\"\"b", "", ",", "0011", "x", "100"}};
    std::string line;
    appendRecordLine(line, record);
    EXPECT_EQ(line, "N1,E2,\"Cafe,Bar\",BSS,\"\"\"q\",\"a\"\"\"\"b\",,\",\",0011,x,100\r\n");
    EXPECT_EQ(readAll(line), "N1|E2|Cafe,Bar|BSS|\"q|a\"\"b||,|0011|x|100\n");
}

TEST(GroupedDigits, CommasEveryThreeDigitsFromTheRight) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {1234567, "1,234,567"},
        {18446744073709551615u, "18,446,744,073,709,551,615"}};
    for (const auto& [count, text] : cases) EXPECT_EQ(groupedDigits(count), text);
}

TEST(MacAddress, TextHasEveryHexDigitInBothPlacesOfAByte) {
    EXPECT_EQ(macAddressText(0x0123456789AB), "01:23:45:67:89:AB");
    EXPECT_EQ(macAddressText(0xFEDCBA987654), "FE:DC:BA:98:76:54");
}

TEST(RecordReader, NoReadableFileIsAFileErrorNamingIt) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& path : {dir / "absent", dir.path(), dir / "fifo", fs::path("/dev/zero")})
        EXPECT_EQ(test::fileErrorPath([&] { RecordReader reader(path); }), path);
}

TEST(WorkingFiles, AttributesMakeAFileReadOnlyAndBackButChangeNothingThroughALink) {
    test::TempDir dir;
    const test::LinkTrap trap(dir / "work");
    for (const char* name : trap.kLinks) {
        setHiddenAttribute(dir / "work" / name);
        setNormalAttribute(dir / "work" / name);
    }
    EXPECT_TRUE(trap.untouched());
    test::writeFile(dir / "own", "x");
    setHiddenAttribute(dir / "own");
    EXPECT_EQ(fs::status(dir / "own").permissions(), fs::perms(0444));
    setNormalAttribute(dir / "own");
    EXPECT_EQ(fs::status(dir / "own").permissions(), fs::perms(0644));
}

TEST(WorkingFolderLock, OneUserAtATimeAndACrashedOneBlocksNothing) {
    using enum WorkingFolderLock::Status;
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    WorkingFolderLock first(files), second(files);
    EXPECT_FALSE(WorkingFolderLock::heldHere(files));
    ASSERT_EQ(first.tryLock(), Held);
    EXPECT_EQ(first.tryLock(), Held) << "taken again by its holder";
    EXPECT_TRUE(WorkingFolderLock::heldHere(files) && fs::exists(files.lockFile()));
    EXPECT_EQ(second.tryLock(), InUse) << "a second user in the same process";
    first.unlock();
    EXPECT_FALSE(WorkingFolderLock::heldHere(files) || fs::exists(files.lockFile()));
    ASSERT_EQ(second.tryLock(), Held);
    // A child process that tries to take it, and dies holding it (its destructor never runs).
    const auto childTakes = [&] {
        const int status = test::runInChild([&] {
            WorkingFolderLock lock(files);  // never released: the child dies holding it
            const auto taken = lock.tryLock();
            _exit(taken == Held ? 0 : taken == InUse ? 1 : 2);
        });
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(childTakes(), 1) << "while this process holds it";
    second.unlock();
    EXPECT_EQ(childTakes(), 0);
    EXPECT_TRUE(fs::exists(files.lockFile())) << "the crashed holder's lock file stays";
    EXPECT_EQ(first.tryLock(), Held) << "and blocks nothing";
    first.unlock();
    // Lock files that cannot be made or are not files: the reason, and nothing outside.
    const test::LinkTrap trap(dir / "links");
    fs::create_symlink(trap.outside, dir / "links" / "output1.lock");
    fs::create_directories(dir / "folder" / "output1.lock");
    fs::create_directories(dir / "fifo");
    ASSERT_EQ(mkfifo((dir / "fifo" / "output1.lock").c_str(), 0644), 0);
    // A FIFO would hold up an open that waits: a hang ends the tests by SIGALRM instead.
    alarm(60);
    for (const fs::path& folder :
         {trap.outside / "below", dir / "links", dir / "folder", dir / "fifo"}) {
        WorkingFolderLock lock(WorkingFiles{folder});
        EXPECT_EQ(lock.tryLock(), Error) << folder;
        EXPECT_NE(lock.reason().find((folder / "output1.lock").string()), std::string::npos)
            << lock.reason();
    }
    alarm(0);
    EXPECT_TRUE(trap.untouched());
}

// What another user does between tryLock()'s open and its lock, run once.
std::function<void()> betweenOpenAndLock;

TEST(WorkingFolderLock, HoldsTheFileUnderTheNameWhateverHappensBetweenOpenAndLock) {
    using enum WorkingFolderLock::Status;
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    std::optional<WorkingFolderLock> other;
    const struct {
        const char* what;
        std::function<void()> between;
        WorkingFolderLock::Status expected;
    } cases[] = {
        {"the holder lets go: the file goes", [&] { fs::remove(files.lockFile()); }, Held},
        {"the holder lets go, another takes a new file",
         [&] {
             fs::remove(files.lockFile());
             other.emplace(files);
             ASSERT_EQ(other->tryLock(), Held);
         },
         InUse},
        {"a FIFO takes the name",
         [&] {
             fs::remove(files.lockFile());
             ASSERT_EQ(mkfifo(files.lockFile().c_str(), 0644), 0);
         },
         Error},
    };
    WorkingFolderLock::setLockPause([] {
        if (const auto run = std::exchange(betweenOpenAndLock, nullptr)) run();
    });
    alarm(60);
    for (const auto& c : cases) {
        other.reset();
        fs::remove(files.lockFile());
        betweenOpenAndLock = c.between;
        WorkingFolderLock lock(files);
        EXPECT_EQ(lock.tryLock(), c.expected) << c.what;
        if (c.expected != Held) continue;
        // The lock is on the file that holds the name, so nobody else gets it.
        EXPECT_TRUE(WorkingFolderLock::heldHere(files)) << c.what;
        WorkingFolderLock second(files);
        EXPECT_EQ(second.tryLock(), InUse) << c.what;
    }
    alarm(0);
    WorkingFolderLock::setLockPause(nullptr);
    other.reset();
    fs::remove(files.lockFile());
    // A new lock file may reuse the inode of one let go: it is nobody's in this process.
    {
        WorkingFolderLock lock(files);
        ASSERT_EQ(lock.tryLock(), Held);
    }
    for (int k = 0; k < 8; ++k) {
        test::writeFile(files.lockFile(), "");
        EXPECT_FALSE(WorkingFolderLock::heldHere(files)) << k;
        fs::remove(files.lockFile());
    }
}

TEST(ExtrasReader, ReadsEachLineAsParseExtrasDoesWhereverTheLinesEndAndTheBufferEnds) {
    // next() and nextName() alike.
    // The loader's lines and damaged ones, with every kind of line end.
    static const std::string kLongName =
        "1,2,3,,,,,,,," + std::string(3 * kExtrasTextLimit + 1, 'x');
    // clang-format off
    const std::string_view bodies[] = {
        "23,72,49,2004-06-05", "-9,,49,", ",,,", "1,2,3,2004-13-05", "1,2,3,2004-12-31",
        "1,2,3,2004-01-32", "1,2,3,2004-00-10", "1,2,3,2004-06-0", "123456789,-123456789,0,",
        "1234567890,1,1,", "9999999999,1,1,", "1,2,-1000000000,", "99999999999,1,1,", "-,1,1,",
        "1,2,3,2004-06-05x", "1,2,3", "1,2,3,,", "+1,2,3,", "007,2,3,", "1,2,3,2004-06-05,", "",
        "1,2,3,2004/06/05", "-0,0,0,",
        // with the exact name, last: plain, empty, escaped, a bad escape, a comma, too long
        "23,72,49,2004-06-05,,,,,,,my  net", "1,2,3,,,,,,,,", "1,2,3,,,,,,,,caf%2C%25",
        "1,2,3,,,,,,,,a%2", "1,2,3,,,,,,,,a,b", "1,2,3,,,,,,,1,", kLongName};
    // clang-format on
    const std::string_view ends[] = {"\r\n", "\n", "\r"};
    const auto text = [](const RecordExtras& e) {
        const auto number = [](const std::optional<int>& n) {
            return n ? std::to_string(*n) : std::string("-");
        };
        return number(e.snr) + " " + number(e.signal) + " " + number(e.noise) + " " +
               std::string(e.date) + (e.ssid ? " [" + std::string(*e.ssid) + "]" : "");
    };
    test::TempDir dir;
    const fs::path working = dir / "output1";
    // Every line is the check of one record and a body.
    const RecordFields record{"N1.5",        "E2.5",     "NET", "BSS",  "00:0A:0B:0C:0D:0E",
                              "12:00:00GMT", "[237249]", "0",   "0011", "0",
                              "40"};
    std::string scratch;
    std::string check(kExtrasCheckLength + 1, ' ');
    writeExtrasCheck(recordCheck(record, scratch), check.data());
    // Items apart give the check of the line they make, which the loader wrote.
    ASSERT_EQ(recordCheck(record, scratch),
              recordCheck("N1.5,E2.5,NET,BSS,00:0A:0B:0C:0D:0E,12:00:00GMT,[237249],0,0011,0,40"));
    // A first line of each length moves the others against the reader's 64 KiB chunks.
    for (std::size_t pad = 0; pad < 24; ++pad) {
        std::string file = check + std::string(pad, '1') + ",,,\r\n";
        std::vector<std::string> expected{text(parseExtras(check + std::string(pad, '1') + ",,,"))};
        std::vector<std::string> names{""};
        for (std::size_t k = 0; file.size() < (1 << 16) + 256; ++k) {
            const std::string line = check + std::string(bodies[k % std::size(bodies)]);
            file.append(line).append(ends[k / std::size(bodies) % std::size(ends)]);
            expected.push_back(text(parseExtras(line)));
            names.emplace_back(parseExtras(line).name);
        }
        file += check + "4,5,6,2004-06-05";  // the last line needs no line end
        expected.push_back("4 5 6 2004-06-05");
        expected.push_back("- - - ");  // past the file's end
        names.resize(expected.size());
        test::writeFile(extrasFileOf(working), file);
        ExtrasReader reader(working), nameReader(working);
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ASSERT_EQ(text(reader.next(record)), expected[k]) << "line " << k << ", pad " << pad;
            ASSERT_EQ(nameReader.nextName(record), names[k]) << "line " << k << ", pad " << pad;
        }
    }
}

TEST(ExtrasReader, ALineOfAnotherRecordEndsTheExtrasNeverPairingThem) {
    // Three records; each file is their lines, changed as the row says. A record's extras are
    // its own line's or empty, never another record's. Lines with an exact name take the full
    // parse; the loader's own lines of a wi-scan log (none) are read from the buffer.
    for (const bool named : {true, false}) {
        std::array<RecordFields, 3> records;
        std::array<std::string, 3> lines;
        std::string scratch;
        for (std::size_t k = 0; k < records.size(); ++k) {
            static const std::string kBssids[] = {"00:0A:0B:0C:0D:01", "00:0A:0B:0C:0D:02",
                                                  "00:0A:0B:0C:0D:03"};
            records[k] = {"N1.5",     "E2.5", "NET",  "BSS", kBssids[k], "12:00:00GMT",
                          "[237249]", "0",    "0011", "0",   "40"};
            lines[k].assign(kExtrasCheckLength + 1, ' ');
            writeExtrasCheck(recordCheck(records[k], scratch), lines[k].data());
            const std::string n = std::to_string(k);
            lines[k] += std::to_string(k + 1) + ",7" + n + ",49,2004-06-05" +
                        (named ? ",,,,,,n" + n + "," : ",,,,,,,s" + n) + "\r\n";
        }
        // Its end, past the longest line a reader takes, reads as the next record's line.
        std::string tooLong = lines[1].substr(0, lines[1].size() - 2);
        tooLong.resize(kExtrasLineLimit + 2, 'x');
        struct Row {
            const char* what;
            std::string file;
            const char* signals;  // of the three records, "-" for none; their names the same
        };
        const Row rows[] = {
            {"in step", lines[0] + lines[1] + lines[2], "70 71 72"},
            {"a line added at the top", "1,99,1,2004-06-05\r\n" + lines[0] + lines[1] + lines[2],
             "- - -"},
            {"a line of the record before", lines[0] + lines[0] + lines[1] + lines[2], "70 - -"},
            {"a line lost", lines[0] + lines[2], "70 - -"},
            {"a damaged check", lines[0] + "x" + lines[1].substr(1) + lines[2], "70 - -"},
            {"a damaged body keeps the rest", lines[0] + lines[1].substr(0, 9) + "?\r\n" + lines[2],
             "70 - 72"},
            {"a line without a check (an older file)", "1,70,49,\r\n" + lines[1] + lines[2],
             "- - -"},
            {"a line too long to be the loader's, ending in the next one",
             lines[0] + tooLong + lines[2], "70 - -"},
        };
        test::TempDir dir;
        const fs::path working = dir / "output1";
        // Bytes after the three lines let the reader take each line in one pass from its
        // buffer, as it does in a real extras file; no record reads them.
        const std::string rest(kExtrasLineLimit, 'z');
        for (const Row& row : rows) {
            test::writeFile(extrasFileOf(working), row.file + rest);
            ExtrasReader reader(working), nameReader(working);
            std::string signals, names;
            for (const RecordFields& record : records) {
                const std::optional<int> signal = reader.next(record).signal;
                signals += (signals.empty() ? "" : " ") + (signal ? std::to_string(*signal) : "-");
                const std::string_view name = nameReader.nextName(record);
                names += (names.empty() ? "" : " ") +
                         (name.empty() ? "-" : "7" + std::string(name.substr(1)));
            }
            EXPECT_EQ(signals, row.signals) << row.what << ", named " << named;
            EXPECT_EQ(names, named ? row.signals : "- - -") << row.what;
        }
    }
}

}  // namespace
}  // namespace velmora
