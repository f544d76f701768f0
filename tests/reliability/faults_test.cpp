// Fault injection through the core: every exporter and every reader meets the faults a
// user's machine can throw at it. Each must end in a FileError naming the file, and leave
// no partial file and every earlier file as it was.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "advanced/vendor_list.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "records/file_error.h"
#include "records/record_reader.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

// Enough sightings of one access point that every export of it outgrows a 600-byte disk.
std::string homeLog() {
    std::string log = test::textLog({});
    for (int i = 0; i < 40; ++i)
        log += dataLine("N 45.5", "E 19.25", "home", "00:0a:95:00:00:01", "0011") + "\r\n";
    return log;
}

// One exporter: writes into `folder` and returns the file it wrote.
struct Exporter {
    const char* name;
    const char* file;
    std::function<void(const fs::path& workingFile, const fs::path& folder)> run;
};

const Exporter kExporters[] = {
    {"Convert All", "FullConvert_log.txt",
     [](const fs::path& w, const fs::path& f) {
         runMainExport(MainExport::ConvertAll, w, f, "log.txt");
     }},
    {"Locked AP's", "LOCKED_log.txt",
     [](const fs::path& w, const fs::path& f) {
         runMainExport(MainExport::Locked, w, f, "log.txt");
     }},
    {"AP name group", "AP-HOME.TXT",
     [](const fs::path& w, const fs::path& f) { exportApNameGroup(w, f / "AP-HOME.TXT", "HOME"); }},
    {"criteria", "Custom_SSID_HOME.TXT",
     [](const fs::path& w, const fs::path& f) {
         CriteriaSelection s;
         s.name = "HOME";
         exportCriteria(w, f / "Custom_SSID_HOME.TXT", s);
     }},
    {"MAC address", "MAC_000A95000001.txt",
     [](const fs::path& w, const fs::path& f) {
         exportMacAddress(w, "00:0A:95:00:00:01 - HOME", f, "MAC_000A95000001.txt");
     }},
};

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir / "work");
        test::writeFile(dir / "log.txt", homeLog());
        ASSERT_EQ(loadSourceLog(dir / "log.txt", files).status, LoadStatus::Loaded);
        fs::create_directory(out);
    }
    // What is in the export folder, names and contents.
    std::map<std::string, std::string> exportFolder() const {
        std::map<std::string, std::string> found;
        for (const auto& entry : fs::directory_iterator(out))
            found[entry.path().filename().string()] = entry.is_regular_file()
                                                          ? test::readFile(entry.path())
                                                          : "<" + entry.path().string() + ">";
        return found;
    }

    test::TempDir dir;
    WorkingFiles files{dir / "work"};
    fs::path out = dir / "out";
    const std::string earlier = "an earlier export, kept\r\n";
};

// The faults an export can meet, and the file its report must name.
enum class ExportFault { FolderBelowAFile, NameIsAFolder, NameLinksToADevice, WorkingFileGone };

TEST_F(Faults, EveryExporterReportsEveryFaultAndKeepsWhatWasThere) {
    const struct {
        const char* what;
        ExportFault fault;
    } faults[] = {
        {"export folder below a regular file", ExportFault::FolderBelowAFile},
        {"export name is a folder", ExportFault::NameIsAFolder},
        {"export name links to /dev/full", ExportFault::NameLinksToADevice},
        {"output1 deleted by another program", ExportFault::WorkingFileGone},
    };
    test::writeFile(dir / "plain", "a regular file\r\n");
    for (const Exporter& exporter : kExporters) {
        for (const auto& f : faults) {
            SCOPED_TRACE(std::string(exporter.name) + ": " + f.what);
            fs::remove_all(out);
            fs::create_directory(out);
            fs::path folder = out, workingFile = files.output1(), named = out / exporter.file;
            switch (f.fault) {
                case ExportFault::FolderBelowAFile:
                    folder = dir / "plain" / "sub";
                    named = folder / exporter.file;
                    break;
                case ExportFault::NameIsAFolder:
                    fs::create_directories(out / exporter.file / "kept");
                    break;
                case ExportFault::NameLinksToADevice:
                    fs::create_symlink("/dev/full", out / exporter.file);
                    break;
                case ExportFault::WorkingFileGone:
                    test::writeFile(out / exporter.file, earlier);
                    workingFile = dir / "work" / "gone";
                    named = workingFile;
                    break;
            }
            const auto before = exportFolder();
            try {
                exporter.run(workingFile, folder);
                ADD_FAILURE() << "no error";
            } catch (const FileError& e) {
                EXPECT_EQ(e.path(), named);
                EXPECT_FALSE(e.reason().empty());
            }
            EXPECT_EQ(exportFolder(), before) << "nothing written, nothing removed";
        }
    }
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_EQ(test::readFile(dir / "plain"), "a regular file\r\n");
}

// In a child process: the file size limit stands in for a disk that fills during the export.
[[noreturn]] void exportOnAFullDisk(const Exporter& exporter, const fs::path& workingFile,
                                    const fs::path& folder) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{600, 600};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        exporter.run(workingFile, folder);
    } catch (const FileError& e) {
        _exit(e.path() == folder / exporter.file ? 0 : 3);
    }
    _exit(2);
}

TEST_F(Faults, ADiskThatFillsDuringAnyExportKeepsTheEarlierFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Exporter& exporter : kExporters) {
        SCOPED_TRACE(exporter.name);
        test::writeFile(out / exporter.file, earlier);
        const auto before = exportFolder();
        EXPECT_EXIT(exportOnAFullDisk(exporter, files.output1(), out), ::testing::ExitedWithCode(0),
                    "");
        EXPECT_EQ(exportFolder(), before);
    }
}

TEST_F(Faults, TheWriterReportsAFullDevice) {
    // /dev/full takes the open but fails every write with "No space left on device".
    try {
        TextFileWriter writer("/dev/full");
        writer.write(std::string(3 << 20, 'x'));
        writer.write("tail");
        writer.close();
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), "/dev/full");
        EXPECT_EQ(e.reason(), "No space left on device");
    }
}

// Source logs that are no readable file; each is reported as not readable, at once (a FIFO
// would block an open), and an earlier working file stays as it was.
TEST_F(Faults, ALogThatIsNoRegularFileIsNotReadable) {
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero-link");
    const std::string working = test::readFile(files.output1());
    const struct {
        const char* what;
        fs::path log;
        const char* reason;
    } cases[] = {
        {"a folder", dir.path(), "Is a directory"},
        {"gone between the dialog and the read", dir / "vanished.txt", "No such file"},
        {"a device", "/dev/zero", "Not a regular file"},
        {"the empty device", "/dev/null", "Not a regular file"},
        {"a link to a device", dir / "zero-link", "Not a regular file"},
        {"a FIFO with no writer", dir / "fifo", "Not a regular file"},
    };
    for (const auto& c : cases) {
        const LoadResult result = loadSourceLog(c.log, files);
        EXPECT_EQ(result.status, LoadStatus::NotReadable) << c.what;
        EXPECT_EQ(result.report, "File Not Readable - Try Again") << c.what;
        EXPECT_NE(result.reason.find(c.log.string()), std::string::npos) << c.what;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos)
            << c.what << ": " << result.reason;
        EXPECT_EQ(test::readFile(files.output1()), working) << c.what;
    }
}

[[noreturn]] void loadOnAFullDisk(const fs::path& log, const WorkingFiles& files) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{600, 600};
    setrlimit(RLIMIT_FSIZE, &limit);
    const LoadResult result = loadSourceLog(log, files);
    const bool clean = !fs::exists(files.output1()) && !fs::exists(files.output2());
    _exit(result.status == LoadStatus::WorkingFileError &&
                  result.report == "Working File Error - Check Folder" && clean
              ? 0
              : 1);
}

TEST_F(Faults, ADiskThatFillsDuringALoadLeavesNoHalfWorkingFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadOnAFullDisk(dir / "log.txt", files), ::testing::ExitedWithCode(0), "");
    // The working folder is usable again at once.
    EXPECT_EQ(loadSourceLog(dir / "log.txt", files).counts.total, 40u);
}

// Every reader of the working record file and of the vendor list, on paths that hold no
// readable file.
TEST_F(Faults, EveryReaderReportsAFileThatIsGoneOrNoRegularFile) {
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::pair<const char*, std::function<void(const fs::path&)>> readers[] = {
        {"network groups", [](const fs::path& p) { readNetworkGroups(p); }},
        {"one group's count", [](const fs::path& p) { countUniqueAccessPoints(p, "HOME"); }},
        {"criteria index", [](const fs::path& p) { CriteriaIndex::build(p); }},
        {"criteria recount",
         [](const fs::path& p) {
             recountByReading(p, "HOME", ConnectionType::Both, WepStatus::Both);
         }},
        {"AP entries", [](const fs::path& p) { loadApEntries(p); }},
        {"vendor list", [](const fs::path& p) { LoadVendorList(p); }},
        {"records", [](const fs::path& p) { RecordReader reader(p); }},
    };
    const fs::path paths[] = {dir / "gone", dir.path(), dir / "fifo", "/dev/zero"};
    for (const auto& [name, read] : readers) {
        for (const fs::path& path : paths) {
            try {
                read(path);
                ADD_FAILURE() << name << " read " << path;
            } catch (const FileError& e) {
                EXPECT_EQ(e.path(), path) << name;
                EXPECT_FALSE(e.reason().empty()) << name;
            }
        }
    }
}

}  // namespace
}  // namespace velmora
