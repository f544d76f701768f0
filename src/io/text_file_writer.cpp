// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/text_file_writer.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "io/file_error.h"

namespace velmora {

namespace {
constexpr std::size_t kFlushAt = 1 << 20;
}

TextFileWriter::TextFileWriter(const std::filesystem::path& path) : path_(path) {
    errno = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) throw FileError(path, systemReason());
    buffer_.reserve(kFlushAt + 4096);
}

TextFileWriter::TextFileWriter(int fd, const std::filesystem::path& shownAs)
    : path_(shownAs), fd_(fd), unnamed_(true) {
    buffer_.reserve(kFlushAt + 4096);
}

std::unique_ptr<TextFileWriter> TextFileWriter::unnamedIn(const std::filesystem::path& folder,
                                                          const std::filesystem::path& shownAs) {
    errno = 0;
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) return std::unique_ptr<TextFileWriter>(new TextFileWriter(fd, shownAs));
    // Kernels and file systems without unnamed files say so in one of these ways.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return nullptr;
    throw FileError(shownAs, systemReason());
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

void TextFileWriter::linkAs(const std::filesystem::path& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    errno = 0;
    int done = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    // Without /proc the descriptor names the file itself (this needs more privilege).
    if (done != 0 && errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
        done = ::linkat(fd_, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    if (done != 0) throw FileError(path, systemReason());
    ::close(fd_);
    fd_ = -1;
}

void TextFileWriter::makeReadOnly() {
    if (fd_ >= 0) ::fchmod(fd_, S_IRUSR | S_IRGRP | S_IROTH);
}

}  // namespace velmora
