// SPDX-License-Identifier: GPL-3.0-or-later
// Faults a user's machine can throw at the exporters and the loader, and files no scanner
// wrote. None may crash, hang, write half a file, or take memory far beyond its largest line.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/mac_access_points.h"
#include "export/main_exports.h"
#include "loader/source_loader.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

class Reliability : public ::testing::Test {
  protected:
    LoadResult load(std::string_view bytes) {
        test::writeFile(dir / "log.txt", bytes);
        return loadSourceLog(dir / "log.txt", files);
    }
    // Every file below the test's folder, with its contents.
    std::set<std::string> snapshot() const {
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            found.insert(entry.path().string() + "=" +
                         (entry.is_regular_file() ? test::readFile(entry.path()) : "<dir>"));
        return found;
    }

    test::TempDir dir;
    WorkingFiles files{dir.path()};
};

// Each exporter's file, and the exporter writing it into folder `f` from working file `w`.
const char* const kExportFiles[] = {"FullConvert_log.txt", "AP-HOME.TXT", "Custom_SSID_HOME.TXT",
                                    "MAC_000A95000001.txt"};
void runExporter(int k, const fs::path& w, const fs::path& f) {
    if (k == 0) runMainExport(MainExport::ConvertAll, w, f, "log.txt");
    if (k == 1) exportApNameGroup(w, f / kExportFiles[k], "HOME");
    if (k == 2) exportCriteria(w, f / kExportFiles[k], {"HOME", ""});
    if (k == 3) exportMacAddress(w, "00:0A:95:00:00:01 - HOME", f, kExportFiles[k]);
}

TEST_F(Reliability, EveryExporterReportsEveryFaultAndKeepsWhatWasThere) {
    load(test::textLog({dataLine("N 1", "E 2", "home", "00:0a:95:00:00:01", "0011")}));
    for (const char* file : kExportFiles) {
        fs::create_directories(dir / "taken" / file / "kept");
        test::writeFile(dir / file, "an earlier export\r\n");
    }
    const auto before = snapshot();
    for (int k = 0; k < 4; ++k) {
        // The working file, the export folder, and the file the report must name.
        const fs::path cases[][3] = {
            {files.output1(), files.output1() / "sub", files.output1() / "sub" / kExportFiles[k]},
            {files.output1(), dir / "taken", dir / "taken" / kExportFiles[k]},  // a folder
            {dir / "gone", dir.path(), dir / "gone"}};
        for (const auto& [work, folder, named] : cases) {
            EXPECT_EQ(test::fileErrorPath([&] { runExporter(k, work, folder); }), named) << k;
            EXPECT_EQ(snapshot(), before) << k << ": nothing written, nothing removed";
        }
    }
}

TEST_F(Reliability, HugeLinesAreReadInMemoryOfAFewLines) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh child, for its memory peak
    // (A format line without a line end is rejected from its first bytes: the loader's test.)
    // A data line of 100 MB, written piece by piece so that no copy of it is held here:
    // dropped as a non-GPS entry and read past; the lines around it load.
    {
        std::ofstream log(dir / "long.txt", std::ios::binary);
        log << test::textLog({dataLine("N 1", "E 2", "before", "00:0a", "0011")}) << "N 1\tE 2\t( ";
        const std::string piece(1 << 20, 'n');
        for (int k = 0; k < 100; ++k) log << piece;
        log << " )\r\n" << dataLine("N 3", "E 4", "after", "00:0b", "0012") << "\r\n";
    }
    const auto loadLong = [&] {
        const auto counts = loadSourceLog(dir / "long.txt", files).counts;
        return counts.total == 2 && counts.dropped == 1;
    };
    EXPECT_EXIT(test::exitWith(loadLong, 0, 16), ::testing::ExitedWithCode(0), "");
    // The longest line kept, its name all double quotes: the working file stores it at twice
    // its length, and it reads back and exports whole.
    const std::size_t quotes = kDataLineLimit - dataLine("N 1", "E 2", "", "00:0a", "0011").size();
    const std::string name(quotes, '"');
    ASSERT_EQ(load(test::textLog({dataLine("N 1", "E 2", name, "00:0a", "0011")})).counts.total,
              1u);
    EXPECT_EQ(test::readRecords(files.output1()).at(0)[WorkingRecord::SSID], name);
    const auto exported = runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), "l");
    EXPECT_NE(test::readFile(exported).find(";" + std::string(2 * quotes + 2, '"') + ";BSS;"),
              std::string::npos);
}

TEST_F(Reliability, AHundredThousandNamesAndANameOfEveryByte) {
    // Every byte but the line ends and the tab; spaces and parentheses are not stored.
    std::string every, stored;
    for (int b = 1; b < 256; ++b)
        if (b != '\t' && b != '\n' && b != '\r') every.push_back(static_cast<char>(b));
    std::erase_if(stored = every, [](char c) { return c == ' ' || c == '(' || c == ')'; });
    std::string log = test::textLog({dataLine("N 1", "E 2", every, "00:0a:95:00:00:01", "0011")});
    for (int i = 0; i < 100000; ++i)
        log += dataLine("N 1", "E 2", "net" + std::to_string(i), "00:0b", i % 2 ? "0011" : "0002") +
               "\r\n";
    ASSERT_EQ(load(log).counts.total, 100001u);
    EXPECT_EQ(test::readRecords(files.output1()).at(0)[WorkingRecord::SSID], stored);
    EXPECT_EQ(readNetworkGroups(files.output1()).size(), 100001u);
    EXPECT_EQ(CriteriaIndex::build(files.output1()).networkNames().size(), 100001u);
    const std::string group = toUpperAscii(stored);
    EXPECT_EQ(exportApNameGroup(files.output1(), dir / "group.txt", group), 1u);
    // The name holds ";" and a double quote: it is exported quoted, its quote doubled.
    std::string quoted = "\"";
    for (char c : group) quoted += c == '"' ? "\"\"" : std::string(1, c);
    EXPECT_NE(test::readFile(dir / "group.txt").find(";" + quoted + "\";"), std::string::npos);
    EXPECT_EQ(exportCriteria(files.output1(), dir / "criteria.txt", {group, ""}), 1u);
}

}  // namespace
}  // namespace velmora
