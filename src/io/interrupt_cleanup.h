// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

namespace velmora {

// Files and folders that must not outlive an interrupted program: a half-written working file,
// an export under its temporary name, the batch tool's private working folder. Each is named
// here while it exists; once cleanupOnInterrupt() is installed, SIGINT, SIGTERM and SIGHUP
// delete every named file, then every named (by then empty) folder, and end the program by the
// same signal with its default action, so its exit status still says it was stopped.
//
// The table is fixed in size and read by the signal handler with async-signal-safe calls only
// (unlink, rmdir, sigaction, raise). A path that finds no free place, or is longer than the
// system allows, is not named: the program still works, it only leaves that one behind.
class InterruptCleanup {
  public:
    enum class Kind { File, Folder };

    InterruptCleanup() = default;
    InterruptCleanup(const std::filesystem::path& path, Kind kind = Kind::File);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    // No longer deleted on a signal: the file has become a keeper (or is already gone).
    void release();

  private:
    int slot_ = -1;
};

// Installs the handler for SIGINT, SIGTERM and SIGHUP. Programs that want their scratch files
// gone on those signals call it once at their start.
void cleanupOnInterrupt();

}  // namespace velmora
