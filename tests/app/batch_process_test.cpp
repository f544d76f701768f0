// SPDX-License-Identifier: GPL-3.0-or-later
// The built velmora-batch as separate processes: several at once on one working folder, and
// runs stopped by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "app/batch_tool.h"
#include "records/working_files.h"
#include "support/test_support.h"

namespace velmora::batch {
namespace {

namespace fs = std::filesystem;

// Starts velmora-batch with `args`, its stdout dropped and its stderr to the file `err`;
// `prepare` runs in the new process before the program (a limit, a signal ignored).
pid_t start(const std::vector<std::string>& args, const fs::path& err, const fs::path& tmp = {},
            void (*prepare)() = nullptr) {
    std::vector<char*> argv{const_cast<char*>(VELMORA_BATCH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open("/dev/null", O_WRONLY), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (!tmp.empty()) setenv("TMPDIR", tmp.c_str(), 1);
        if (prepare) prepare();
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// A log of `lines` sightings, different for each `seed`.
std::string bigLog(int seed, int lines) {
    std::string log = test::textLog({});
    for (int i = 0; i < lines; ++i) {
        const std::string n = std::to_string(seed) + "." + std::to_string(i % 9973);
        log += test::dataLine("N " + n, "W " + n,
                              "net" + std::to_string(seed) + "-" + std::to_string(i % 97),
                              "00:0c:41:00:00:" + std::to_string(10 + seed),
                              i % 3 ? "0011" : "0002", i % 3 ? "BSS" : "Ad-hoc") +
               "\r\n";
    }
    return log;
}

// The file name and bytes of the export `command` makes of `log` when it runs alone.
std::pair<std::string, std::string> exportAlone(const fs::path& log, const std::string& command,
                                                const fs::path& scratch) {
    std::ostringstream out, err;
    fs::create_directories(scratch);
    const std::vector<std::string> args{
        "--workdir", (scratch / "work").string(), "--out", scratch.string(), log.string(), command};
    EXPECT_EQ(runBatchTool(args, test::repoFile("data"), out, err), 0) << err.str();
    for (const auto& entry : fs::directory_iterator(scratch))
        if (entry.is_regular_file())
            return {entry.path().filename().string(), test::readFile(entry.path())};
    return {};
}

TEST(BatchProcesses, RunsSharingAWorkingFolderEachExportTheirOwnLogOrSayFileInUse) {
    test::TempDir dir;
    const fs::path work = dir / "work";
    constexpr int kRuns = 16;
    const auto path = [&](const char* name, int i) { return dir / (name + std::to_string(i)); };
    std::vector<std::pair<std::string, std::string>> expected;
    for (int i = 0; i < kRuns; ++i) {
        test::writeFile(path("log", i), bigLog(i, 30000 + 1000 * i));
        expected.push_back(exportAlone(path("log", i), "convert-all", path("alone", i)));
        fs::create_directory(path("out", i));
    }
    const auto args = [&](int i) {
        return std::vector<std::string>{
            "--workdir",  work.string(), "--out", path("out", i).string(), path("log", i).string(),
            "convert-all"};
    };
    // A folder this process holds is refused to the tool as well.
    fs::create_directory(work);
    {
        WorkingFolderLock held(WorkingFiles{work});
        ASSERT_EQ(held.tryLock(), WorkingFolderLock::Status::Held);
        std::ostringstream out, err;
        EXPECT_EQ(runBatchTool(args(0), test::repoFile("data"), out, err), 1);
        EXPECT_EQ(err.str(), "File In Use - Close Other Copy\n");
        EXPECT_TRUE(fs::is_empty(path("out", 0)) && !fs::exists(work / "output1"));
    }
    std::vector<pid_t> runs;
    for (int i = 0; i < kRuns; ++i) runs.push_back(start(args(i), path("err", i)));
    int exported = 0;
    for (int i = 0; i < kRuns; ++i) {
        const int status = wait(runs[i]);
        ASSERT_TRUE(WIFEXITED(status)) << i;
        if (WEXITSTATUS(status) == 0) {
            ++exported;
            EXPECT_TRUE(test::readFile(path("out", i) / expected[i].first) == expected[i].second)
                << i;
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1) << i;
            EXPECT_EQ(test::readFile(path("err", i)), "File In Use - Close Other Copy\n") << i;
            EXPECT_TRUE(fs::is_empty(path("out", i))) << i;
        }
    }
    EXPECT_GE(exported, 1);
    std::cout << exported << " runs exported, " << kRuns - exported << " found the folder in use\n";
}

TEST(BatchProcesses, AStoppedRunLeavesNoWorkingFolderAndNoPartialExport) {
    test::TempDir dir;
    const fs::path log = dir / "big.txt";
    test::writeFile(log, bigLog(1, 150000));
    std::vector<std::string> args;
    std::map<std::string, std::string> complete;  // export name -> bytes
    for (const std::string kind : {"convert-all", "locked", "open", "infrastructure", "adhoc"}) {
        complete.insert(exportAlone(log, kind, dir / ("alone-" + kind)));
        for (int round = 0; round < 40; ++round) args.push_back(kind);
    }
    // SIGPIPE as a run whose reader has gone (`| head`) gets it; last, a SIGHUP that was ignored
    // when the run started (nohup) stays ignored: that run goes on to its end.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGKILL, -SIGHUP}) {
        const fs::path tmp = dir / ("tmp" + std::to_string(signal));
        const fs::path out = dir / ("out" + std::to_string(signal));
        fs::create_directory(tmp);
        fs::create_directory(out);
        std::vector<std::string> run{"--out", out.string(), log.string()};
        run.insert(run.end(), args.begin(), args.begin() + (signal > 0 ? 200 : 10));
        const auto nohup = [] { ::signal(SIGHUP, SIG_IGN); };
        const pid_t pid =
            start(run, dir / ("err" + std::to_string(signal)), tmp, signal > 0 ? nullptr : +nohup);
        // Stopped while its exports are being written: once the first one is in place.
        while (fs::is_empty(out)) std::this_thread::yield();
        kill(pid, std::abs(signal));
        const int status = wait(pid);
        EXPECT_TRUE(signal > 0 ? WIFSIGNALED(status) && WTERMSIG(status) == signal : status == 0)
            << signal;
        if (signal != SIGKILL) {
            EXPECT_TRUE(fs::is_empty(tmp)) << signal << ": the private working folder is left";
        }
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            ASSERT_TRUE(complete.count(name)) << signal << ": " << name << " is left";
            EXPECT_TRUE(test::readFile(entry.path()) == complete[name]) << signal << ": " << name;
        }
    }
}

// A file size limit is met like a full disk: reported, nothing left half-written; so is a full
// disk under the standard output.
TEST(BatchProcesses, AFileSizeLimitOrAFullOutputIsReported) {
    test::TempDir dir;
    const fs::path log = dir / "big.txt", work = dir / "work";
    test::writeFile(log, bigLog(1, 20000));
    const auto limit = [] {
        const rlimit bytes{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &bytes);
    };
    const int status =
        wait(start({"--workdir", work.string(), log.string()}, dir / "err", {}, limit));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(test::readFile(dir / "err").find("output1: File too large"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(work));
    const auto full = [] { dup2(open("/dev/full", O_WRONLY), 1); };
    if (!fs::exists("/dev/full")) return;
    EXPECT_EQ(wait(start({log.string(), "groups"}, dir / "err", {}, full)), 1 << 8);
    EXPECT_NE(test::readFile(dir / "err").find("output: No space left on device"),
              std::string::npos);
}

// Stopped while it adds logs, a run leaves the working files of the survey before or of the
// survey after, output1 with its extras, and (but for SIGKILL) nothing half-written.
TEST(BatchProcesses, AStoppedAddLeavesTheOldSurveyOrTheNew) {
    test::TempDir dir;
    const fs::path work = dir / "work", done = dir / "done";
    std::vector<std::string> args{"--workdir", work.string()};
    for (int i = 0; i < 4; ++i) {
        const fs::path log = dir / ("log" + std::to_string(i));
        test::writeFile(log, bigLog(i, 150000));
        if (i > 0) args.push_back("--add");
        args.push_back(log.string());
    }
    const auto survey = [&](const std::vector<std::string>& words) {
        std::ostringstream out, err;
        EXPECT_EQ(runBatchTool(words, test::repoFile("data"), out, err), 0) << err.str();
        return std::pair{test::readFile(work / "output1"), test::readFile(work / "output1.extras")};
    };
    const auto after = survey(args);
    const std::vector<std::string> one{"--workdir", work.string(), (dir / "log0").string()};
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        const auto before = survey(one);
        const pid_t pid = start(args, dir / "err");
        // Stopped once the new files are being written.
        for (bool writing = false; !writing; std::this_thread::yield())
            for (const auto& entry : fs::directory_iterator(work))
                writing = writing ||
                          entry.path().filename().string().find(".old-add") != std::string::npos;
        kill(pid, signal);
        const int status = wait(pid);
        // A run that ended its add between the look and the signal has the survey after.
        const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == signal))
            << signal << ": status " << status << ": " << test::readFile(dir / "err");
        const std::string output1 = test::readFile(work / "output1");
        if (finished) {
            EXPECT_TRUE(output1 == after.first) << signal;
        }
        const std::string extras = test::readFile(work / "output1.extras");
        if (output1 == after.first) {
            EXPECT_TRUE(extras == after.second) << signal;
        } else {
            EXPECT_TRUE(output1 == before.first) << signal;
            // The new extras file may stand before output1 is replaced: it starts with the old.
            EXPECT_TRUE(extras == before.second || extras == after.second) << signal;
        }
        if (signal == SIGKILL) continue;
        for (const auto& entry : fs::directory_iterator(work))
            EXPECT_EQ(entry.path().filename().string().find(".old-add"), std::string::npos)
                << signal << ": " << entry.path();
    }
}

}  // namespace
}  // namespace velmora::batch
