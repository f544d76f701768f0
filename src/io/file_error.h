// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace velmora {

// The one error type for a failed file operation: which file, and the system's reason.
class FileError : public std::runtime_error {
  public:
    FileError(std::filesystem::path path, std::string reason);

    const std::filesystem::path& path() const { return path_; }
    const std::string& reason() const { return reason_; }

  private:
    std::filesystem::path path_;
    std::string reason_;
};

// The reason for the last failed C library call, from errno.
std::string systemReason();

// Opens a log or list for reading, unbuffered (its readers buffer for themselves). Throws
// FileError when it is missing, a folder ("Is a directory"), anything but a regular file ("Not
// a regular file": a FIFO or device would block or never end) or cannot be opened.
std::FILE* openRegularFile(const std::filesystem::path& path);

// Opens a new file without a name in `folder` (O_TMPFILE) with `flags` (O_WRONLY or O_RDWR)
// and `mode`: its descriptor, or -1 with errno set; errno is EOPNOTSUPP wherever the kernel or
// the file system has no unnamed files (they say so in several ways).
int openUnnamedFile(const std::filesystem::path& folder, int flags, unsigned mode);

// The folder for scratch files: $TMPDIR where it names a folder, else /tmp, as the C library's
// own temporary files go (an empty or stale TMPDIR fails no run).
std::filesystem::path temporaryFolder();

}  // namespace velmora
