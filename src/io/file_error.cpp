// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/file_error.h"

#include <cerrno>
#include <cstring>

namespace velmora {

FileError::FileError(std::filesystem::path path, std::string reason)
    : std::runtime_error(path.string() + ": " + reason),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

std::string systemReason() {
    const int err = errno;
    return err ? std::strerror(err) : "Input/output error";
}

}  // namespace velmora
