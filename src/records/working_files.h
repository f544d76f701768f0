// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <thread>

#include "records/record_extras.h"

namespace velmora {

// The working record file `output1`, the loader's scratch copy `output2` and output1's extras
// file `output1.extras` (record_extras.h), all in one folder (the application folder for the
// desktop program).
struct WorkingFiles {
    std::filesystem::path folder;

    std::filesystem::path output1() const { return folder / "output1"; }
    std::filesystem::path output2() const { return folder / "output2"; }
    std::filesystem::path extras() const { return extrasFileOf(output1()); }
    std::filesystem::path lockFile() const { return folder / "output1.lock"; }
};

// What a second user of a working folder is told, by the main window and by the batch tool.
inline constexpr const char* kFileInUse = "File In Use - Close Other Copy";

// Keeps a working folder to one user at a time, across processes (the desktop program and the
// batch tool alike) and within one: a lock of the system on `output1.lock` beside output1.
// The system drops the lock with the process that held it, so a copy that crashed blocks
// nothing; its lock file is taken over as it is. Anything but a regular file under the lock's
// name (a FIFO, a folder) is an error, found without waiting on it. The lock file goes when the
// lock is let go.
class WorkingFolderLock {
  public:
    enum class Status { Held, InUse, Error };

    explicit WorkingFolderLock(WorkingFiles files);
    ~WorkingFolderLock();
    WorkingFolderLock(const WorkingFolderLock&) = delete;
    WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

    // Takes the lock without waiting. InUse: another user holds it. Error: the lock file
    // cannot be made or locked (see reason()). Held also when this object already holds it.
    Status tryLock();
    void unlock();
    bool isLocked() const { return fd_ >= 0; }
    // For Error: the lock file and the system's reason.
    const std::string& reason() const { return reason_; }

    // Whether some lock object of this process holds the folder's lock.
    static bool heldHere(const WorkingFiles& files);

    // Test seam: called by tryLock() between opening the lock file and locking it. Null (the
    // default) for none.
    static void setLockPause(void (*pause)());

  private:
    WorkingFiles files_;
    int fd_ = -1;
    std::string reason_;
};

// This platform has no hidden attribute: a hidden working file is made read-only, and a
// normal one writable again. Both ignore a missing file, and leave alone a file reached
// through a link of either kind: its mode is another file's.
void setHiddenAttribute(const std::filesystem::path& file);
void setNormalAttribute(const std::filesystem::path& file);

// Resets the attributes and deletes the file. A missing or undeletable file is no error.
void removeWorkingFile(const std::filesystem::path& file);
// Deletes output1 and its extras file as removeWorkingFile() does: what closing a log leaves.
void removeWorkingRecords(const WorkingFiles& files);

// Takes the working files of the last load out of the way at once and deletes them on a thread
// of its own: deleting a large file makes the system free its pages in memory, which takes
// milliseconds the load need not wait for. Each regular file is renamed to a hidden name
// (".output1.old-", ".output2.old-" or ".output1.extras.old-" and a number) in its folder; a link,
// or a file that cannot be renamed, is deleted at once as removeWorkingFile() does. Hidden files of
// that kind left by a load that stopped midway are deleted too, but only while this process holds
// the folder's lock: another user's files are never touched. Files of a few MiB are deleted at
// once. The destructor waits for the deletions.
class OldWorkingFiles {
  public:
    explicit OldWorkingFiles(const WorkingFiles& files);
    ~OldWorkingFiles();
    OldWorkingFiles(const OldWorkingFiles&) = delete;
    OldWorkingFiles& operator=(const OldWorkingFiles&) = delete;

  private:
    std::thread thread_;
};

}  // namespace velmora
