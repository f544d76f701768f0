// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/gzip_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "io/file_error.h"

namespace velmora {

namespace {
// The compressed bytes read from the file at a time.
constexpr std::size_t kInput = std::size_t{1} << 18;
// An unpacked copy holds at most this many times the file's bytes, or kSmallestCap.
constexpr std::uint64_t kMostGrowth = 64;
constexpr std::uint64_t kSmallestCap = std::uint64_t{16} << 20;
// A member's first bytes: the magic number and the deflate method.
constexpr std::string_view kGzipStart("\x1f\x8b\x08", 3);
}  // namespace

bool startsGzip(std::string_view firstBytes) {
    return firstBytes.starts_with(kGzipStart);
}

struct GzipStream::Inflater {
    z_stream z{};
};

GzipStream::GzipStream(std::FILE* file, const std::filesystem::path& path,
                       std::string_view alreadyRead)
    : file_(file), path_(path), inflater_(std::make_unique<Inflater>()) {
    input_.resize(std::max(kInput, alreadyRead.size()));
    if (!alreadyRead.empty()) std::memcpy(input_.data(), alreadyRead.data(), alreadyRead.size());
    z_stream& z = inflater_->z;
    // 16 + the largest window: the gzip wrapper, whatever window its member used.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
    z.next_in = input_.data();
    z.avail_in = static_cast<uInt>(alreadyRead.size());
}

GzipStream::~GzipStream() {
    inflateEnd(&inflater_->z);
}

bool GzipStream::refill() {
    if (fileEnded_) return false;
    z_stream& z = inflater_->z;
    // What is left of the input stays in front of the new bytes.
    const std::size_t left = z.avail_in;
    if (left) std::memmove(input_.data(), z.next_in, left);
    errno = 0;
    const std::size_t got = std::fread(input_.data() + left, 1, input_.size() - left, file_);
    if (got == 0 && std::ferror(file_)) throw FileError(path_, systemReason());
    if (got == 0) fileEnded_ = true;
    z.next_in = input_.data();
    z.avail_in = static_cast<uInt>(left + got);
    return got > 0;
}

std::size_t GzipStream::read(char* out, std::size_t size) {
    z_stream& z = inflater_->z;
    z.next_out = reinterpret_cast<unsigned char*>(out);
    z.avail_out = static_cast<uInt>(size);
    while (z.avail_out > 0 && !ended_) {
        if (z.avail_in == 0 && !refill())
            throw FileError(path_, "The compressed data ends early (the file is cut short)");
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            // Another member, or the end: the next bytes tell.
            while (z.avail_in < kGzipStart.size() && refill()) {
            }
            const std::string_view next(reinterpret_cast<const char*>(z.next_in), z.avail_in);
            if (startsGzip(next))
                inflateReset(&z);
            else
                ended_ = true;
        } else if (status == Z_MEM_ERROR) {
            throw std::bad_alloc();
        } else if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0)) {
            throw FileError(path_, std::string("The compressed data is damaged (") +
                                       (z.msg ? z.msg : "zlib error") + ")");
        }
    }
    return size - z.avail_out;
}

std::FILE* unpackedCopy(std::FILE* packed, const std::filesystem::path& path,
                        std::string_view alreadyRead) {
    const std::filesystem::path folder = temporaryFolder();
    const auto copyFailed = [&] {
        return FileError(path, "Cannot unpack it in " + folder.string() + ": " + systemReason());
    };
    int fd = openUnnamedFile(folder, O_RDWR, 0600);
    if (fd < 0 && errno == EOPNOTSUPP) {
        // Without unnamed files: a named one, whose name goes at once.
        std::string name = (folder / "velmora-unpacked-XXXXXX").string();
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(name.c_str());
    }
    if (fd < 0) throw copyFailed();
    std::FILE* const copy = ::fdopen(fd, "w+b");
    if (!copy) {
        const FileError failure = copyFailed();
        ::close(fd);
        throw failure;
    }
    // As openRegularFile() leaves a log: its reader buffers for itself.
    std::setvbuf(copy, nullptr, _IONBF, 0);
    try {
        // Real logs unpack to a few times their size; a file made to fill the disk (a "gzip
        // bomb") to hundreds of times.
        std::uint64_t most = kSmallestCap;
        struct stat info {};
        if (::fstat(::fileno(packed), &info) == 0)
            most = std::max(most, kMostGrowth * static_cast<std::uint64_t>(info.st_size));
        GzipStream content(packed, path, alreadyRead);
        std::vector<char> bytes(std::size_t{1} << 20);
        std::uint64_t written = 0;
        while (const std::size_t size = content.read(bytes.data(), bytes.size())) {
            written += size;
            if (written > most)
                throw FileError(path, "It unpacks to more than " + std::to_string(kMostGrowth) +
                                          " times its size; gunzip it to read it");
            errno = 0;
            if (std::fwrite(bytes.data(), 1, size, copy) != size) throw copyFailed();
        }
        errno = 0;
        if (std::fflush(copy) != 0 || std::fseek(copy, 0, SEEK_SET) != 0) throw copyFailed();
    } catch (...) {
        std::fclose(copy);
        throw;
    }
    return copy;
}

}  // namespace velmora
