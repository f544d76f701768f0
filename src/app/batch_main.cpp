// SPDX-License-Identifier: GPL-3.0-or-later
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_tool.h"
#include "io/interrupt_cleanup.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    // An interrupted run leaves no working folder and no half-written file behind.
    velmora::cleanupOnInterrupt();
    // A write past the file size limit fails with its reason (EFBIG) and is reported like a
    // full disk, instead of ending the program with no word and its files half-written.
    signal(SIGXFSZ, SIG_IGN);
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) self = fs::absolute(argv[0], ec);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = velmora::batch::runBatchTool(args, self.parent_path(), std::cout, std::cerr);
    // What the run printed must have reached its file (`> groups.txt` on a full disk): a run
    // whose output was lost fails.
    errno = 0;
    if (!std::cout.flush() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::cerr << "velmora-batch: standard output: "
                  << (errno ? std::strerror(errno) : "write error") << '\n';
        return status == 0 ? 1 : status;
    }
    return status;
}
