// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batch_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>

#include "app/program_arguments.h"
#include "export/st_sink.h"
#include "support/test_support.h"
#include "velmora_version.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;
using test::dataLine;

struct ToolRun {
    int status;
    std::string out, err;
};

// The tool as installed: the vendor list beside the program is data/vlident.txt.
ToolRun tool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runBatchTool(args, test::repoFile("data"), out, err);
    return {status, out.str(), err.str()};
}

// An export line of the log below from its first five columns.
std::string line(std::string head, std::string flags = "0011") {
    return head + ";01:02:03GMT;[257449];#;" + flags + ";00000040;100\r\n";
}

const std::string kLog = test::textLog({
    dataLine("N 45.1", "E 19.1", "HomeNet", "00:0c:41:aa:bb:01", "0011"),
    dataLine("S 45.4", "W 19.4", "homenet", "00:0C:41:AA:BB:01", "0011"),
    dataLine("N 45.2", "E 19.2", "a/b", "00:0c:41:aa:bb:02", "0011"),
    dataLine("N 45.3", "E 19.3", "", "00:40:96:00:00:03", "0011"),
    dataLine("N 1.5", "E 2.5", "home", "00:0f:66:aa:bb:02", "0011"),
    dataLine("N 1.5", "E 2.5", "Home", "00:0F:66:AA:BB:02", "0011"),
    dataLine("N 1.5", "E 2.5", "office", "00:0F:66:AA:BB:01", "0001"),
    dataLine("N 1.5", "E 2.5", "home", "00:0F:66:AA:BB:01", "0002", "Ad-hoc"),
});

class Batch : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(log, kLog);
        // A folder that would let a name holding "/" climb out of the output folder.
        fs::create_directories(out / "Custom_SSID_");
    }

    // The options, --out, the log (`loaded`, else log.txt), then the commands, split at blanks.
    std::vector<std::string> args(std::string commands, std::vector<std::string> options = {},
                                  const fs::path& loaded = {}) {
        options.insert(options.end(),
                       {"--out", out.string(), (loaded.empty() ? log : loaded).string()});
        std::istringstream words(commands);
        for (std::string word; words >> word;) options.push_back(word);
        return options;
    }

    // Runs the commands on the log; `out` keeps what follows the load's counts.
    ToolRun run(std::string commands, std::vector<std::string> options = {}) {
        ToolRun r = tool(args(std::move(commands), std::move(options)));
        r.out.erase(0, r.out.find('\n', r.out.find("Ad-Hoc Locations:")) + 1);
        return r;
    }

    test::TempDir dir;
    fs::path log = dir / "log.txt";
    fs::path out = dir / "out";
};

TEST(BatchTool, CountsWorkdirAndHelp) {
    ToolRun r = tool({test::repoFile("samples/drive-text.txt").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Source File Type: NS1 Text Export\nTotal Number Of Source Entries: 27\n"
              "Non-GPS Dropped Entries: 3\nWEP OFF Entries: 17\nWEP ON Entries: 10\n"
              "AP Locatiions: 15\nAd-Hoc Locations: 12\n");

    test::TempDir dir;
    // Both folders are made where they do not exist.
    const fs::path out = dir / "new" / "out";
    r = tool({"--workdir", (dir / "work").string(), "--out", out.string(),
              test::repoFile("samples/drive-summary.txt").string(), "convert-all", "adhoc"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find((out / "FullConvert_drive-summary.txt").string() + "\n"), r.out.npos);
    EXPECT_TRUE(fs::exists(out / "All_AD-HOC_drive-summary.txt"));
    EXPECT_EQ(test::readFile(dir / "work" / "output1"), test::readFile(dir / "work" / "output2"));

    r = tool({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"convert-all", "--format", "--per-ap", "geojson"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    EXPECT_EQ(r.err, "");

    // The version comes from the generated header, before any LOG is asked for.
    r = tool({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "velmora-batch " VELMORA_FILE_VERSION "\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Batch, ExitStatusSaysWhatWentWrongAndNothingIsWritten) {
    test::writeFile(dir / "notalog.txt", "hello\r\nworld\r\n");
    test::writeFile(dir / "plain", "x");
    const std::string noVendors = (dir / "none.txt").string(), plain = (dir / "plain").string();
    // Earlier exports under the names a refused mac or criteria --mac command would take.
    const fs::path earlier[] = {out / "MAC_000C41AABB99.txt", out / "Custom_MAC_00095BEEE761.TXT"};
    for (const fs::path& file : earlier) test::writeFile(file, "an earlier export\r\n");
    // Logs and a vendor list under the names exports would take.
    const fs::path logs[] = {out / "MAC_000C41AABB01.kml", out / "FullConvert_log.txt"};
    for (const fs::path& file : logs) test::writeFile(file, kLog);
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{}, 2, "usage:"},
        {{"--out"}, 2, "--out needs a value"},
        {args("convert-all", {"--format", "KML"}), 2,
         "--format takes st, kml, gpx, geojson, csv or gpkg, not KML"},
        {args("convert-all", {"--ap-position", "middle"}), 2,
         "--ap-position takes strongest or weighted, not middle"},
        {args("convert-all", {"--format", "txt", "--per-ap"}), 2, "usage:"},
        {args("", {"--bogus"}), 2, "unknown option --bogus"},
        {args("frobnicate"), 2, "unknown command frobnicate"},
        {{(dir / "notalog.txt").string()}, 1, "Bad File - Try Again"},
        {{(dir / "absent.txt").string()}, 1, "File Not Readable - Try Again"},
        {{"--workdir", plain + "/w", log.string()}, 1, "plain"},
        {{"--out", plain, log.string(), "convert-all"}, 1, "plain"},
        {args("ap-name a/b"), 1, "path separator"},  // a real group, but a subfolder
        {args("ap-name nosuch"), 1, "no network group \"NOSUCH\""},
        {args("mac 00:0C:41:AA:BB"), 2, "not a MAC address"},
        {args("mac 00:0c:41:aa:bb:99"), 1, "no sighting of 00:0C:41:AA:BB:99; nothing written"},
        {args("vendor 00-0C-41-AA-BB-01"), 2, "not a MAC address"},
        {args("aps", {"--vendors", noVendors}), 1, "cannot read the vendor list " + noVendors},
        {args("criteria home --type adhoc --wep on"), 1, "nothing written"},
        {args("criteria /../../evil"), 1, "path separator"},
        {args("criteria home --mac 00-09-5B-EE-E7-61"), 2, "not a MAC address"},
        {args("criteria home --mac"), 2, "--mac needs a value"},
        {args("criteria home --wep ON"), 2, "usage:"},
        {args("matching home --mac 00:0F:66:AA:BB:01"), 2, "usage:"},
        {{"--", (dir / "notalog.txt").string()}, 1, "Bad File - Try Again"},
        // No export replaces the log it reads, nor the vendor list.
        {args("mac 00:0c:41:aa:bb:01", {"--format", "kml"}, logs[0]), 1,
         "MAC_000C41AABB01.kml: Is the loaded log"},
        {args("convert-all", {"--vendors", logs[1].string(), "--format", "st"}), 1,
         "FullConvert_log.txt: Is the vendor list"},
    };
    for (const auto& [words, status, says] : cases) {
        const ToolRun r = tool(words);
        EXPECT_EQ(r.status, status) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    // Only what the test made: log.txt, notalog.txt, plain, out/, out/Custom_SSID_/, the
    // earlier exports and the logs, untouched.
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir.path()), {}), 9);
    for (const fs::path& file : earlier) EXPECT_EQ(test::readFile(file), "an earlier export\r\n");
    for (const fs::path& file : logs) EXPECT_EQ(test::readFile(file), kLog);
}

// Each command family once: what it prints and the file it writes.
TEST_F(Batch, CommandsPrintTheirResultsAndWriteTheirFiles) {
    const std::string sample = test::repoFile("tests/advanced/vlident-sample.txt").string();
    ToolRun r =
        run("groups ap-name homeNet aps mac 00:0c:41:aA:Bb:01 matching home matching HOME "
            "--wep on --type bss criteria home --type bss criteria home --mac 00:0f:66:aa:bb:01",
            {"--vendors", sample});
    ASSERT_EQ(r.status, 0) << r.err;
    // The golden output names the output folder OUT.
    std::string expected = test::readFile(test::repoFile("tests/app/golden/commands.txt"));
    for (std::size_t at = 0; (at = expected.find("OUT/", at)) != std::string::npos;)
        expected.replace(at, 3, out.string()), at += out.string().size();
    EXPECT_EQ(r.out, expected);
    const std::string header(kExportHeader), home = line("1.5;2.5;HOME;BSS;00:0F:66:AA:BB:02");
    // What each export holds is the core's; here, that --type and --mac reach criteria.
    EXPECT_EQ(test::readFile(out / "Custom_SSID_HOME.TXT"), header + home + home);
    EXPECT_EQ(test::readFile(out / "Custom_MAC_000F66AABB01.TXT"),
              header + line("1.5;2.5;OFFICE;BSS;00:0F:66:AA:BB:01", "0001") +
                  line("1.5;2.5;HOME;Ad-hoc;00:0F:66:AA:BB:01", "0002"));

    r = run("vendor 00:0C:41:00:00:00 vendor 00:0c:41:12:34:56");  // data/vlident.txt
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Cisco-Linksys, LLC\nCisco-Linksys, LLC\n");
}

// --format and --per-ap apply to every export of the run; the paths printed are the files
// written, and nothing else is. Each format's names and files are the export's (ExportFileNames,
// MapWriters; Streets and Trips as today's: StyledExports): one map format checks the wiring.
TEST_F(Batch, FormatAndPerApplyToEveryExportAndThePathsPrintedAreTheFilesWritten) {
    const char* const commands =
        "convert-all locked ap-name homeNet mac 00:0c:41:aa:bb:01 criteria home "
        "criteria home --mac 00:0f:66:aa:bb:01";
    // Streets and Trips named, and KML with one pin per access point.
    for (const bool kml : {false, true}) {
        fs::remove_all(out);
        fs::create_directories(out);
        std::vector<std::string> options{"--format", kml ? "kml" : "st"};
        if (kml) options.push_back("--per-ap");
        const ToolRun r = run(commands, options);
        ASSERT_EQ(r.status, 0) << kml << ": " << r.err;
        std::set<std::string> printed, written;
        std::istringstream lines(r.out);
        for (std::string l; std::getline(lines, l);) printed.insert(l);
        for (const auto& file : fs::directory_iterator(out)) {
            written.insert(file.path().string());
            EXPECT_GT(file.file_size(), 0u) << file.path();
            EXPECT_EQ(file.path().extension() == ".kml", kml) << file.path();
        }
        EXPECT_EQ(printed, written) << kml;
        EXPECT_EQ(written.size(), 6u) << kml;
    }
    // --per-ap reaches both kinds of export: five access points, and the first of HOMENET; with
    // --ap-position weighted, at the centroid of its two equal sightings.
    ASSERT_EQ(run("convert-all ap-name homeNet", {"--per-ap"}).status, 0);
    EXPECT_EQ(std::ranges::count(test::readFile(out / "FullConvert_log.txt"), '\n'), 6);
    EXPECT_EQ(test::readFile(out / "AP-HOMENET.TXT"),
              std::string(kExportHeader) + line("45.1;19.1;HOMENET;BSS;00:0c:41:aa:bb:01"));
    ASSERT_EQ(run("convert-all", {"--per-ap", "--ap-position", "weighted"}).status, 0);
    EXPECT_NE(test::readFile(out / "FullConvert_log.txt")
                  .find(line("-0.1500000;-0.1500000;HomeNet;BSS;00:0c:41:aa:bb:01")),
              std::string::npos);
}

// A WiGLE CSV and a .ns1 log through the tool: the counts with the Other Radio line, and a
// .ns1 cut short loaded with its damage on stderr.
TEST(BatchTool, WigleAndNs1LogsPrintTheirCountsAndExportOrSayWhyNot) {
    test::TempDir dir;
    std::string ns1 = test::readFile(test::repoFile("samples/drive-ns1.ns1"));
    test::writeFile(dir / "cut.ns1", ns1.substr(0, ns1.size() * 2 / 3));
    const std::string wigle = test::repoFile("samples/wigle-phone.csv").string();
    // The log, what stdout holds, stderr, the file written.
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {wigle, "Ad-Hoc Locations: 3\nOther Radio Entries Skipped: 6\n", "",
         "FullConvert_wigle-phone.csv"},
        {(dir / "cut.ns1").string(), "Source File Type: NS1 Binary Log\n",
         "velmora-batch: " + (dir / "cut.ns1").string() +
             ": the file is cut short in access point ",
         "FullConvert_cut.ns1"},
    };
    for (const auto& [log, out, err, written] : cases) {
        const ToolRun r = tool({"--out", dir.path().string(), log, "convert-all"});
        EXPECT_EQ(r.status, 0) << log << ": " << r.err;
        EXPECT_NE(r.out.find(out), std::string::npos) << log << ": " << r.out;
        EXPECT_TRUE(err.empty() ? r.err.empty() : r.err.starts_with(err)) << log << ": " << r.err;
        EXPECT_TRUE(r.out.ends_with((dir / written).string() + "\n")) << r.out;
        EXPECT_GT(fs::file_size(dir / written), 0u) << log;
    }
}

// A survey of several logs: the counts of all, a line per log, duplicates and files that are no
// logs said apart; its exports named after the first log.
TEST_F(Batch, AddedLogsMakeOneSurvey) {
    std::string drive2 =
        test::textLog({dataLine("N 46.1", "E 19.1", "home", "00:0C:41:AA:BB:01", "0011")});
    drive2.replace(drive2.find("[ 25 74 49 ]"), 12, "[ 30 79 49 ]");
    test::writeFile(dir / "drive2.txt", drive2);
    fs::create_directories(dir / "logs/sub");
    test::writeFile(dir / "logs/notes.txt", "my drives\n");
    test::writeFile(dir / "logs/sub/copy.txt", kLog);
    // A subfolder that cannot be read keeps no other log out.
    const fs::path deep = test::makeTooDeepFolder(dir / "logs/sub");
    const std::string log2 = (dir / "drive2.txt").string(), logs = (dir / "logs").string();
    const auto logLine = [&](const fs::path& path, int kept) {
        return "Log: " + path.string() + ": NS1 Text Export, " + std::to_string(kept) +
               " kept, 0 dropped\n";
    };
    const struct {
        std::vector<std::string> args;
        std::string out, err;
    } rows[] = {
        {{"--add", log2, "--per-ap", "--format", "csv", "convert-all"},
         "Total Number Of Source Entries: 9\n" + logLine(log, 8) + logLine(dir / "drive2.txt", 1),
         ""},
        {{"--add-folder", logs},
         "Total Number Of Source Entries: 8\n1 file skipped: not a survey log\n",
         "velmora-batch: " + logs + "/notes.txt: not a survey log\n"},
        {{"--add-folder", logs, "--recursive"},
         "Total Number Of Source Entries: 8\nDuplicate Sightings Skipped: 8\n" + logLine(log, 8) +
             logLine(dir / "logs/sub/copy.txt", 0) + "1 file skipped: not a survey log\n",
         "velmora-batch: " + deep.string() + ": skipped: File name too long\n" +
             "velmora-batch: " + logs + "/notes.txt: not a survey log\n"},
        {{"--add-folder", logs + "/gone"},
         "Total Number Of Source Entries: 8\n",
         "velmora-batch: " + logs + "/gone: skipped: No such file or directory\n"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> words{"--out", out.string(), log.string()};
        words.insert(words.end(), row.args.begin(), row.args.end());
        const ToolRun r = tool(words);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string shown;  // the total and every line after the six counts
        std::istringstream lines(r.out);
        for (std::string l; std::getline(lines, l);)
            if (l.starts_with("Total") || l.starts_with("Log") || l.starts_with("Dup") ||
                l.find("skipped") != l.npos)
                shown += l + "\n";
        EXPECT_EQ(shown, row.out) << row.args[0];
        EXPECT_EQ(r.err, row.err) << row.args[0];
    }
    // Its pins are the core's (PerAccessPoint over the survey's records: SurveyTest).
    EXPECT_TRUE(fs::exists(out / "FullConvert_log.csv"));
}

// The desktop program's command line: the first "--" ends the options and names no log.
TEST(ProgramArguments, TheFirstDoubleDashEndsTheOptions) {
    using Words = std::vector<std::string>;
    const std::pair<Words, Words> cases[] = {{{"--", "x.txt"}, {"x.txt"}},
                                             {{"a.txt", "--", "-b.txt"}, {"a.txt", "-b.txt"}},
                                             {{"--", "--"}, {"--"}},
                                             {{"x.txt"}, {"x.txt"}},
                                             {{}, {}}};
    for (const auto& [words, logs] : cases) EXPECT_EQ(logArguments(words), logs);
}

}  // namespace
}  // namespace velmora::batch
