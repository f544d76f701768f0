// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/file_error.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
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

int openUnnamedFile(const std::filesystem::path& folder, int flags, unsigned mode) {
    errno = 0;
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | flags | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd < 0 && (errno == EISDIR || errno == EINVAL)) errno = EOPNOTSUPP;
    return fd;
}

std::filesystem::path temporaryFolder() {
    if (const char* folder = std::getenv("TMPDIR"); folder && *folder) {
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec)) return folder;
    }
    return "/tmp";
}

std::FILE* openRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) throw FileError(path, ec.message());
    if (status.type() != std::filesystem::file_type::regular)
        throw FileError(path, status.type() == std::filesystem::file_type::directory
                                  ? "Is a directory"
                                  : "Not a regular file");
    errno = 0;
    std::FILE* const file = std::fopen(path.c_str(), "rb");
    if (!file) throw FileError(path, systemReason());
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

}  // namespace velmora
