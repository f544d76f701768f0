// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/working_files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "io/file_error.h"
#include "io/interrupt_cleanup.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Changes the mode of `file` through a descriptor of its own, and only when it is a regular
// file of one name that is no link.
void changeMode(const fs::path& file, mode_t (*mode)(mode_t)) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1)
        ::fchmod(fd, mode(st.st_mode & 07777));
    ::close(fd);
}

void (*lockPause)() = nullptr;

// The lock files this process holds, by device and inode.
std::mutex heldMutex;
std::set<std::pair<dev_t, ino_t>> held;

}  // namespace

void setHiddenAttribute(const fs::path& file) {
    changeMode(file, [](mode_t) -> mode_t { return S_IRUSR | S_IRGRP | S_IROTH; });
}

void setNormalAttribute(const fs::path& file) {
    changeMode(file, [](mode_t mode) -> mode_t { return mode | S_IWUSR; });
}

WorkingFolderLock::WorkingFolderLock(WorkingFiles files) : files_(std::move(files)) {}

WorkingFolderLock::~WorkingFolderLock() {
    unlock();
}

WorkingFolderLock::Status WorkingFolderLock::tryLock() {
    if (fd_ >= 0) return Status::Held;
    reason_.clear();
    const fs::path path = files_.lockFile();
    const auto error = [&](std::string why) {
        reason_ = FileError(path, std::move(why)).what();
        return Status::Error;
    };
    // A user that lets go deletes the lock file while it holds the lock; one that locked the
    // deleted file meanwhile finds another file under the name, and tries again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        errno = 0;
        // Without waiting: a FIFO under the name would hold the open up for good.
        const int fd =
            ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0) return error(systemReason());
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            return error("Not a regular file");
        }
        if (lockPause) lockPause();
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            ::close(fd);
            if (why == EWOULDBLOCK) return Status::InUse;
            errno = why;
            return error(systemReason());
        }
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino) {
            fd_ = fd;
            const std::lock_guard guard(heldMutex);
            held.emplace(locked.st_dev, locked.st_ino);
            return Status::Held;
        }
        ::close(fd);
    }
    return Status::InUse;
}

void WorkingFolderLock::unlock() {
    if (fd_ < 0) return;
    struct stat locked {
    }, named{};
    if (::fstat(fd_, &locked) == 0) {
        {
            const std::lock_guard guard(heldMutex);
            held.erase({locked.st_dev, locked.st_ino});
        }
        const fs::path path = files_.lockFile();
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino)
            ::unlink(path.c_str());
    }
    ::close(fd_);
    fd_ = -1;
}

void WorkingFolderLock::setLockPause(void (*pause)()) {
    lockPause = pause;
}

bool WorkingFolderLock::heldHere(const WorkingFiles& files) {
    struct stat named {};
    if (::lstat(files.lockFile().c_str(), &named) != 0) return false;
    const std::lock_guard guard(heldMutex);
    return held.count({named.st_dev, named.st_ino}) != 0;
}

void removeWorkingFile(const fs::path& file) {
    std::error_code ec;
    // A regular file or a link is ours to delete (the link itself, never what it points to);
    // a folder of that name is left alone.
    const auto type = fs::symlink_status(file, ec).type();
    if (type == fs::file_type::symlink) {
        fs::remove(file, ec);
        return;
    }
    if (type != fs::file_type::regular) return;
    setNormalAttribute(file);
    fs::remove(file, ec);
}

void removeWorkingRecords(const WorkingFiles& files) {
    removeWorkingFile(files.output1());
    removeWorkingFile(files.extras());
}

namespace {

constexpr const char* kOldTag = ".old-";
constexpr std::uintmax_t kWorthAThread = 8 << 20;

bool isOldWorkingFile(const std::string& name) {
    for (const char* file : {".output1", ".output2", ".output1.extras"}) {
        const std::string prefix = std::string(file) + kOldTag;
        if (name.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

void removeOld(const fs::path& folder, const std::vector<fs::path>& moved, bool leftovers) {
    std::error_code ec;
    for (const fs::path& file : moved) fs::remove(file, ec);
    if (!leftovers) return;
    for (auto entry = fs::directory_iterator(folder, ec); !ec && entry != fs::directory_iterator();
         entry.increment(ec)) {
        std::error_code ignored;
        if (isOldWorkingFile(entry->path().filename().string()) &&
            fs::symlink_status(entry->path(), ignored).type() == fs::file_type::regular)
            fs::remove(entry->path(), ignored);
    }
}

}  // namespace

OldWorkingFiles::OldWorkingFiles(const WorkingFiles& files) {
    const auto tag = std::to_string(std::random_device()());
    std::vector<fs::path> moved;
    for (const fs::path& file : {files.output1(), files.output2(), files.extras()}) {
        std::error_code ec;
        if (fs::symlink_status(file, ec).type() == fs::file_type::regular) {
            const fs::path aside =
                file.parent_path() / ("." + file.filename().string() + kOldTag + tag);
            fs::rename(file, aside, ec);
            if (!ec) {
                moved.push_back(aside);
                continue;
            }
        }
        removeWorkingFile(file);
    }
    std::uintmax_t size = 0;
    for (const fs::path& file : moved) {
        std::error_code ec;
        const auto bytes = fs::file_size(file, ec);
        size += ec ? 0 : bytes;
    }
    // Leftovers are another user's files unless this process holds the folder.
    const bool leftovers = WorkingFolderLock::heldHere(files);
    // Small files go at once: a thread would cost more than it saves.
    if (size >= kWorthAThread) {
        try {
            thread_ = workerThread([folder = files.folder, moved = std::move(moved), leftovers] {
                removeOld(folder, moved, leftovers);
            });
            return;
        } catch (const std::system_error&) {
        }
    }
    removeOld(files.folder, moved, leftovers);
}

OldWorkingFiles::~OldWorkingFiles() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace velmora
