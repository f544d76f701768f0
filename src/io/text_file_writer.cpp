// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/text_file_writer.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/protected_files.h"

namespace velmora {

namespace {
constexpr std::size_t kFlushAt = 1 << 20;

void (*placementPause)() = nullptr;

// A name beside `target` that no one else uses, for a file on its way to `target`.
std::filesystem::path hiddenBeside(const std::filesystem::path& target) {
    const auto tag = std::to_string(std::random_device()());
    // Cut a long name so the hidden one still fits the file system's limit.
    const auto name = target.filename().string().substr(0, 200);
    return target.parent_path() / ("." + name + ".new-" + tag);
}

// Makes the folder's new entry last: the rename is on disk once this returns. A folder that
// cannot be opened for reading (write and search rights only) is left to the system.
void syncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    errno = 0;
    const bool failed = ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS;
    const std::string why = failed ? systemReason() : std::string();
    ::close(fd);
    if (failed) throw FileError(folder, why);
}

}  // namespace

TextFileWriter::TextFileWriter(const std::filesystem::path& path) : path_(path) {
    errno = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) throw FileError(path, systemReason());
    buffer_.reserve(kFlushAt + 4096);
}

TextFileWriter::TextFileWriter(int fd, const std::filesystem::path& shownAs, bool unnamed)
    : path_(shownAs), fd_(fd), unnamed_(unnamed) {
    buffer_.reserve(kFlushAt + 4096);
}

std::unique_ptr<TextFileWriter> TextFileWriter::unnamedIn(const std::filesystem::path& folder,
                                                          const std::filesystem::path& shownAs) {
    const int fd = openUnnamedFile(folder, O_WRONLY, 0666);
    if (fd >= 0) return std::unique_ptr<TextFileWriter>(new TextFileWriter(fd, shownAs, true));
    if (errno == EOPNOTSUPP) return nullptr;
    throw FileError(shownAs, systemReason());
}

std::unique_ptr<TextFileWriter> TextFileWriter::adopt(const std::filesystem::path& path) {
    errno = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const std::string why = fd < 0 || errno != 0 ? systemReason() : "Not a regular file";
        if (fd >= 0) ::close(fd);
        throw FileError(path, why);
    }
    auto file = std::unique_ptr<TextFileWriter>(new TextFileWriter(fd, path, false));
    file->written_ = static_cast<std::uint64_t>(status.st_size);
    return file;
}

TextFileWriter::~TextFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

void TextFileWriter::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        errno = 0;
        const ssize_t done = ::write(fd_, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = ENOSPC;
            throw FileError(path_, systemReason());
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
        written_ += static_cast<std::uint64_t>(done);
    }
    constexpr std::uint64_t kSyncEvery = std::uint64_t{8} << 20;
    if (syncFrom_ <= written_ && written_ - syncFrom_ >= kSyncEvery) {
        // Only started, not waited for: a failure is sync()'s to report.
        ::sync_file_range(fd_, static_cast<off_t>(syncFrom_),
                          static_cast<off_t>(written_ - syncFrom_), SYNC_FILE_RANGE_WRITE);
        syncFrom_ = written_;
    }
}

void TextFileWriter::flushBuffer() {
    if (buffer_.empty()) return;
    writeAll(buffer_);
    buffer_.clear();
}

void TextFileWriter::write(std::string_view bytes) {
    if (bytes.size() >= kFlushAt / 2) {
        // A caller's own large block goes out as it is, without a copy, after what is
        // buffered; the buffer then only ever holds small writes.
        flushBuffer();
        writeAll(bytes);
        return;
    }
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushAt) flushBuffer();
}

void TextFileWriter::truncate(std::uint64_t size) {
    flushBuffer();
    if (size >= written_) return;
    errno = 0;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0 ||
        ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0)
        throw FileError(path_, systemReason());
    written_ = size;
    if (syncFrom_ != ~std::uint64_t{0} && syncFrom_ > size) syncFrom_ = size;
}

void TextFileWriter::close() {
    if (fd_ < 0 || closed_) return;
    flushBuffer();
    closed_ = true;
    if (unnamed_) return;
    const int fd = fd_;
    fd_ = -1;
    errno = 0;
    if (::close(fd) != 0 && errno != EINTR) throw FileError(path_, systemReason());
}

void TextFileWriter::sync() {
    flushBuffer();
    errno = 0;
    if (fd_ >= 0 && ::fsync(fd_) != 0 && errno != EINVAL) throw FileError(path_, systemReason());
}

void TextFileWriter::setPlacementPause(void (*pause)()) {
    placementPause = pause;
}

// Links the unnamed file as `name`, which must not exist; returns false with errno set.
bool TextFileWriter::link(const std::filesystem::path& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    errno = 0;
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    // Without /proc the descriptor names the file itself (this needs more privilege).
    if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
        return ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
    return false;
}

void TextFileWriter::placeAs(const std::filesystem::path& target) {
    refuseProtected(target);
    std::filesystem::path from = path_;
    std::optional<InterruptCleanup> hidden;
    if (unnamed_) {
        // A free name takes the file in one step; an existing one is replaced by a rename.
        if (link(target)) {
            ::close(fd_);
            fd_ = -1;
            syncFolder(target.parent_path());
            return;
        }
        if (errno != EEXIST) throw FileError(target, systemReason());
        from = hiddenBeside(target);
        hidden.emplace(from);
        if (!link(from)) throw FileError(target, systemReason());
        ::close(fd_);
        fd_ = -1;
    }
    if (placementPause) placementPause();
    errno = 0;
    if (::rename(from.c_str(), target.c_str()) != 0) {
        const std::string why = systemReason();
        if (unnamed_) ::unlink(from.c_str());
        throw FileError(target, why);
    }
    if (hidden) hidden->release();
    syncFolder(target.parent_path());
}

void TextFileWriter::makeReadOnly() {
    if (fd_ >= 0) ::fchmod(fd_, S_IRUSR | S_IRGRP | S_IROTH);
}

}  // namespace velmora
