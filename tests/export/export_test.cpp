// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "export/export_walk.h"
#include "export/main_exports.h"
#include "export/recording_sink.h"
#include "export/st_sink.h"
#include "loader/source_loader.h"
#include "records/record_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using enum MainExport;

// The export line of `fields` as a selection upper-casing `upper` hands it to the sink.
std::string exportLine(RecordFields fields, UpperCase upper = UpperCase::None) {
    UpperCasing casing(upper);  // holds the upper-cased copy the views then show
    casing.apply(fields);
    std::string line(exportLineSize(fields), '\0');
    line.resize(static_cast<std::size_t>(writeExportLine(line.data(), fields) - line.data()));
    return line;
}

TEST(CoordinateConversion, SignsHemisphereLettersOfEitherCase) {
    // Latitude;longitude, and what the export makes of them.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"N41.5;E2.5", "41.5;2.5"}, {"S33.25;W81.75", "-33.25;-81.75"}, {"S;W", "-;-"},
        {"n41.5;w81.75", "41.5;-81.75"}, {"N;E", ";"}, {";", ";"}, {"ns1;eW1", "-1;-1"},
        {"41.5;-2.5", "41.5;-2.5"}, {" N1;E 1", " N1; 1"}, {"x1;\xee" "1", "x1;\xee" "1"}};
    // clang-format on
    for (const auto& [in, want] : cases) {
        const std::size_t semi = in.find(';');
        EXPECT_EQ(exportLine({std::string_view(in).substr(0, semi),
                              std::string_view(in).substr(semi + 1)}),
                  want + ";;;;;;;;;\r\n")
            << in;
    }
}

TEST(ExportLine, QuotesEveryItemHoldingASemicolonOrAQuote) {
    // The items joined by "|", the upper-casing, and the export line.
    // clang-format off
    const std::tuple<std::string, UpperCase, std::string> cases[] = {
        {"S3;3|w\"1|\"|;|Cafe,Bar||1;2|\"\"|x\";|;;|", UpperCase::None,
         "\"-3;3\";\"-\"\"1\";\"\"\"\";\";\";Cafe,Bar;;\"1;2\";\"\"\"\"\"\";\"x\"\";\";\";;\";"},
        {"N1|E2|a;b|bss|00:0a;x|t|s|#|0011|40|100", UpperCase::SsidAndBssid,
         "1;2;\"A;B\";bss;\"00:0A;X\";t;s;#;0011;40;100"},
        {"N1|E2|a;b|bss|00:0a|t;s|s|#|0011|40|100", UpperCase::Bssid,
         "1;2;\"a;b\";bss;00:0A;\"t;s\";s;#;0011;40;100"},
        {"n1|e2|ab|bss|00:0a|t|s|#|0011|40|100", UpperCase::Ssid,
         "1;2;AB;bss;00:0a;t;s;#;0011;40;100"},
        {"N1|E2|abcdefgh;|BSS|00:0a|t|s|#|0011|40|1;", UpperCase::None,
         "1;2;\"abcdefgh;\";BSS;00:0a;t;s;#;0011;40;\"1;\""},
        {"N1|E2|;abcdefghijklmnop\"|BSS|00:0a|t|s|#|0011|40|100", UpperCase::None,
         "1;2;\";abcdefghijklmnop\"\"\";BSS;00:0a;t;s;#;0011;40;100"}};
    // clang-format on
    for (const auto& [joined, upper, want] : cases) {
        // Items viewed apart, and items viewed in one line one separator apart (as a record
        // line is read): both give the same line.
        std::vector<std::string> items(1);
        for (char c : joined) c == '|' ? void(items.emplace_back()) : void(items.back() += c);
        RecordFields apart, together;
        std::string line;
        for (std::size_t k = 0; k < items.size(); ++k) {
            apart[k] = items[k];
            line += items[k] + ",";
        }
        for (std::size_t k = 0, at = 0; k < items.size(); at += items[k++].size() + 1)
            together[k] = std::string_view(line).substr(at, items[k].size());
        EXPECT_EQ(exportLine(apart, upper), want + "\r\n") << joined;
        EXPECT_EQ(exportLine(together, upper), want + "\r\n") << joined;
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
    const RecordSelection all{[](const RecordFields&) { return true; }};
    const auto fails = [&](const fs::path& to) {
        return test::fileErrorPath([&] { writeStreetsAndTrips(files.output1(), to, all); }) == to;
    };
    const auto diskFills = [&] { return fails(target); };
    EXPECT_EXIT(test::exitWith(diskFills, 600), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::readFile(target), test::readFile(golden / "FullConvert_flags-log.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 8)
        << "the three working files and the five exports: no temporary file is left";
    test::writeFile(dir / "empty", "");
    EXPECT_EQ(writeStreetsAndTrips(dir / "empty", target, all), 0u);
    EXPECT_EQ(test::readFile(target), "Latitude;Longitude;Name; ;Name 2\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 9)
        << "and the empty file: the replaced export is gone";
    // A target refused says why.
    fs::create_directory(dir / "folder");
    fs::create_symlink("/dev/full", dir / "device");
    const std::pair<fs::path, std::string> refused[] = {
        {dir / std::string(300, 'n'), "File name too long"},
        {dir / "folder", "Is a directory"},
        {dir / "device", "Not a regular file"},
        {files.output1(), "Is the working record file"},
    };
    for (const auto& [to, reason] : refused)
        EXPECT_EQ(test::fileError([&] { writeStreetsAndTrips(files.output1(), to, all); }),
                  to.string() + ": " + reason);
}

TEST(WriteExport, AnExportOfManyBlocksIsThePlainExportAndAFailedBlockWriteIsReported) {
    // About 7 MB of export lines, written in blocks on the writer thread.
    test::TempDir dir;
    const std::string_view latitudes[] = {"N41.5", "s0.0451234", "n12", "S33.25", ""};
    const std::string_view longitudes[] = {"W81.75", "e2.5", "E0", "w3", "180"};
    const std::string_view names[] = {"home", "a;b", "the \"den\"", "Cafe,Bar", "#Blank#", ";"};
    std::string working, all = std::string(kExportHeader);
    for (std::size_t i = 0; i < 90000; ++i) {
        // The items in file order, as the record's line and as the line writer's views.
        const std::string ssid = std::string(names[i % 6]) + std::to_string(i);
        const std::string bssid = "00:0a:95:" + std::to_string(i % 97);
        const std::string_view lon = longitudes[i % 5 == 4 ? 0 : (i / 5) % 5];
        const std::string_view type = i % 7 ? "BSS" : "ad-hoc";
        const std::string_view flags = i % 3 ? "0011" : "0001";
        const RecordFields fields = {latitudes[i % 5], lon, ssid,  type,       bssid, "12:00:00GMT",
                                     "[257449]",       "#", flags, "00000040", "100"};
        WorkingRecord record;
        for (std::size_t k = 0; k < fields.size(); ++k) record.fields[k] = fields[k];
        appendRecordLine(working, record);
        all += exportLine(fields);
    }
    ASSERT_GT(all.size(), 6u << 20);
    test::writeFile(dir / "output1", working);
    const fs::path target = dir / "export.txt";
    const RecordSelection every{[](const RecordFields&) { return true; }};
    EXPECT_EQ(writeStreetsAndTrips(dir / "output1", target, every), 90000u);
    EXPECT_TRUE(test::readFile(target) == all) << "differs from the lines written one by one";
    // A disk that fills after 3 MiB: a block write on the writer thread fails. The export
    // reports it, and neither the file nor its temporary is left.
    fs::remove(target);
    const auto reported = [&] {
        return test::fileErrorPath([&] { writeStreetsAndTrips(dir / "output1", target, every); }) ==
                   target &&
               std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()) == 1;
    };
    EXPECT_EXIT(test::exitWith(reported, 3 << 20), ::testing::ExitedWithCode(0), "");
}

TEST(WriteExport, ASinkThatFailsLeavesTheEarlierFileAndNoOther) {
    test::TempDir dir;
    std::string working;
    for (int i = 0; i < 3; ++i) working += "N1,E2,home,BSS,00:0a,t,s,#,0011,40,100\r\n";
    test::writeFile(dir / "output1", working);
    test::writeFile(dir / "x", "earlier export");
    const RecordSelection all{[](const RecordFields&) { return true; }};
    // In begin(), on the second record, in end().
    for (const std::size_t failAt : {1u, 3u, 5u}) {
        test::RecordingSink sink({});
        sink.failAt = failAt;
        EXPECT_THROW(writeExport(dir / "output1", dir / "x", all, sink), std::runtime_error);
        EXPECT_EQ(test::readFile(dir / "x"), "earlier export") << failAt;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
            << failAt;
    }
}

}  // namespace
}  // namespace velmora
