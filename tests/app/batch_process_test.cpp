// The built velmora-batch as separate processes: several at once on one working folder, and
// runs stopped by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
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

// A started velmora-batch: its stdout and stderr go to files beside `log`.
struct Process {
    pid_t pid;
    fs::path out, err;
};

Process start(const std::vector<std::string>& args, const fs::path& streams,
              const fs::path& tmpdir = {}) {
    Process p{-1, streams.string() + ".out", streams.string() + ".err"};
    std::vector<char*> argv{const_cast<char*>(VELMORA_BATCH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    p.pid = fork();
    if (p.pid == 0) {
        const int out = open(p.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(p.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (!tmpdir.empty()) setenv("TMPDIR", tmpdir.c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return p;
}

int wait(const Process& p) {
    int status = 0;
    waitpid(p.pid, &status, 0);
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

// What the export of `log` is when it runs alone.
std::string exportAlone(const fs::path& log, const std::string& command, const fs::path& scratch) {
    std::ostringstream out, err;
    fs::create_directories(scratch);
    const std::vector<std::string> args{
        "--workdir", (scratch / "work").string(), "--out", scratch.string(), log.string(), command};
    EXPECT_EQ(runBatchTool(args, test::repoFile("data"), out, err), 0) << err.str();
    std::string name = out.str().substr(out.str().rfind('/', out.str().size() - 2) + 1);
    name.pop_back();
    return test::readFile(scratch / name);
}

TEST(BatchProcesses, RunsSharingAWorkingFolderEachExportTheirOwnLogOrSayFileInUse) {
    test::TempDir dir;
    const fs::path work = dir / "work";
    constexpr int kRuns = 16;
    std::vector<std::string> expected;
    for (int i = 0; i < kRuns; ++i) {
        const fs::path log = dir / ("log" + std::to_string(i) + ".txt");
        test::writeFile(log, bigLog(i, 30000 + 1000 * i));
        expected.push_back(exportAlone(log, "convert-all", dir / ("alone" + std::to_string(i))));
        fs::create_directory(dir / ("out" + std::to_string(i)));
    }
    const auto args = [&](int i) {
        return std::vector<std::string>{"--workdir",
                                        work.string(),
                                        "--out",
                                        (dir / ("out" + std::to_string(i))).string(),
                                        (dir / ("log" + std::to_string(i) + ".txt")).string(),
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
        EXPECT_TRUE(fs::is_empty(dir / "out0") && !fs::exists(work / "output1"));
    }

    std::vector<Process> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(start(args(i), dir / ("run" + std::to_string(i))));
    int exported = 0, inUse = 0;
    for (int i = 0; i < kRuns; ++i) {
        const int status = wait(runs[i]);
        ASSERT_TRUE(WIFEXITED(status)) << i;
        const fs::path out = dir / ("out" + std::to_string(i));
        const std::string err = test::readFile(runs[i].err);
        if (WEXITSTATUS(status) == 0) {
            ++exported;
            EXPECT_EQ(test::readFile(out / ("FullConvert_log" + std::to_string(i) + ".txt")),
                      expected[i])
                << i;
        } else {
            ++inUse;
            EXPECT_EQ(WEXITSTATUS(status), 1) << i;
            EXPECT_EQ(err, "File In Use - Close Other Copy\n") << i;
            EXPECT_TRUE(fs::is_empty(out)) << i;
        }
    }
    EXPECT_GE(exported, 1);
    std::cout << exported << " runs exported, " << inUse << " found the folder in use\n";
}

TEST(BatchProcesses, AStoppedRunLeavesNoWorkingFolderAndNoPartialExport) {
    test::TempDir dir;
    const fs::path log = dir / "big.txt";
    test::writeFile(log, bigLog(1, 150000));
    const std::vector<std::string> kinds{"convert-all", "locked", "open", "infrastructure",
                                         "adhoc"};
    std::vector<std::string> commands;
    for (int round = 0; round < 40; ++round)
        commands.insert(commands.end(), kinds.begin(), kinds.end());
    std::map<std::string, std::string> complete;  // export name -> bytes
    for (const std::string& kind : kinds) {
        const fs::path scratch = dir / ("alone-" + kind);
        const std::string bytes = exportAlone(log, kind, scratch);
        for (const auto& entry : fs::directory_iterator(scratch))
            if (entry.is_regular_file()) complete[entry.path().filename().string()] = bytes;
    }

    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        const fs::path tmp = dir / ("tmp" + std::to_string(signal));
        const fs::path out = dir / ("out" + std::to_string(signal));
        fs::create_directory(tmp);
        fs::create_directory(out);
        std::vector<std::string> args{"--out", out.string(), log.string()};
        args.insert(args.end(), commands.begin(), commands.end());
        const Process run = start(args, dir / ("run" + std::to_string(signal)), tmp);
        // Stopped while its exports are being written: once the first one is in place.
        while (fs::is_empty(out)) std::this_thread::yield();
        kill(run.pid, signal);
        const int status = wait(run);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
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

}  // namespace
}  // namespace velmora::batch
