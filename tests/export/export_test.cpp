#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "export/export_line.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "records/file_error.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(CoordinateConversion, SignsOnlyExactUpperCaseHemisphereLetters) {
    struct Case {
        const char *lat, *lon, *wantLat, *wantLon;
    } cases[] = {
        {"N41.5", "E2.5", "41.5", "2.5"},
        {"S33.25", "W81.75", "-33.25", "-81.75"},
        {"n41.5", "w81.75", "n41.5", "w81.75"},
        {"S", "W", "-", "-"},
        {"N", "E", "", ""},
        {"", "", "", ""},
        {"41.5", "-2.5", "41.5", "-2.5"},
        {"NS1", "EW1", "-1", "-1"},
        {" N1", "E 1", " N1", " 1"},
    };
    for (const auto& c : cases) {
        WorkingRecord record;
        record[WorkingRecord::Latitude] = c.lat;
        record[WorkingRecord::Longitude] = c.lon;
        convertCoordinates(record);
        EXPECT_EQ(record[WorkingRecord::Latitude], c.wantLat) << c.lat;
        EXPECT_EQ(record[WorkingRecord::Longitude], c.wantLon) << c.lon;
    }
}

TEST(QuickSortFilters, EachFlagsCodeGoesToTheRightFiles) {
    // Columns: Locked, Open, Infrastructure, AdHoc.
    struct Case {
        const char* flags;
        bool locked, open, infrastructure, adHoc;
    } cases[] = {
        {"0011", 1, 0, 1, 0}, {"0031", 1, 0, 1, 0}, {"0051", 1, 0, 1, 0},  {"0001", 0, 1, 1, 0},
        {"0005", 0, 1, 0, 0}, {"0021", 0, 1, 1, 0}, {"0041", 0, 1, 1, 0},  {"0013", 0, 0, 0, 0},
        {"0015", 0, 0, 0, 0}, {"0071", 0, 0, 1, 0}, {"0411", 0, 0, 1, 0},  {"0012", 0, 0, 0, 1},
        {"", 0, 0, 0, 0},     {"011", 0, 0, 1, 0},  {"00011", 0, 0, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(mainExportPasses(MainExport::ConvertAll, c.flags));
        EXPECT_EQ(mainExportPasses(MainExport::Locked, c.flags), c.locked) << c.flags;
        EXPECT_EQ(mainExportPasses(MainExport::Open, c.flags), c.open) << c.flags;
        EXPECT_EQ(mainExportPasses(MainExport::Infrastructure, c.flags), c.infrastructure)
            << c.flags;
        EXPECT_EQ(mainExportPasses(MainExport::AdHoc, c.flags), c.adHoc) << c.flags;
    }
}

class Exports : public ::testing::Test {
  protected:
    void loadLog(const fs::path& log) {
        ASSERT_EQ(loadSourceLog(log, files).status, LoadStatus::Loaded);
    }
    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

TEST_F(Exports, AllFiveExportsMatchTheirGoldenFilesByteForByte) {
    const fs::path golden = test::repoFile("tests/export/golden");
    loadLog(golden / "flags-log.txt");
    for (auto kind : {MainExport::ConvertAll, MainExport::Locked, MainExport::Open,
                      MainExport::Infrastructure, MainExport::AdHoc}) {
        const fs::path written = runMainExport(kind, files.output1(), dir.path(), "flags-log.txt");
        const std::string name = mainExportInfo(kind).prefix + std::string("flags-log.txt");
        EXPECT_EQ(written, dir / name);
        EXPECT_EQ(test::readFile(written), test::readFile(golden / name)) << name;
    }
}

TEST_F(Exports, TheFieldWalkWritesWhatTheRecordWalkWrites) {
    // Plain lines (viewed in place) between every kind the reader takes apart itself: quoted
    // items, surplus and missing items, leading spaces, and odd coordinates.
    test::writeFile(files.output1(),
                    "N1.5,W2.5,home,BSS,00:0a,t,[1],#,0011,40,100\r\n"
                    "NS1,WE2,\"a,b\",BSS,00:0b,t,[1],#,0012,40,100\r\n"
                    "S,W,x,BSS,00:0c,t,[1],#,0011,40,100,N9,E9,n,BSS,00:0d,t,[1],#,0001,40,100\n"
                    "E1,N2,short,BSS\r"
                    "00:0e,t,[1],#,0031,40,100\r\n"
                    " N3, S4,spaced ,BSS,00:0f,t,[1],#,0002,40,100\r\n"
                    ",,,,,,,,,,\r\n"
                    "S7.25,E8,\xe9t\xe9,ad-hoc,00:10,t,[1],#,0011,40,\r\n"
                    "N1,E1,last,BSS,00:11,t,[1],#,0051,40");
    for (auto kind : {MainExport::ConvertAll, MainExport::Locked, MainExport::AdHoc}) {
        const auto byRecord = exportWalk(files.output1(), dir / "a", [&](const WorkingRecord& r) {
            return mainExportPasses(kind, r[WorkingRecord::Flags]);
        });
        const auto byFields = exportWalkFields(
            files.output1(), dir / "b",
            [&](const RecordFields& f) { return mainExportPasses(kind, f[WorkingRecord::Flags]); });
        EXPECT_EQ(byFields, byRecord);
        EXPECT_EQ(test::readFile(dir / "b"), test::readFile(dir / "a"));
    }
    EXPECT_EQ(
        exportWalkFields(files.output1(), dir / "b", [](const RecordFields&) { return true; }), 9u);
}

TEST_F(Exports, EmptyWorkingFileGivesTheHeaderAloneAndARepeatReplacesTheFile) {
    test::writeFile(files.output1(), "");
    const fs::path target = dir / "out.txt";
    test::writeFile(target, "old content that is longer than the header\r\n");
    EXPECT_EQ(exportWalk(files.output1(), target, [](const WorkingRecord&) { return true; }), 0u);
    EXPECT_EQ(test::readFile(target), "Latitude;Longitude;Name; ;Name 2\r\n");
}

TEST_F(Exports, FailuresNameTheFileAndLeaveAnEarlierExportIntact) {
    loadLog(test::repoFile("samples/drive-text.txt"));
    test::writeFile(dir / "plain", "x");
    fs::create_directory(dir / "FullConvert_log.txt");
    const std::string earlier = "an earlier, complete export\r\n";
    test::writeFile(dir / "LOCKED_log.txt", earlier);

    struct Case {
        const char* what;
        fs::path workingFile, folder;
        MainExport kind;
        fs::path named;
    } cases[] = {
        {"folder below a regular file", files.output1(), dir / "plain", MainExport::Open,
         dir / "plain" / "UNLOCKED_log.txt"},
        {"export name is a folder", files.output1(), dir.path(), MainExport::ConvertAll,
         dir / "FullConvert_log.txt"},
        {"working file deleted behind the program's back", dir / "gone", dir.path(),
         MainExport::Locked, dir / "gone"},
    };
    for (const auto& c : cases) {
        try {
            runMainExport(c.kind, c.workingFile, c.folder, "log.txt");
            ADD_FAILURE() << c.what << ": no error";
        } catch (const FileError& e) {
            EXPECT_EQ(e.path(), c.named) << c.what;
            EXPECT_FALSE(e.reason().empty()) << c.what;
        }
    }
    EXPECT_EQ(test::readFile(dir / "LOCKED_log.txt"), earlier);
    EXPECT_TRUE(fs::is_directory(dir / "FullConvert_log.txt"));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos)
            << "left behind: " << entry.path();
}

TEST_F(Exports, RefusesToReplaceADeviceOrTheWorkingFile) {
    loadLog(test::repoFile("samples/drive-text.txt"));
    const std::string working = test::readFile(files.output1());
    const auto all = [](const WorkingRecord&) { return true; };
    EXPECT_THROW(exportWalk(files.output1(), "/dev/full", all), FileError);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_THROW(exportWalk(files.output1(), files.output1(), all), FileError);
    EXPECT_EQ(test::readFile(files.output1()), working);
}

// Runs in a child process, whose file size limit stands in for the end of the disk.
[[noreturn]] void exportOnAFullDisk(const fs::path& workingFile, const fs::path& folder,
                                    const fs::path& target) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{600, 600};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        runMainExport(MainExport::ConvertAll, workingFile, folder, "drive-text.txt");
    } catch (const FileError& e) {
        _exit(e.path() == target ? 0 : 3);
    }
    _exit(2);
}

// A full disk whose file size limit stands in for the disk's end.
TEST_F(Exports, AFullDiskIsReportedAndKeepsTheEarlierFile) {
    loadLog(test::repoFile("samples/drive-text.txt"));
    const fs::path target = dir / "FullConvert_drive-text.txt";
    const std::string earlier = "earlier\r\n";
    test::writeFile(target, earlier);
    EXPECT_EXIT(exportOnAFullDisk(files.output1(), dir.path(), target),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::readFile(target), earlier);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 3u) << "output1, output2 and the earlier export, nothing more";
}

}  // namespace
}  // namespace velmora
