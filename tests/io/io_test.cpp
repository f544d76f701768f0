// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>

#include "io/background_worker.h"
#include "io/block_writer.h"
#include "io/byte_scan.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/line_reader.h"
#include "io/protected_files.h"
#include "io/text_file_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kWhole = std::string::npos;

// The lines of `bytes` split the plain way, each longer than `limit` cut to it and marked "...".
std::vector<std::string> plainLines(std::string_view bytes, std::size_t limit) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            out.back() += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        out.emplace_back();
    }
    if (out.back().empty()) out.pop_back();  // the last line needs no line end
    for (std::string& line : out)
        if (line.size() > limit) line.resize(limit), line += "...";
    return out;
}

// The lines of a file as LineReader copies them, marked as plainLines marks them; its views
// must give the same.
std::vector<std::string> lines(const fs::path& file, std::size_t limit,
                               ChunkReader::Content content = ChunkReader::Content::AsStored) {
    LineReader copier(file, kDefaultChunkSize, content), viewer(file, kDefaultChunkSize, content);
    std::vector<std::string> copied, viewed;
    std::string line;
    std::string_view view;
    bool complete = true;
    const auto mark = [&complete](std::string_view l) {
        return std::string(l) + (complete ? "" : "...");
    };
    if (limit == kWhole) {
        while (copier.next(line)) copied.push_back(line);
        while (viewer.nextView(view)) viewed.emplace_back(view);
    } else {
        while (copier.nextBounded(line, limit, complete)) copied.push_back(mark(line));
        while (viewer.nextView(view, limit, complete)) viewed.push_back(mark(view));
    }
    EXPECT_TRUE(viewed == copied) << "the views differ from the copies";
    return copied;
}

TEST(LineReader, EveryWayOfReadingGivesThePlainLinesWhereverTheyFallAgainstTheBuffer) {
    const std::string edge((1 << 20) - 1, 'x');  // the buffer's last byte is a line end's first
    const std::string cases[] = {
        "",
        std::string(3 << 20, 'y') + "\nnext\n",
        std::string(3 << 20, 'y'),
        edge + "\r\nshort\r\n" + std::string(1 << 16, 'z'),
        edge + "\r\nshort\r" + std::string((1 << 16) + 1, 'z') + "\r\n\r\n",
        test::chunkSpanningRecords()};
    test::TempDir dir;
    // As a survey reads its logs: one set of buffers and one thread to read ahead for file
    // after file, each also left after its first line (while a chunk is being read ahead).
    LineReadAhead shared;
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        test::writeFile(dir / "f", cases[k]);
        for (const std::size_t limit : {kWhole, std::size_t(10), std::size_t(1 << 16)})
            EXPECT_TRUE(lines(dir / "f", limit) == plainLines(cases[k], limit))
                << k << " " << limit;
        std::string_view view;
        LineReader(dir / "f", shared).nextView(view);
        LineReader reader(dir / "f", shared);
        std::vector<std::string> read;
        while (reader.nextView(view)) read.emplace_back(view);
        EXPECT_TRUE(read == plainLines(cases[k], kWhole)) << k << " shared";
    }
}

TEST(LineReader, RewindReadsTheFileThatIsOpenNotTheName) {
    test::TempDir dir;
    test::writeFile(dir / "f", std::string(3 << 20, 'y') + "\nnext\n");
    LineReader reader(dir / "f");
    std::string line;
    bool complete = true;
    while (reader.nextBounded(line, 10, complete)) {
    }
    test::writeFile(dir / "other", "swapped in\n");
    fs::rename(dir / "other", dir / "f");
    reader.rewind();
    EXPECT_TRUE(reader.nextBounded(line, 10, complete) && line == "yyyyyyyyyy" && !complete);
}

// A log saved compressed reads as the file it holds, however its content falls against the
// chunks and the members (files joined with cat), by a reader of its own or the survey's
// shared one, which starts each file afresh.
TEST(LineReader, AGzipFileReadsAsTheFileItHolds) {
    const std::string text =
        std::string(3 << 20, 'y') + "\nnext\r\n" + test::chunkSpanningRecords();
    const std::string packed =
        test::gzipped("") + test::gzipped(text.substr(0, 1000)) + test::gzipped(text.substr(1000));
    test::TempDir dir;
    test::writeFile(dir / "plain", text);
    test::writeFile(dir / "f.gz", packed);
    test::writeFile(dir / "g.gz", packed + "bytes that start no member, as gzip ignores them");
    const std::vector<std::string> expected = plainLines(text, kWhole);
    constexpr auto kUnpacked = ChunkReader::Content::Unpacked;
    EXPECT_TRUE(lines(dir / "f.gz", kWhole, kUnpacked) == expected);
    EXPECT_TRUE(lines(dir / "g.gz", 10, kUnpacked) == plainLines(text, 10));
    // Read as a list or a working file is, it is the bytes it is.
    LineReader stored(dir / "f.gz");
    std::string first;
    EXPECT_TRUE(stored.next(first) && first == plainLines(packed, kWhole).front());
    LineReadAhead shared;
    for (const char* name : {"plain", "f.gz", "plain", "g.gz"}) {
        LineReader reader(dir / name, shared);
        std::vector<std::string> read;
        std::string_view view;
        while (reader.nextView(view)) read.emplace_back(view);
        EXPECT_TRUE(read == expected) << name;
    }
    LineReader reader(dir / "f.gz", kDefaultChunkSize, kUnpacked);
    std::string line;
    EXPECT_TRUE(reader.next(line) && reader.next(line) && line == "next");
    reader.rewind();
    EXPECT_TRUE(reader.next(line) && line == std::string(3 << 20, 'y'));
    // The first two bytes of a gzip file and no more are a file of two bytes.
    test::writeFile(dir / "short", "\x1f\x8b");
    EXPECT_TRUE(lines(dir / "short", kWhole, kUnpacked) == std::vector<std::string>{"\x1f\x8b"});
}

// A compressed log cut short or damaged is a failure with its reason, after whatever lines
// came before it: never a shorter log read as if it were whole.
TEST(LineReader, ACutOrDamagedGzipFileFailsWithItsReason) {
    std::mt19937 random(7);
    std::string text;
    while (text.size() < (1 << 20)) text += std::to_string(random()) + "\r\n";
    const std::string packed = test::gzipped(text);
    ASSERT_GT(packed.size(), 300'000u);  // more than one read of the compressed file
    std::string damaged = packed, badCheck = packed;
    damaged[packed.size() / 2] ^= 0x55;
    badCheck[packed.size() - 6] ^= 1;  // the CRC-32 of the trailer
    const std::pair<std::string, const char*> cases[] = {
        {packed.substr(0, 10), "ends early"},
        {packed.substr(0, packed.size() / 2), "ends early"},
        {packed.substr(0, packed.size() - 1), "ends early"},
        {test::gzipped("a\n") + packed.substr(0, 20), "ends early"},
        {damaged, "is damaged"},
        {badCheck, "is damaged (incorrect data check)"},
    };
    test::TempDir dir;
    for (const auto& [bytes, reason] : cases) {
        test::writeFile(dir / "f.gz", bytes);
        const std::string error = test::fileError([&] {
            LineReader reader(dir / "f.gz", kDefaultChunkSize, ChunkReader::Content::Unpacked);
            for (std::string line; reader.next(line);) {
            }
        });
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(ByteScan, EachScanFindsWhatItsPlainVersionFinds) {
    // Whether the fast and the plain scans agree on `bytes`; `stop` is where the record ends.
    const auto agree = [](std::string_view bytes, const char*& stop) {
        const char *const from = bytes.data(), *const to = from + bytes.size();
        byte_scan::Items fast, plain;
        stop = byte_scan::splitPlainRecord(from, to, fast);
        return byte_scan::findLineEnd(from, to) == byte_scan::findLineEndPortable(from, to) &&
               stop == byte_scan::splitPlainRecordPortable(from, to, plain) &&
               (!stop || fast == plain);
    };
    std::mt19937 random(2004);
    const char alphabet[] = {'a', ',', '"', '\r', '\n', ' ', '\t', '\x80', ' '};
    const char* stop = nullptr;
    int records = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;  // mostly plain bytes and separators, as a record line is
        for (std::size_t n = random() % 80; n > 0; --n) {
            const std::size_t pick = random() % 300;
            bytes += pick < std::size(alphabet) ? alphabet[pick] : pick % 3 ? 'x' : ',';
        }
        ASSERT_TRUE(agree(bytes, stop)) << bytes;
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
            EXPECT_TRUE(agree(line + "\r\n", stop) && (stop != nullptr) == (spaced == 11)) << line;
        }
}

TEST(ByteScan, AsciiTestLooksAtEveryByte) {
    // A byte from 0x80 up at each place of a text: the word test must see it.
    for (std::size_t size = 0; size <= 20; ++size) {
        const std::string ascii(size, '\x7f');
        EXPECT_TRUE(byte_scan::isAscii(ascii)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            std::string high = ascii;
            high[at] = '\x80';
            EXPECT_FALSE(byte_scan::isAscii(high)) << at << " of " << size;
        }
    }
}

// Where scratch files go: an empty TMPDIR, or one naming no folder, is no reason to fail.
TEST(TemporaryFolder, IsTmpdirWhereItNamesAFolderElseTmp) {
    test::TempDir dir;
    const std::pair<std::string, fs::path> cases[] = {
        {dir.path().string(), dir.path()}, {"", "/tmp"}, {(dir / "gone").string(), "/tmp"}};
    EXPECT_EQ(test::runInChild([&] {
                  for (const auto& [value, folder] : cases)
                      if (setenv("TMPDIR", value.c_str(), 1) || temporaryFolder() != folder)
                          _exit(1);
              }),
              0);
}

TEST(TextFileWriter, NeverWritesThroughALink) {
    test::TempDir dir;
    const test::LinkTrap trap(dir / "links");
    for (const char* name : trap.kLinks)
        EXPECT_EQ(test::fileErrorPath([&] { TextFileWriter writer(dir / "links" / name); }),
                  dir / "links" / name);
    EXPECT_TRUE(trap.untouched());
}

// The folder's entries other than `kept`.
std::vector<std::string> othersIn(const fs::path& folder, std::string_view kept) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != kept) names.push_back(entry.path().filename());
    return names;
}

TEST(TextFileWriter, PlacesTheWholeNewFileOrLeavesTheWholeEarlierOne) {
    // Unnamed and named files, over an earlier file and a free name; the pause between the
    // steps finds the earlier file whole, and a signal there leaves it so and nothing beside.
    // A rename the system refuses (the name is a folder with files in it) is an error, and the
    // unnamed writer's hidden name is gone again.
    static fs::path target;
    static std::string earlier;
    TextFileWriter::setPlacementPause([] {
        if (!earlier.empty()) {
            EXPECT_EQ(test::readFile(target), earlier);
        }
    });
    const std::string bytes(3 << 20, 'n');
    for (const bool unnamed : {true, false}) {
        for (const std::string_view there : {"a file", "nothing", "a folder"}) {
            SCOPED_TRACE(::testing::Message() << unnamed << " over " << there);
            test::TempDir dir;
            target = dir / "export.kml";
            earlier = there == "a file" ? "an earlier export\r\n" : "";
            if (!earlier.empty()) test::writeFile(target, earlier);
            // A named file's temporary name is its writer's to clean up, as an export does.
            const auto placeNew = [&] {
                auto out = unnamed ? TextFileWriter::unnamedIn(dir.path(), target)
                                   : std::make_unique<TextFileWriter>(dir / ".export.kml.part");
                ASSERT_TRUE(out) << "the file system has no unnamed files";
                std::optional<InterruptCleanup> named;
                if (!unnamed) named.emplace(out->path());
                out->write(bytes);
                out->sync();
                out->close();
                out->placeAs(target);
            };
            if (there == "a folder") {
                fs::create_directory(target);
                test::writeFile(target / "inside", "x");
                EXPECT_THROW(placeNew(), FileError);
                EXPECT_EQ(othersIn(dir.path(), "export.kml"),
                          unnamed ? std::vector<std::string>{}
                                  : std::vector<std::string>{".export.kml.part"});
                continue;
            }
            placeNew();
            EXPECT_EQ(test::readFile(target), bytes);
            EXPECT_TRUE(othersIn(dir.path(), "export.kml").empty());
            if (earlier.empty()) continue;
            test::writeFile(target.string() + ".tmp", earlier);
            fs::rename(target.string() + ".tmp", target);
            const int status = test::runInChild([&] {
                cleanupOnInterrupt();
                TextFileWriter::setPlacementPause([] { raise(SIGTERM); });
                placeNew();
            });
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
            EXPECT_EQ(test::readFile(target), earlier);
            EXPECT_TRUE(othersIn(dir.path(), "export.kml").empty());
        }
    }
    TextFileWriter::setPlacementPause(nullptr);
}

TEST(TextFileWriter, NeverReplacesTheLoadedLogOrTheVendorList) {
    test::TempDir dir;
    test::writeFile(dir / "log.txt", "the log\r\n");
    test::writeFile(dir / "vlident.txt", "the list\r\n");
    fs::create_hard_link(dir / "log.txt", dir / "log-link.txt");
    protectFile(ProtectedRole::LoadedLog, dir / "log.txt");
    protectFile(ProtectedRole::VendorList, dir / "vlident.txt");
    const std::pair<fs::path, std::string> refused[] = {
        {dir / "log.txt", "Is the loaded log"},
        {dir / "log-link.txt", "Is the loaded log"},  // the same file by another name
        {dir / "vlident.txt", "Is the vendor list"}};
    for (const auto& [target, reason] : refused) {
        auto out = TextFileWriter::unnamedIn(dir.path(), target);
        ASSERT_TRUE(out);
        out->write("an export\r\n");
        out->close();
        EXPECT_EQ(test::fileError([&] { out->placeAs(target); }), target.string() + ": " + reason);
    }
    EXPECT_EQ(test::readFile(dir / "log.txt"), "the log\r\n");
    EXPECT_EQ(test::readFile(dir / "vlident.txt"), "the list\r\n");
    EXPECT_EQ(othersIn(dir.path(), "").size(), 3u) << "and nothing beside them";
    // The vendor list edited since (a new file under its name) is still the vendor list.
    test::writeFile(dir / "new-list", "the new list\r\n");
    fs::rename(dir / "new-list", dir / "vlident.txt");
    EXPECT_THROW(refuseProtected(dir / "vlident.txt"), FileError);
    // Another log loaded: the first is free again.
    test::writeFile(dir / "other.txt", "");
    protectFile(ProtectedRole::LoadedLog, dir / "other.txt");
    EXPECT_NO_THROW(refuseProtected(dir / "log.txt"));
    EXPECT_THROW(refuseProtected(dir / "other.txt"), FileError);
    protectFile(ProtectedRole::LoadedLog, {});
    protectFile(ProtectedRole::VendorList, {});
}

TEST(BackgroundWorker, HandsUnitsBackFinishedAndKeepsTheFirstFailure) {
    // Each unit is a number; the work notes it in `done` and negates it, and fails on a 3.
    std::vector<int> done;
    BackgroundWorker<int> worker([&done](int& unit) {
        if (unit == 3) throw std::runtime_error("three");
        done.push_back(unit);
        unit = -unit;
    });
    int one = 1, two = 2, three = 3, four = 4, last = 0;
    worker.hand(one);
    worker.hand(two);
    worker.take(last);
    EXPECT_EQ((std::vector{one, two, last}), (std::vector{0, -1, -2}))
        << "each hand gives back the unit before, finished";
    // A failure is thrown from every later call, and nothing handed after it is worked on.
    worker.hand(three);
    EXPECT_THROW(worker.wait(), std::runtime_error);
    EXPECT_THROW(worker.hand(four), std::runtime_error);
    EXPECT_THROW(worker.take(four), std::runtime_error);
    EXPECT_EQ(done, (std::vector{1, 2}));
    worker.stop();  // forgets it: the worker starts again
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
        const int status = test::runInChild([&] {
            cleanupOnInterrupt();
            const InterruptCleanup folder(dir / "scratch", InterruptCleanup::Kind::Folder);
            const InterruptCleanup a(dir / "scratch/a"), b(dir / "scratch/b");
            InterruptCleanup released(dir / "released");
            released.release();
            raise(signal);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_FALSE(fs::exists(dir / "scratch")) << signal;
        EXPECT_TRUE(fs::exists(dir / "kept") && fs::exists(dir / "released")) << signal;
    }
}

// A worker leaves the signals to the thread that names and makes the files, so the handler
// never runs beside it while it makes one the handler has already passed over.
TEST(InterruptCleanup, WorkerThreadsLeaveTheSignalsToTheThreadThatStartsThem) {
    const auto held = [] {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        return sigismember(&mask, SIGINT) + sigismember(&mask, SIGTERM) +
               sigismember(&mask, SIGHUP);
    };
    int inWorker = -1;
    workerThread([&] { inWorker = held(); }).join();
    EXPECT_EQ(inWorker, 3);
    EXPECT_EQ(held(), 0);
}

}  // namespace
}  // namespace velmora
