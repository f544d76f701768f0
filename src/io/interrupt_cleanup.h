// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <signal.h>

#include <filesystem>
#include <thread>
#include <utility>

namespace velmora {

// Files and folders that must not outlive an interrupted program: a half-written working file,
// an export under its temporary name, the batch tool's private working folder. Each is named
// here while it exists; once cleanupOnInterrupt() is installed, SIGINT, SIGTERM, SIGHUP and
// SIGPIPE (output to a pipe whose reader has gone, as `| head` leaves it) delete every named
// file, then every named (by then empty) folder, and end the program by the same signal with
// its default action, so its exit status still says it was stopped.
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

// Installs the handler for those signals, but for one the program was started with ignored
// (under nohup, SIGHUP): that one stays ignored. Programs that want their scratch files gone on
// those signals call it once at their start.
void cleanupOnInterrupt();

// Those signals held back from the calling thread while it exists.
class InterruptsHeld {
  public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

  private:
    sigset_t before_;
};

// A thread for work beside the one that names and makes the files, which it leaves those
// signals to. The handler must interrupt that thread: run beside it, it could pass
// over a named file that the thread makes a moment later, and leave it behind.
template <typename Work>
std::thread workerThread(Work&& work) {
    const InterruptsHeld held;  // the new thread starts with the caller's mask
    return std::thread(std::forward<Work>(work));
}

}  // namespace velmora
