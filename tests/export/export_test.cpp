#include <gtest/gtest.h>

#include "export/export_line.h"
#include "export/export_walk.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "records/file_error.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using enum MainExport;

TEST(CoordinateConversion, SignsOnlyExactUpperCaseHemisphereLetters) {
    // Latitude;longitude, and what the export makes of them.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"N41.5;E2.5", "41.5;2.5"}, {"S33.25;W81.75", "-33.25;-81.75"}, {"S;W", "-;-"},
        {"n41.5;w81.75", "n41.5;w81.75"}, {"N;E", ";"}, {";", ";"}, {"NS1;EW1", "-1;-1"},
        {"41.5;-2.5", "41.5;-2.5"}, {" N1;E 1", " N1; 1"}};
    // clang-format on
    for (const auto& [in, want] : cases) {
        const std::size_t semi = in.find(';');
        const RecordFields fields{std::string_view(in).substr(0, semi),
                                  std::string_view(in).substr(semi + 1)};
        std::string line(exportLineSize(fields), '\0');
        line.resize(static_cast<std::size_t>(writeExportLine(line.data(), fields) - line.data()));
        EXPECT_EQ(line, want + ";;;;;;;;;\r\n") << in;
    }
}

TEST(QuickSortFilters, EachFlagsCodeGoesToTheRightFiles) {
    // Whether Locked, Open, Infrastructure and AdHoc take each Flags value.
    const std::pair<const char*, const char*> cases[] = {
        {"0011", "1010"}, {"0031", "1010"}, {"0051", "1010"}, {"0001", "0110"}, {"0005", "0100"},
        {"0021", "0110"}, {"0041", "0110"}, {"0013", "0000"}, {"0015", "0000"}, {"0071", "0010"},
        {"0411", "0010"}, {"0012", "0001"}, {"", "0000"},     {"011", "0010"},  {"00011", "0010"}};
    for (const auto& [flags, taken] : cases) {
        std::string got;
        for (auto kind : {Locked, Open, Infrastructure, AdHoc})
            got += mainExportPasses(kind, flags) ? '1' : '0';
        EXPECT_EQ(got, taken) << flags;
    }
}

TEST(MainExports, WriteTheirGoldenFilesAndReplaceOnlyARegularFileOnlyWhenComplete) {
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    const fs::path golden = test::repoFile("tests/export/golden");
    ASSERT_EQ(loadSourceLog(golden / "flags-log.txt", files).status, LoadStatus::Loaded);
    for (auto kind : {ConvertAll, Locked, Open, Infrastructure, AdHoc}) {
        const std::string name = mainExportInfo(kind).prefix + std::string("flags-log.txt");
        EXPECT_EQ(runMainExport(kind, files.output1(), dir.path(), "flags-log.txt"), dir / name);
        EXPECT_EQ(test::readFile(dir / name), test::readFile(golden / name)) << name;
    }
    const fs::path target = dir / "FullConvert_flags-log.txt";
    const auto all = [](const RecordFields&) { return true; };
    const auto fails = [&](const fs::path& to) {
        return test::fileErrorPath([&] { exportWalk(files.output1(), to, all); }) == to;
    };
    const auto diskFills = [&] { return fails(target); };
    EXPECT_EXIT(test::exitWith(diskFills, 600), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::readFile(target), test::readFile(golden / "FullConvert_flags-log.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 7)
        << "the working files and the five exports: no temporary file is left";
    fs::create_symlink("/dev/full", dir / "device");  // a link, so that a fault cannot replace it
    EXPECT_TRUE(fails(dir / "device") && fails(files.output1())) << "a device, the working file";
    test::writeFile(dir / "empty", "");
    EXPECT_EQ(exportWalk(dir / "empty", target, all), 0u);
    EXPECT_EQ(test::readFile(target), "Latitude;Longitude;Name; ;Name 2\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 9)
        << "and the link and the empty file: the replaced export is gone";
}

TEST(ExportWalk, ARefusedTargetSaysWhy) {
    test::TempDir dir;
    const WorkingFiles files{dir.path()};
    ASSERT_EQ(loadSourceLog(test::repoFile("tests/export/golden/flags-log.txt"), files).status,
              LoadStatus::Loaded);
    fs::create_directory(dir / "folder");
    fs::create_symlink("/dev/full", dir / "device");
    const std::pair<fs::path, std::string> cases[] = {
        {dir / std::string(300, 'n'), "File name too long"},
        {dir / "folder", "Is a directory"},
        {dir / "device", "Not a regular file"},
        {files.output1(), "Is the working record file"},
    };
    for (const auto& [target, reason] : cases) {
        std::string said = "<no error>";
        try {
            exportWalk(files.output1(), target, [](const RecordFields&) { return true; });
        } catch (const FileError& e) {
            said = e.path() == target ? e.reason() : "another path: " + e.path().string();
        }
        EXPECT_EQ(said, reason);
    }
}

}  // namespace
}  // namespace velmora
