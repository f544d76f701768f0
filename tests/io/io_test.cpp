#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <random>
#include <stdexcept>

#include "io/background_worker.h"
#include "io/block_writer.h"
#include "io/byte_scan.h"
#include "io/interrupt_cleanup.h"
#include "io/line_reader.h"
#include "io/text_file_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

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

TEST(LineReader, ReadsTheSameLinesAcrossItsChunks) {
    const std::string bytes = test::chunkSpanningRecords();
    // The lines, split plainly.
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

TEST(TextFileWriter, NeverWritesThroughALink) {
    test::TempDir dir;
    const test::OutsideFile outside(dir / "outside");
    const std::string before = outside.state();
    fs::create_symlink(outside.path, dir / "symlink");
    fs::create_hard_link(outside.path, dir / "hardlink");
    fs::create_symlink(dir / "absent", dir / "dangling");
    for (const char* name : {"symlink", "hardlink", "dangling"})
        EXPECT_EQ(test::fileErrorPath([&] { TextFileWriter writer(dir / name); }), dir / name)
            << name;
    EXPECT_EQ(outside.state(), before);
    EXPECT_FALSE(fs::exists(dir / "absent")) << "a dangling link creates nothing";
}

TEST(BackgroundWorker, HandsUnitsBackFinishedAndKeepsTheFirstFailure) {
    // Each unit is a number; the work appends it to `done`, and fails on a 3.
    std::vector<int> done;
    BackgroundWorker<int> worker([&done](int& unit) {
        if (unit == 3) throw std::runtime_error("three");
        done.push_back(unit);
        unit = -unit;
    });
    std::vector<int> back;
    for (int unit : {1, 2}) {
        worker.hand(unit);
        back.push_back(unit);
    }
    int last = 0;
    worker.take(last);
    EXPECT_EQ(back, (std::vector{0, -1})) << "each hand gives back the unit before, finished";
    EXPECT_EQ(last, -2);
    // A failure is thrown from every later call, and nothing handed after it is worked on.
    int three = 3, four = 4;
    worker.hand(three);
    EXPECT_THROW(worker.wait(), std::runtime_error);
    EXPECT_THROW(worker.hand(four), std::runtime_error);
    EXPECT_THROW(worker.take(four), std::runtime_error);
    EXPECT_EQ(done, (std::vector{1, 2}));
    // stop() forgets it: the worker starts again.
    worker.stop();
    worker.hand(four);
    worker.take(last);
    EXPECT_EQ(last, -4);
    EXPECT_EQ(done, (std::vector{1, 2, 4}));
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

}  // namespace
}  // namespace velmora
