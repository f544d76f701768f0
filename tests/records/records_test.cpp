#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "io/text_file_writer.h"
#include "io/block_writer.h"
#include "io/byte_scan.h"
#include "io/interrupt_cleanup.h"
#include "io/line_reader.h"
#include "records/record_reader.h"
#include "records/record_writer.h"
#include "records/working_files.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The lines of a file as next() reads them; nextView() must read the same.
std::vector<std::string> lines(std::string_view bytes) {
    test::TempDir dir;
    test::writeFile(dir / "f", bytes);
    LineReader reader(dir / "f"), viewer(dir / "f");
    std::vector<std::string> out, viewed;
    for (std::string line; reader.next(line);) out.push_back(line);
    for (std::string_view view; viewer.nextView(view);) viewed.emplace_back(view);
    EXPECT_EQ(viewed, out) << "nextView differs from next";
    return out;
}

TEST(LineReader, LineEndsBoundedReadsAndRewind) {
    // The buffer holds 1 MiB: its last byte is the CR of a CR LF.
    const std::string first((1 << 20) - 1, 'x');
    EXPECT_EQ(lines(first + "\r\nsecond\r\n"), (std::vector<std::string>{first, "second"}));
    // A file without CRs reads the same lines (each line end is searched for once).
    std::string lf;
    std::vector<std::string> numbers;
    for (int i = 0; i < 300000; ++i) lf += numbers.emplace_back(std::to_string(i)) + "\n";
    EXPECT_EQ(lines(lf), numbers);
    // A bounded read skips the rest of a long line.
    test::TempDir dir;
    test::writeFile(dir / "f", std::string(3 << 20, 'y') + "\nnext\n");
    LineReader reader(dir / "f");
    auto next = [&reader, line = std::string(), complete = false]() mutable {
        return reader.nextBounded(line, 10, complete) ? line + (complete ? "" : "...") : "<end>";
    };
    EXPECT_EQ((std::vector{next(), next(), next()}),
              (std::vector<std::string>{"yyyyyyyyyy...", "next", "<end>"}));
    // A bounded view gives what a bounded read gives, wherever the long line ends.
    const std::string cut = std::string((1 << 20) - 1, 'x') + "\r\nshort\r";
    for (const std::string& bytes :
         {std::string(3 << 20, 'y') + "\nnext\n", cut + "\n" + std::string(1 << 16, 'z'),
          cut + std::string((1 << 16) + 1, 'z') + "\r\n\r\n", std::string(3 << 20, 'y')}) {
        test::writeFile(dir / "long", bytes);
        LineReader bounded(dir / "long"), viewer(dir / "long");
        std::string line;
        std::string_view view;
        bool complete = true, viewComplete = true;
        for (int n = 0; n < 4; ++n) {
            const bool read = bounded.nextBounded(line, 1 << 16, complete);
            ASSERT_EQ(viewer.nextView(view, 1 << 16, viewComplete), read) << n;
            if (read) {
                EXPECT_TRUE(view == line && viewComplete == complete) << n;
            }
        }
    }
    // Another file takes the name; rewind reads the one that is open.
    test::writeFile(dir / "other", "swapped in\n");
    fs::rename(dir / "other", dir / "f");
    reader.rewind();
    EXPECT_EQ(next(), "yyyyyyyyyy...");
}

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
}

TEST(RecordReader, ReadsTheSameAcrossTheReadersChunks) {
    // A few MiB of records, plain and not, with every kind of line end: lines and CR LF pairs
    // fall across the reader's chunks, and one line is longer than a chunk.
    const std::string_view items[] = {"N1", "", " x", "\"a,b\"", "c\"d", "00:0a", "#Blank#"};
    const std::string_view ends[] = {"\r\n", "\n", "\r", ",", "\r\n\r\n"};
    std::mt19937 random(7);
    std::string bytes;
    while (bytes.size() < (5 << 20)) {
        for (int k = 0; k < 11; ++k) {
            if (k) bytes += random() % 50 ? "," : ",,";
            bytes += items[random() % std::size(items)];
        }
        bytes += ends[random() % 40 ? random() % 3 : 3 + random() % 2];
        if (bytes.back() == ',') bytes += "\r\n";
        if (bytes.size() > (3 << 20) && bytes.size() < (3 << 20) + 200)
            bytes += std::string((2 << 20) + 5, 'L') + "\r\n";
    }
    // The lines, split plainly, and the records, read both ways, are what the file holds.
    std::vector<std::string> plain(1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            plain.back() += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        plain.emplace_back();
    }
    plain.pop_back();                    // the file ends with a line end
    EXPECT_TRUE(lines(bytes) == plain);  // (the lines would fill pages on failure)
    readAll(bytes);
}

TEST(ByteScan, EachScanFindsWhatItsPlainVersionFinds) {
    std::mt19937 random(2004);
    const char alphabet[] = {'a', ',', '"', '\r', '\n', ' ', '\t', '\x80', ' '};
    int records = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (std::size_t n = random() % 80; n > 0; --n) {
            // Mostly plain bytes and separators, as a record line is.
            const std::size_t pick = random() % 300;
            bytes += pick < std::size(alphabet) ? alphabet[pick] : pick % 3 ? 'x' : ',';
        }
        const char* const from = bytes.data();
        const char* const to = from + bytes.size();
        ASSERT_EQ(byte_scan::findLineEnd(from, to), byte_scan::findLineEndPortable(from, to))
            << bytes;
        byte_scan::Items fast, plain;
        const char* const stop = byte_scan::splitPlainRecord(from, to, fast);
        ASSERT_EQ(stop, byte_scan::splitPlainRecordPortable(from, to, plain)) << bytes;
        if (stop) {
            ASSERT_EQ(fast, plain) << bytes;
        }
        records += stop != nullptr;
    }
    EXPECT_GT(records, 500) << "too few lines of ten separators to compare";
    // A space that starts an item (the general path drops it), wherever it falls against the
    // sixteen-byte steps; item 11 is none.
    for (std::size_t shift = 0; shift < 16; ++shift)
        for (std::size_t spaced = 0; spaced <= 11; ++spaced) {
            std::string line;
            for (std::size_t k = 0; k < 11; ++k)
                line += (k ? "," : "") + std::string(k == spaced ? " " : "") +
                        std::string(k ? 0 : shift, 'x') + "yy";
            line += "\r\n";
            byte_scan::Items fast, plain;
            const char* const end = line.data() + line.size();
            const char* const stop = byte_scan::splitPlainRecord(line.data(), end, fast);
            EXPECT_EQ(stop, byte_scan::splitPlainRecordPortable(line.data(), end, plain));
            EXPECT_EQ(stop != nullptr, spaced == 11) << line;
        }
}

TEST(RecordWriter, QuotesItemsWithCommasOrQuotesAndReadsBackTheSame) {
    const WorkingRecord record{
        {"N1", "E2", "Cafe,Bar", "BSS", "\"q", "a\"\"b", "", ",", "0011", "x", "100"}};
    std::string line;
    appendRecordLine(line, record);
    EXPECT_EQ(line, "N1,E2,\"Cafe,Bar\",BSS,\"\"\"q\",\"a\"\"\"\"b\",,\",\",0011,x,100\r\n");
    EXPECT_EQ(readAll(line), "N1|E2|Cafe,Bar|BSS|\"q|a\"\"b||,|0011|x|100\n");
}

TEST(RecordReader, NoReadableFileIsAFileErrorNamingIt) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& path : {dir / "absent", dir.path(), dir / "fifo", fs::path("/dev/zero")})
        EXPECT_EQ(test::fileErrorPath([&] { RecordReader reader(path); }), path);
}

// A file outside the folder that links in the folder point at, and its state.
struct Outside {
    explicit Outside(const fs::path& path) : path(path) {
        test::writeFile(path, "precious\r\n");
        fs::permissions(path, fs::perms(0640));
    }
    std::string state() const {
        return test::readFile(path) + std::to_string(int(fs::status(path).permissions()));
    }
    fs::path path;
};

TEST(WorkingFiles, NothingIsWrittenOrChangedThroughALink) {
    test::TempDir dir;
    const Outside outside(dir / "outside");
    const std::string before = outside.state();
    fs::create_directory(dir / "work");
    fs::create_symlink(outside.path, dir / "work" / "symlink");
    fs::create_hard_link(outside.path, dir / "work" / "hardlink");
    fs::create_symlink(dir / "absent", dir / "work" / "dangling");
    for (const char* name : {"symlink", "hardlink", "dangling"}) {
        const fs::path link = dir / "work" / name;
        EXPECT_EQ(test::fileErrorPath([&] { TextFileWriter writer(link); }), link) << name;
        setHiddenAttribute(link);
        setNormalAttribute(link);
        EXPECT_EQ(outside.state(), before) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "absent")) << "a dangling link creates nothing";
    // A file of its own is made read-only and writable again.
    test::writeFile(dir / "work" / "own", "x");
    setHiddenAttribute(dir / "work" / "own");
    EXPECT_EQ(fs::status(dir / "work" / "own").permissions(), fs::perms(0444));
    setNormalAttribute(dir / "work" / "own");
    EXPECT_EQ(fs::status(dir / "work" / "own").permissions(), fs::perms(0644));
}

TEST(WorkingFolderLock, OneUserAtATimeAndACrashedOneBlocksNothing) {
    using Status = WorkingFolderLock::Status;
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    WorkingFolderLock first(files), second(files);
    EXPECT_FALSE(WorkingFolderLock::heldHere(files));
    ASSERT_EQ(first.tryLock(), Status::Held);
    EXPECT_EQ(first.tryLock(), Status::Held) << "taken again by its holder";
    EXPECT_TRUE(WorkingFolderLock::heldHere(files) && fs::exists(files.lockFile()));
    EXPECT_EQ(second.tryLock(), Status::InUse) << "a second user in the same process";
    first.unlock();
    EXPECT_FALSE(WorkingFolderLock::heldHere(files) || fs::exists(files.lockFile()));
    ASSERT_EQ(second.tryLock(), Status::Held);
    // Another process, while this one holds it; then, once this one lets go, a process that
    // takes it and dies without letting go.
    const auto childTakes = [&] {
        const pid_t child = fork();
        if (child == 0) {
            WorkingFolderLock lock(files);
            const auto status = lock.tryLock();
            // Dies holding it: the destructor never runs.
            _exit(status == Status::Held ? 0 : status == Status::InUse ? 1 : 2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(childTakes(), 1);
    second.unlock();
    EXPECT_EQ(childTakes(), 0);
    EXPECT_TRUE(fs::exists(files.lockFile())) << "the crashed holder's lock file stays";
    EXPECT_EQ(first.tryLock(), Status::Held) << "and blocks nothing";
    first.unlock();

    // Lock files that cannot be made or are not files: the reason, and nothing outside.
    const Outside outside(dir / "outside");
    const std::string before = outside.state();
    fs::create_directory(dir / "links");
    fs::create_symlink(outside.path, dir / "links" / "output1.lock");
    fs::create_directories(dir / "folder" / "output1.lock");
    for (const fs::path& folder : {dir / "outside" / "below", dir / "links", dir / "folder"}) {
        WorkingFolderLock lock(WorkingFiles{folder});
        EXPECT_EQ(lock.tryLock(), Status::Error) << folder;
        EXPECT_NE(lock.reason().find((folder / "output1.lock").string()), std::string::npos)
            << lock.reason();
    }
    EXPECT_EQ(outside.state(), before);
}

TEST(InterruptCleanup, EachSignalDeletesTheNamedFilesAndFoldersAndStillEndsTheProgram) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        test::TempDir dir;
        fs::create_directory(dir / "scratch");
        for (const char* name : {"scratch/a", "scratch/b", "kept", "released"})
            test::writeFile(dir / name, "x");
        const pid_t child = fork();
        if (child == 0) {
            cleanupOnInterrupt();
            const InterruptCleanup folder(dir / "scratch", InterruptCleanup::Kind::Folder);
            const InterruptCleanup a(dir / "scratch/a"), b(dir / "scratch/b");
            InterruptCleanup released(dir / "released");
            released.release();
            raise(signal);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_FALSE(fs::exists(dir / "scratch")) << signal;
        EXPECT_TRUE(fs::exists(dir / "kept") && fs::exists(dir / "released")) << signal;
    }
}

TEST(BlockWriter, AWriteThatFailsOnItsThreadIsThrownByFinish) {
    // Three blocks handed to the writer thread, nothing left for finish() itself to write: a
    // disk that fills after 2.5 MiB fails the third block's write on the thread alone.
    test::TempDir dir;
    const auto reported = [&] {
        TextFileWriter out(dir / "f");
        BlockWriter block({&out});
        constexpr std::size_t kBlock = 1 << 20;
        for (int k = 0; k < 3; ++k) {
            char* const at = block.reserve(kBlock);
            std::memset(at, 'b', kBlock);
            block.commit(at + kBlock);
        }
        block.commit(block.reserve(1));  // hands the third block over and adds nothing
        return test::fileErrorPath([&] {
                   block.finish();
                   out.close();
               }) == dir / "f";
    };
    EXPECT_EXIT(test::exitWith(reported, 5 << 19), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velmora
