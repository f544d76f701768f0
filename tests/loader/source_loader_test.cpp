// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/source_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "io/file_error.h"
#include "io/line_reader.h"
#include "loader/read_ahead_log.h"
#include "loader/record_line.h"
#include "loader/sighting_line.h"
#include "records/record_walk.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;
using test::textLog;
using namespace std::string_literals;

class Loader : public ::testing::Test {
  protected:
    LoadResult load(std::string_view logBytes) {
        test::writeFile(dir / "drive.txt", logBytes);
        return loadSourceLog(dir / "drive.txt", files);
    }
    std::string output1() const { return test::readFile(files.output1()); }
    // The extras file with each line's check taken off, once it is found to be the check of
    // that line's record, and the values only other formats give, which a wi-scan log leaves
    // empty, and its name.
    std::string extrasBodies() const {
        const std::string text = test::readFile(files.extras());
        std::string bodies, scratch;
        std::size_t at = 0;
        forEachRecord(files.output1(), [&](const RecordFields& fields) {
            at = std::min(at, text.size());
            const std::size_t end = std::min(text.find("\r\n", at), text.size());
            const std::string_view line(text.data() + at, end - at);
            at = end + 2;
            // The wi-scan values end at the fourth comma after the check's.
            std::size_t rest = kExtrasCheckLength;
            for (int comma = 0; comma < 4 && rest != line.npos; ++comma)
                rest = line.find(',', rest + 1);
            if (extrasCheckOf(line) != recordCheck(fields, scratch) || rest == line.npos ||
                line.substr(rest, 7) != ",,,,,,," || line.find(',', rest + 7) != line.npos)
                bodies.append("<not its record's or other values: ").append(line);
            else
                bodies.append(line.substr(kExtrasCheckLength + 1, rest - kExtrasCheckLength - 1))
                    .append("\r\n");
        });
        return at == text.size() ? bodies : bodies + "<not one line per record>";
    }

    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

std::array<std::uint64_t, 6> all(const LoadCounts& n) {
    return {n.total, n.dropped, n.wepOff, n.wepOn, n.infrastructure, n.adHoc};
}

TEST_F(Loader, AcceptsOnlyTheTwoFormatLinesExactly) {
    const std::string text = "# $Format: wi-scan with extensions";
    test::writeFile(files.output1(), "kept\r\n");
    for (const std::string& bytes :
         {"x\r\n" + text + " \r\n", "x\r\n# $format: wi-scan with extensions\r\n"s,
          " " + text + "\r\n" + text + "x\r\n", text + "\r\n", ""s,
          "x\r\n# $Format: wi-scan\0with extensions\r\n"s, "NetS\x07\0\0\0\0\0\0\0"s}) {
        const LoadResult result = load(bytes);
        EXPECT_EQ(result.report, "Bad File - Try Again") << bytes.substr(0, 80);
        // The binary log's reader says why it refuses the file.
        EXPECT_EQ(result.reason, bytes.starts_with("NetS") ? "unsupported .ns1 version 7" : "");
        EXPECT_EQ(output1(), "kept\r\n") << "a rejected file touches nothing";
    }
    const std::pair<std::string, std::string> accepted[] = {
        // An unmarked first line is data.
        {"N 1\tE 2\r\n" + text + "\r\n", "N1,E2,#Blank#,,,,,,,,\r\n"},
        {"N 1\tE 2\n# $Format: wi-scan summary with extensions\n", "N1,E2,#Blank#,,,,,,,,\r\n"},
        {"N 1\tE 2\r" + text, "N1,E2,#Blank#,,,,,,,,\r\n"},
        {textLog({dataLine("N 0.0", "E 0.0", "a", "00:0a", "0011"), "S 0.0451234"}), ""}};
    for (const auto& [bytes, stored] : accepted) {
        EXPECT_EQ(load(bytes).report, "Processing Done!") << bytes;
        EXPECT_EQ(output1(), stored) << bytes;
    }
}

// The bytes this process has read from files so far.
std::uint64_t bytesRead() {
    std::ifstream io("/proc/self/io");
    for (std::string word; io >> word;)
        if (word == "rchar:" && io >> word) return std::stoull(word);
    ADD_FAILURE() << "no rchar in /proc/self/io";
    return 0;
}

TEST_F(Loader, DecidesFromTheFirstBytesWhateverFollowsThem) {
    // A gigabyte without a line end (sparse) after each start: the check reads a few chunks.
    for (const std::string& start :
         {""s, "x\r\n"s, "x\r\n# $Format: wi-scan with extensions"s, std::string(70000, 'x')}) {
        const fs::path big = dir / "big.txt";
        test::writeFile(big, start);
        fs::resize_file(big, 1ull << 30);
        const std::uint64_t before = bytesRead();
        EXPECT_EQ(loadSourceLog(big, files).report, "Bad File - Try Again") << start.size();
        EXPECT_LT(bytesRead() - before, 4u << 20) << start.size();
    }
}

TEST_F(Loader, KeepsASightingOnlyWhenItsFirstTwoColumnsAreAPosition) {
    const std::string rest = "\t( n )\tBSS\t( 00:0a )\t01:02:03 (GMT)\t[ 25 74 49 ]\t# (  )\t0011";
    const auto sized = [](std::size_t size) {
        std::string line = "N 1\tE 2\tbig";
        line.resize(size, 'n');
        return line;
    };
    // The line, and its stored latitude when it is kept ("" when it is dropped and counted).
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"N 41.1234567\tW 81.75" + rest, "N41.1234567"}, {"S 0.0451234\tE 2.5" + rest, "S0.0451234"},
        {"s 0.0000001\te 0" + rest, "s0.0000001"},       {"n 90\tw 180" + rest, "n90"},
        {"N   1.5\tE  2", "N1.5"},                        {"S 0001\tW 007.50" + rest, "S0001"},
        {sized(kDataLineLimit), "N1"},
        {"N 0.0000000\tE 0.0000000" + rest, ""}, {"S 00.000\tE 2", ""}, {"N 90.0000001\tE 2", ""},
        {"N 1\tE 180.5", ""},      {"E 1\tN 1", ""},    {"N abc\tE 1", ""},  {"N 1\tE abc", ""},
        {"N 33,5\tE 1", ""},       {"N 1.\tE 1", ""},   {"N .5\tE 1", ""},   {"N -1\tE 1", ""},
        {"N1\tE 1", ""},           {"N 1 \tE 1", ""},   {" N 1\tE 1", ""},   {"N\t1\tE 1", ""},
        {"X 1\tE 1", ""},          {"N 1\t", ""},       {"N 1\t E 1", ""},   {"N 1", ""},
        {"N 41.5 E 2.5", ""},       {sized(kDataLineLimit + 1), ""},
        // As the scanner writes positions: seven decimals.
        {"N 90.0000000\tE 180.0000000" + rest, "N90.0000000"}, {"s 0.0000001\tw 9.1234567" + rest, "s0.0000001"},
        {"N 9.1234567\tE 0.0000000" + rest, "N9.1234567"},     {"N 041.1234567\tE 1.0000000" + rest, "N041.1234567"},
        {"N 41.12345678\tE 1.0000000" + rest, "N41.12345678"}, {"N 90.0000001\tE 1.0000000" + rest, ""},
        {"N 1.0000000\tE 180.0000001" + rest, ""},             {"N 4.1234567\tE 1.000000x" + rest, ""},
        {"N 4.123456\t\tE 1.0000000" + rest, ""},              {"N 4..234567\tE 1.0000000" + rest, ""},
        {"N 4.1234567 \tE 1.0000000" + rest, ""}};
    // clang-format on
    std::string log = "x\r\n# $Format: wi-scan with extensions\r\n";
    std::vector<std::string> stored;
    for (const auto& [line, latitude] : cases) {
        EXPECT_EQ(isNonGpsEntry(line), latitude.empty()) << line.substr(0, 40);
        // A line of 32 bytes or more is judged first by its usual layout: so also each short
        // one, made longer without changing what it is.
        if (line.size() < 32) {
            EXPECT_EQ(isNonGpsEntry(line + rest), latitude.empty()) << line << " (made longer)";
        }
        log += line + "\r\n";
        if (!latitude.empty()) stored.push_back(latitude);
    }
    // Comments and blank lines are neither kept nor counted, however long.
    log += "#" + std::string(1 << 17, 'c') + "\r\n \t \r\n";
    const auto result = load(log);
    EXPECT_EQ(result.counts.total, stored.size());
    EXPECT_EQ(result.counts.dropped, std::size(cases) - stored.size() + 1) << "and the line x";
    std::vector<std::string> latitudes;
    for (const auto& record : test::readRecords(files.output1()))
        latitudes.push_back(record[WorkingRecord::Latitude]);
    EXPECT_EQ(latitudes, stored);
}

// Each kept line's record, and the map files' name of it: its name column exactly, as UTF-8,
// cut where an extras text is (the map files read the rest back: map_sinks_test.cpp); the
// record's SSID item keeps today's rule.
TEST_F(Loader, NormalisesEachDataLineIntoOneElevenItemRecord) {
    const auto line = [](auto lat, auto n) { return dataLine(lat, "E 2", n, "00:0a", "0011"); };
    const std::string longName(200, 'a');
    const auto result = load(textLog(
        {line("N 41.1234567", "my (home)  net"), "# a comment among the data", line("S 1.5", ""),
         line("S 1.5", "   "), "", " \t ", line("N 0.0000000", "a"), line("S 0.0451234", "b"),
         line("N 10.0000000", "Cafe, Bar"), line("N 1", "the \"den\""), line("N 1", "\xe9t\x80"),
         line("N 1", "x%") + "\t110\t6", "N 1.0\tE 2.0\t( cut )", line("N 1", longName)}));
    EXPECT_EQ(all(result.counts), (std::array<std::uint64_t, 6>{10, 1, 0, 9, 9, 0}));
    const std::string tail = ",BSS,00:0a,01:02:03GMT,[257449],#,0011,00000040,100\r\n";
    EXPECT_EQ(output1(), "N41.1234567,E2,myhomenet" + tail + "S1.5,E2,#Blank#" + tail +
                             "S1.5,E2,#Blank#" + tail + "S0.0451234,E2,b" + tail +
                             "N10.0000000,E2,\"Cafe,Bar\"" + tail + "N1,E2,\"the\"\"den\"\"\"" +
                             tail + "N1,E2,\xe9t\x80" + tail + "N1,E2,x%" + tail +
                             "N1.0,E2.0,cut,,,,,,,,\r\nN1,E2," + longName + tail);
    EXPECT_EQ(test::readFile(files.output2()), output1());
    for (const fs::path& hidden : {files.output1(), files.extras()})
        EXPECT_EQ(fs::status(hidden).permissions() & fs::perms::owner_write, fs::perms::none);
    ExtrasReader reader(files.output1());
    std::vector<std::string> names;
    forEachRecord(files.output1(), [&](const RecordFields& fields) {
        const RecordExtras extras = reader.next(fields);
        names.emplace_back(extras.ssid.value_or("<none>"));
        EXPECT_EQ(extras.name, "") << "the Advanced windows' name stays the SSID item";
    });
    EXPECT_EQ(names, (std::vector<std::string>{"my (home)  net", "", "   ", "b", "Cafe, Bar",
                                               "the \"den\"", "\xc3\xa9t\xe2\x82\xac", "x%", "cut",
                                               longName.substr(0, kExtrasTextLimit)}));
}

TEST_F(Loader, FailuresLeaveNoHalfWrittenWorkingFile) {
    const fs::path log = test::repoFile("samples/drive-text.txt");
    // Working files that are links (symbolic and hard) are replaced, never written through,
    // and the file they reach keeps its bytes and its mode.
    const fs::path victim = dir / "victim";
    test::writeFile(victim, "precious\r\n");
    fs::permissions(victim, fs::perms(0640));
    for (const fs::path& file : {files.output1(), files.output2(), files.extras()})
        file == files.output2() ? fs::create_symlink(victim, file)
                                : fs::create_hard_link(victim, file);
    ASSERT_EQ(loadSourceLog(log, files).status, LoadStatus::Loaded);
    EXPECT_EQ(test::readFile(victim), "precious\r\n");
    EXPECT_EQ(fs::status(victim).permissions(), fs::perms(0640));
    EXPECT_EQ(fs::hard_link_count(victim), 1u);
    EXPECT_FALSE(fs::is_symlink(files.output2()));
    // A folder in the extras file's place fails the load, and the other two go with it.
    removeWorkingFile(files.extras());
    fs::create_directory(files.extras());
    EXPECT_EQ(loadSourceLog(log, files).status, LoadStatus::WorkingFileError);
    EXPECT_FALSE(fs::exists(files.output1()) || fs::exists(files.output2()));
    fs::remove(files.extras());
    ASSERT_EQ(loadSourceLog(log, files).status, LoadStatus::Loaded);
    // Logs that cannot be read leave the working file as it was.
    const std::string loaded = output1();
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // opening it would wait for a writer
    fs::create_symlink("/dev/zero", dir / "zero-link");
    for (const fs::path& bad : {dir / "absent.txt", dir.path(), fs::path("/dev/zero"),
                                fs::path("/dev/null"), dir / "zero-link", dir / "fifo"}) {
        const auto result = loadSourceLog(bad, files);
        EXPECT_EQ(result.report, "File Not Readable - Try Again") << bad;
        EXPECT_NE(result.reason.find(bad.string()), std::string::npos) << result.reason;
    }
    EXPECT_EQ(output1(), loaded);
    // A working folder below a regular file cannot be made, even by root.
    const auto blocked = loadSourceLog(log, WorkingFiles{files.output1() / "work"});
    EXPECT_EQ(blocked.report + (blocked.reason.empty() ? "" : ": why"),
              "Working File Error - Check Folder: why");
    // A disk that fills during the load: neither working file is left.
    const auto full = [&] {
        return loadSourceLog(log, files).report == "Working File Error - Check Folder" &&
               !fs::exists(files.output1()) && !fs::exists(files.output2()) &&
               !fs::exists(files.extras());
    };
    EXPECT_EXIT(test::exitWith(full, 600), ::testing::ExitedWithCode(0), "");
}

TEST_F(Loader, AFolderAnotherUserHoldsIsLeftAsItIs) {
    // Another user's load: its working file, and one it has moved aside and not yet deleted.
    test::writeFile(files.output1(), "theirs\r\n");
    test::writeFile(dir / ".output1.old-5", "theirs, going\r\n");
    // Held by another process until this one closes the pipe.
    int ready[2], done[2];
    ASSERT_TRUE(pipe(ready) == 0 && pipe(done) == 0);
    const pid_t theirs = fork();
    if (theirs == 0) {
        close(done[1]);
        WorkingFolderLock lock(files);
        const char held = lock.tryLock() == WorkingFolderLock::Status::Held;
        char end;
        if (write(ready[1], &held, 1) == 1) (void)!read(done[0], &end, 1);
        _exit(0);
    }
    close(done[0]);
    char held = 0;
    ASSERT_TRUE(read(ready[0], &held, 1) == 1 && held);
    const auto result = loadSourceLog(test::repoFile("samples/drive-text.txt"), files);
    EXPECT_EQ(result.status, LoadStatus::InUse);
    EXPECT_EQ(result.report, "File In Use - Close Other Copy");
    EXPECT_EQ(output1(), "theirs\r\n");
    EXPECT_EQ(test::readFile(dir / ".output1.old-5"), "theirs, going\r\n");
    EXPECT_FALSE(fs::exists(files.output2()) || fs::exists(files.extras()));
    close(done[1]);
    waitpid(theirs, nullptr, 0);
}

TEST_F(Loader, TheLastLoadsFilesGoAndNothingIsLeftBeside) {
    // A large one is deleted on a thread of its own, a small one at once.
    test::writeFile(files.output1(), std::string(9 << 20, 'o'));
    setHiddenAttribute(files.output1());
    test::writeFile(files.output2(), "old\r\n");
    test::writeFile(files.extras(), "1,2,3,\r\n");
    test::writeFile(dir / ".output2.old-12", "left by a load that stopped midway");
    test::writeFile(dir / ".output1.old-5", "left by another user's load, let go since");
    test::writeFile(dir / ".output1.extras.old-3", "left by a load that stopped midway");
    fs::create_directory(dir / ".output1.old-7");  // a folder: not the loader's to delete
    ASSERT_EQ(loadSourceLog(test::repoFile("samples/drive-text.txt"), files).status,
              LoadStatus::Loaded);
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{".output1.old-7", "output1", "output1.extras", "output2"}));
    EXPECT_EQ(output1(), test::readFile(files.output2()));
}

// A data line with `signal` as its seventh column.
std::string withSignal(std::string_view signal, std::string_view ssid = "net") {
    return "N 1.5\tE 2.5\t( " + std::string(ssid) + " )\tBSS\t( 00:0a )\t01:02:03 (GMT)\t" +
           std::string(signal) + "\t# (  )\t0011\t00000040\t100";
}

TEST_F(Loader, WritesOneExtrasLinePerRecordFromTheSignalColumnAndTheLatestDateLine) {
    const std::string head = "x\r\n# $Format: wi-scan with extensions\r\n";
    // The log after its format line, and its extras file.
    const std::pair<std::string, std::string> cases[] = {
        {"# $DateGMT: 2004-06-05\r\n" + withSignal("[ -9 40 49 ]") +
             "\r\n# $DateGMT: 2004-06-06\r\n" + withSignal("[ 1 2 3 ]") + "\r\nN 0.0\tE 1\r\n" +
             withSignal("[ 4 5 6 ]"),
         "-9,40,49,2004-06-05\r\n1,2,3,2004-06-06\r\n4,5,6,2004-06-06\r\n"},
        // A damaged date line leaves what follows undated; a comment that only looks like one
        // changes nothing; blanks after the date are allowed.
        {"# $DateGMT: 2004-06-05 \t\r\n" + withSignal("[ 1 2 3 ]") +
             "\r\n#$DateGMT: 2005-01-01\r\n" + withSignal("[ 1 2 3 ]") +
             "\r\n# $DateGMT: 2004-13-05\r\n" + withSignal("[ 1 2 3 ]") +
             "\r\n# $DateGMT: 2004-6-05\r\n# $DateGMT: 2004-06-05x\r\n# $DateGMT:x2004-06-07\r\n" +
             withSignal("[ 1 2 3 ]"),
         "1,2,3,2004-06-05\r\n1,2,3,2004-06-05\r\n1,2,3,\r\n1,2,3,\r\n"},
        // Quoted names take the general path.
        {"# $DateGMT: 2004-06-05\r\n" + withSignal("[ 5 6 7 ]", "Cafe, Bar") + "\r\n" +
             withSignal("[ 8 9 10 ]", "the \"den\""),
         "5,6,7,2004-06-05\r\n8,9,10,2004-06-05\r\n"},
        // The longest number a column's part may hold, and one a digit longer.
        {withSignal("[ 123456789 1 2 ]") + "\r\n" + withSignal("[ 1234567890 1 2 ]"),
         "123456789,1,2,\r\n,1,2,\r\n"}};
    for (const auto& [log, extras] : cases) {
        ASSERT_EQ(load(head + log).status, LoadStatus::Loaded) << log;
        EXPECT_EQ(extrasBodies(), extras) << log;
    }
}

// The signal numbers of a data line's extras line, read plainly: its seventh column split at
// tabs, trimmed, its brackets and then its parts taken apart at spaces.
std::string plainExtras(std::string_view line) {
    std::string_view column = line;
    for (int k = 0; k < 6; ++k)
        column = column.find('\t') == column.npos ? "" : column.substr(column.find('\t') + 1);
    column = column.substr(0, column.find('\t'));
    const auto trim = [&] {
        column.remove_prefix(std::min(column.find_first_not_of(' '), column.size()));
        column = column.substr(0, column.find_last_not_of(' ') + 1);
    };
    trim();
    if (column.starts_with('[')) column.remove_prefix(1);
    trim();
    if (column.ends_with(']')) column.remove_suffix(1);
    std::string extras;
    for (int k = 0; k < 3; ++k) {
        trim();
        const std::string_view part = column.substr(0, column.find(' '));
        column.remove_prefix(part.size());
        const std::size_t digits = part.size() - (part.starts_with('-') ? 1 : 0);
        if (digits >= 1 && digits <= 9 &&
            part.find_first_not_of("0123456789", part.size() - digits) == part.npos)
            extras += part;
        extras += ',';
    }
    return extras;
}

// A log's data line as the loader's rule defines it: the record normalise() makes, written
// by appendRecordLine and counted.
void addPlainly(std::string_view line, std::string& output1, LoadCounts& counts) {
    if (isCommentLine(line) || isBlankLine(line)) return;
    if (isNonGpsEntry(line)) return void(++counts.dropped);
    WorkingRecord record;
    record_line::normalise(line, record);
    appendRecordLine(output1, record);
    record_line::count(record[WorkingRecord::Flags], counts);
}

// A data line of random columns made of pieces that each meet a rule (dropped characters,
// separators, quotes, 8-bit bytes, flags of one character, non-GPS positions) and of any byte
// but a line end; most begin with a position or something close to one.
std::string randomLine(std::mt19937& random) {
    const std::string_view heads[] = {"N 41.1234567\tW 2.5000000",  "s 0.0451\te 0", "S 1.5\tw 180",
                                      "N 0.0000000\tE 0.0000000",   "N 91\tE 1",     "N 33,5\tE 1",
                                      "n 90.0000000\tE 180.0000001"};
    // clang-format off
    const std::string_view pieces[] = {
        "N 41.1234567", "S 0.0451",  "0.0", "x0.0",       "( my net )", "Cafe, Bar",
        "the \"den\"",  "\xe9t\xe9", "",    " ",          "(",          ")",
        "0011",         "0012",      "5",   "#",          "a;b",        "[ ",
        " ]",           "-",         "12",  "1234567890", " 7 ",        "123456789",
        "[",            "]",         "+4",  "\xff\x80"};
    // clang-format on
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    std::string line(pick(4) ? heads[pick(std::size(heads))] : "");
    for (std::size_t c = 0, columns = pick(15); c < columns; ++c) {
        if (c || !line.empty()) line += '\t';
        for (std::size_t k = pick(4); k > 0; --k)
            if (const char b = static_cast<char>(random()); pick(2))
                line += pieces[pick(std::size(pieces))];
            else if (b != '\r' && b != '\n')
                line += b;
    }
    return line;
}

TEST(RecordLine, EveryBuilderThisBuildHasGivesThePlainRecordLine) {
    // The loader runs the fastest builder the CPU allows; each must give the same lines, and
    // the extras line the same numbers (the short signal columns have a fast path of their
    // own).
    std::vector<std::pair<const char*, record_line::Writer>> builders{
        {"portable", &record_line::writePortable}};
    if (const auto vector = record_line::vectorWriter()) builders.emplace_back("vector", vector);
    std::mt19937 random(6);
    std::vector<char> out, extras(kExtrasLineLimit);
    for (int i = 0; i < 20000; ++i) {
        const std::string line = randomLine(random);
        std::string plain;
        LoadCounts plainCounts;
        addPlainly(line, plain, plainCounts);
        if (plainCounts.total == 0) continue;  // a comment, blank or non-GPS line
        // Its extras line (undated): the numbers the signal column read plainly gives.
        const std::string numbers = plainExtras(line);
        char* const extrasEnd =
            record_line::writeExtras(line, record_line::signalColumn(line), "", 0, extras.data());
        ASSERT_EQ(std::string(extras.data() + kExtrasCheckLength + 1, extrasEnd - 2)
                      .substr(0, numbers.size()),
                  numbers)
            << line;
        for (const auto& [name, write] : builders) {
            out.assign(line.size() + record_line::kGrowth + record_line::kSlack, '\0');
            LoadCounts counts;
            std::string_view signal = "unset";
            const char* const end = write(line, out.data(), counts, signal);
            // A line with an item to quote is left to the general path.
            if (plain.find('"') != std::string::npos) {
                ASSERT_EQ(end, nullptr) << name << ": " << line;
                continue;
            }
            ASSERT_NE(end, nullptr) << name << ": " << line;
            ASSERT_EQ(std::string(static_cast<const char*>(out.data()), end), plain)
                << name << ": " << line;
            ASSERT_EQ(all(counts), all(plainCounts)) << name << ": " << line;
            ASSERT_EQ(signal, record_line::signalColumn(line)) << name << ": " << line;
        }
    }
}

// The logs other formats' readers read, through the loader: counts computed by the generator
// (make_survey_log.py --stats) for the samples. The binary sample and its text export, written
// together, hold the same entries in the same order: the same records, and each the same
// extras line up to its date (the text has no other values). A binary log cut short keeps its
// complete records, in order, and says where it ends.
TEST_F(Loader, ReadsTheLogsOfEveryFormatIntoRecordsAndCounts) {
    using enum SourceType;
    struct Row {
        const char* log;  // in the test's folder, else in samples/
        SourceType type;
        std::array<std::uint64_t, 6> counts;  // total, dropped, WEP off/on, infrastructure, ad hoc
        std::uint64_t otherRadios;
        const char* extras;       // a wi-scan log's first extras line (checked against its record)
        const char* damage = "";  // where it is cut short
        bool sameAsBefore = false;  // its records and extras up to their dates: the row before's
    };
    const std::string ns1 = test::readFile(test::repoFile("samples/drive-ns1.ns1"));
    test::writeFile(dir / "cut.ns1", ns1.substr(0, ns1.size() - 200));
    test::writeFile(dir / "cut.ns1.gz", test::gzipped(ns1.substr(0, ns1.size() - 200)));
    // Logs saved compressed: what they hold.
    for (const char* name : {"drive-text.txt", "wigle-phone.csv", "drive-ns1.ns1"})
        test::writeFile(dir / (name + ".gz"s),
                        test::gzipped(test::readFile(test::repoFile("samples/"s + name))));
    const Row rows[] = {
        {"drive-text.txt", TextExport, {27, 3, 17, 10, 15, 12}, 0, "23,72,49,2004-06-05\r\n"},
        {"drive-text.txt.gz", TextExport, {27, 3, 17, 10, 15, 12}, 0, nullptr, "", true},
        {"drive-summary.txt", SummaryExport, {28, 2, 21, 7, 9, 12}, 0, "43,92,49,2004-06-05\r\n"},
        {"wigle-phone.csv", WigleCsv, {37, 5, 10, 27, 34, 3}, 6, nullptr},
        {"wigle-phone.csv.gz", WigleCsv, {37, 5, 10, 27, 34, 3}, 6, nullptr, "", true},
        {"wigle-board.csv", WigleCsv, {29, 1, 8, 21, 29, 0}, 0, nullptr},
        {"drive-ns1.ns1", Ns1Binary, {44, 4, 36, 8, 25, 19}, 0, nullptr},
        {"drive-ns1.ns1.gz", Ns1Binary, {44, 4, 36, 8, 25, 19}, 0, nullptr, "", true},
        {"drive-ns1.txt", TextExport, {44, 4, 36, 8, 25, 19}, 0, nullptr, "", true},
        {"cut.ns1", Ns1Binary, {34, 4, 26, 8, 25, 9}, 0, nullptr, "access point 8 of 8"},
        {"cut.ns1.gz", Ns1Binary, {34, 4, 26, 8, 25, 9}, 0, nullptr, "access point 8 of 8", true},
    };
    std::string previous;
    for (const Row& row : rows) {
        const fs::path log =
            fs::exists(dir / row.log) ? dir / row.log : test::repoFile("samples/"s + row.log);
        const LoadResult r = loadSourceLog(log, files);
        ASSERT_EQ(r.status, LoadStatus::Loaded) << row.log;
        EXPECT_EQ(r.type, row.type) << row.log;
        EXPECT_EQ(all(r.counts), row.counts) << row.log;
        EXPECT_EQ(r.counts.otherRadios, row.otherRadios) << row.log;
        EXPECT_EQ(r.damage, *row.damage ? "the file is cut short in "s + row.damage : "");
        EXPECT_EQ(test::readRecords(files.output1()).size(), row.counts[0]) << row.log;
        EXPECT_TRUE(!row.extras || extrasBodies().starts_with(row.extras)) << row.log;
        std::string kept = output1();
        LineReader extras(files.extras());
        for (std::string line; extras.next(line);) {
            std::size_t end = 0;
            for (int comma = 0; comma < 5; ++comma) end = line.find(',', end) + 1;
            kept += line.substr(0, end) + "\n";
        }
        EXPECT_TRUE(!row.sameAsBefore || kept == previous) << row.log;
        EXPECT_TRUE(!*row.damage || previous.starts_with(output1())) << "complete records kept";
        previous = kept;
    }
}

// The sighting line's coordinates and the extras' decimals are written without the library's
// conversions: they must give its text to the last digit (ties, values a digit short of one,
// random bits).
TEST(SightingLine, NumbersAreTheLibrarysTextToTheLastDigit) {
    std::mt19937_64 random(5);
    std::vector<double> values = {0.00390625, 0.5e-7, 1.5e-7, 89.99999995, 179.99999995,
                                  0.1,        2.5,    1e-300, 5e-324,      99999.0,
                                  10000.0,    0.001,  0.0001, 0.0012,      1e5};
    for (int k = 0; k < 20000; ++k) {
        values.push_back(std::ldexp(static_cast<double>(random() % 100000), -int(random() % 40)));
        values.push_back(static_cast<double>(random() % 3600000001) / 1e7);
        values.push_back(static_cast<double>(random() % 2000000) / 1000);
        values.push_back(std::nextafter(values.back(), 1e9));
    }
    for (const double value : values) {
        for (const double signed_ : {value, -value}) {
            LogSighting s;
            s.latitude = signed_;
            s.longitude = -signed_;
            char expected[96];
            std::snprintf(expected, sizeof expected, "%c %.7f\t%c %.7f\t", signed_ < 0 ? 'S' : 'N',
                          value, signed_ < 0 ? 'E' : 'W', value);
            std::string line;
            sighting_line::write(s, NameBytes::Printable, line);
            ASSERT_EQ(line.substr(0, std::strlen(expected)), expected) << signed_;

            RecordExtras extras;
            extras.altitude = signed_;
            char text[kExtrasLineLimit];
            const char* const end = writeExtrasValues(extras, 6, text);
            char library[32];
            const char* const libraryEnd = std::to_chars(library, library + 32, signed_).ptr;
            const std::string_view written(text + 1, static_cast<std::size_t>(end - text - 1));
            ASSERT_EQ(written.substr(0, written.find(',')),
                      std::string_view(library, static_cast<std::size_t>(libraryEnd - library)))
                << signed_;
        }
    }
}

// The record writer makes of a sighting the record and extras lines its wi-scan line gives,
// or leaves it to that line; one writer takes all the rows in turn, each three times, so that
// the parts it keeps for an access point are both replaced and reused.
TEST(SightingLine, TheRecordWriterWritesWhatTheWiScanLineGives) {
    using Outcome = sighting_line::RecordWriter::Outcome;
    using enum sighting_line::RecordWriter::Outcome;
    struct Row {
        double latitude, longitude;
        std::string ssid;
        std::uint32_t capabilities;
        std::array<int, 3> signal;  // SNR, signal, noise; none where SNR is 0
        Outcome outcome;
    };
    const std::string accented = "caf\xc3\xa9 \xe4\xb8\xad\x01\xff";
    const Row rows[] = {
        {41.1234567, -81.75, "home", 0x11, {23, 72, 49}, Written},
        {-33.86, 151.2, "", 0x02, {0, 0, 0}, Written},
        {0.00000004, 10, "no fix", 0x01, {1, 2, 3}, NoFix},
        {-0.00000006, 10, "rounds up", 0x01, {1, 2, 3}, Written},
        {89.99999996, 179.99999999, "( a b )", 0x0421, {-5, -999999999, 1234567890}, Written},
        {12.5, 0, accented, 0x12, {0, 0, 0}, Written},
        {1, 1, "a,b", 0x01, {0, 0, 0}, LinePath},
        {1, 1, "say \"hi\"", 0x01, {0, 0, 0}, LinePath},
        {1, 1, std::string(2000, 'x'), 0x01, {0, 0, 0}, LinePath},
        {std::nan(""), 1, "nan", 0x01, {0, 0, 0}, LinePath},
    };
    std::mt19937_64 random(26);
    for (const NameBytes rule : {NameBytes::Printable, NameBytes::AsLogged}) {
        sighting_line::RecordWriter writer(rule);
        for (const Row& row : rows) {
            for (int pass = 0; pass < 3; ++pass) {
                LogSighting s;
                s.latitude = row.latitude;
                s.longitude =
                    row.longitude * (1 - (pass ? static_cast<double>(random() % 1000) / 1e9 : 0));
                s.ssid = row.ssid;
                s.bssid = {0x00, 0x09, 0x5b, static_cast<std::uint8_t>(pass > 0), 0xe7, 0x61};
                s.capabilities = row.capabilities;
                s.channelBits = 0x40 << (pass > 0);
                s.beaconInterval = pass ? std::optional<std::uint32_t>(100) : std::nullopt;
                s.channel = pass ? std::optional<int>(161) : std::nullopt;
                if (pass)
                    s.time = {true, true, 2024, 5, 6, 23, 59, static_cast<int>(random() % 60)};
                if (row.signal[0])
                    std::tie(s.snr, s.signal, s.noise) =
                        std::tuple(row.signal[0], row.signal[1], row.signal[2]);
                s.rssi = pass ? std::optional<int>(-61) : std::nullopt;
                if (pass) s.auth = "[WPA2-PSK-CCMP][ESS],%";
                s.altitude = pass ? std::optional<double>(61.4) : std::nullopt;
                s.accuracy = pass ? std::optional<double>(1e-300) : std::nullopt;

                std::vector<char> record(writer.recordRoom(s)), extras(kExtrasLineLimit);
                LoadCounts counts, lineCounts;
                char* end = nullptr;
                std::uint32_t check = 0;
                const Outcome outcome = writer.writeRecord(s, record.data(), counts, end, check);
                ASSERT_EQ(outcome, row.outcome) << row.ssid;
                std::string line;
                sighting_line::write(s, rule, line);
                if (outcome != Outcome::Written) {
                    EXPECT_TRUE(outcome != Outcome::NoFix || isNonGpsEntry(line)) << line;
                    continue;
                }
                // The line's way, as the loader takes a data line.
                std::vector<char> expected(line.size() + record_line::kGrowth +
                                           record_line::kSlack);
                std::string_view signal;
                char* const expectedEnd =
                    record_line::write(line, expected.data(), lineCounts, signal);
                ASSERT_NE(expectedEnd, nullptr) << line;
                ASSERT_EQ(std::string(record.data(), end),
                          std::string(expected.data(), expectedEnd));
                EXPECT_EQ(all(counts), all(lineCounts)) << line;
                const std::uint32_t lineCheck = recordCheck(std::string_view(
                    expected.data(), static_cast<std::size_t>(expectedEnd - expected.data()) - 2));
                char dateText[10];
                const RecordExtras more = sighting_line::extrasOf(s);
                std::vector<char> expectedExtras(kExtrasLineLimit);
                EXPECT_EQ(std::string(extras.data(), writer.writeExtras(s, check, extras.data())),
                          std::string(expectedExtras.data(),
                                      record_line::writeExtras(
                                          line, signal, sighting_line::dateOf(s.time, dateText),
                                          lineCheck, expectedExtras.data(), &more)));
            }
        }
    }
}

// Entries read ahead come in the reader's order with their texts, across batches cut by the
// count and by the texts' bytes; the reader's failure and damage come through as its own.
TEST(ReadAheadLog, HandsOverTheReadersEntriesFailureAndDamage) {
    constexpr std::size_t kTotal = 2 * ReadAheadLog::kEntries + 100;
    struct Numbered final : LogReader {
        // The first entries' names fill a batch's texts in a few entries; the rest are short,
        // so that later batches are cut by the count.
        static std::size_t nameSize(std::size_t k) {
            return k < 100 && k % 7 == 0 ? ReadAheadLog::kTextBytes / 3 + k : k % 32;
        }
        std::size_t count = 0, failAt = 0;
        std::string text;
        bool next(LogEntry& entry) override {
            if (count == failAt) throw FileError("log", "cut");
            if (count == kTotal) return false;
            // An auth text on every third.
            text.assign(nameSize(count), static_cast<char>('a' + count % 26));
            entry = {};
            entry.kind = count % 2 ? LogEntry::Kind::Sighting : LogEntry::Kind::NoPosition;
            entry.sighting.ssid = text;
            if (count % 3 == 0) entry.sighting.auth = std::string_view(text).substr(0, 5);
            entry.sighting.latitude = static_cast<double>(count++);
            return true;
        }
        std::string damage() const override { return "damaged"; }
    };
    for (const std::size_t failAt : {kTotal + 1, ReadAheadLog::kEntries + 33}) {
        Numbered reader;
        reader.failAt = failAt;
        ReadAheadLog ahead(reader);
        LogEntry entry;
        std::size_t k = 0;
        const auto readAll = [&] {
            for (; ahead.next(entry); ++k) {
                ASSERT_EQ(entry.sighting.latitude, static_cast<double>(k));
                ASSERT_EQ(entry.kind,
                          k % 2 ? LogEntry::Kind::Sighting : LogEntry::Kind::NoPosition);
                ASSERT_EQ(entry.sighting.ssid,
                          std::string(Numbered::nameSize(k), static_cast<char>('a' + k % 26)));
                ASSERT_EQ(entry.sighting.auth.value_or("none"),
                          k % 3 == 0 ? entry.sighting.ssid.substr(0, 5) : "none");
            }
        };
        if (failAt < kTotal) {
            EXPECT_THROW(readAll(), FileError);
            EXPECT_LE(k, failAt);
        } else {
            readAll();
            EXPECT_EQ(k, kTotal);
            EXPECT_FALSE(ahead.next(entry));
            EXPECT_EQ(ahead.damage(), "damaged");
        }
    }
}

}  // namespace
}  // namespace velmora
