// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

}  // namespace velmora
