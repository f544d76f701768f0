// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace velmora {

// Whether `firstBytes` start a gzip file (RFC 1952: the magic bytes and the deflate method).
bool startsGzip(std::string_view firstBytes);

// The content of a gzip file, read through zlib: member after member (as `gzip -d` reads
// files joined with cat), up to the end of the file or to bytes after a member that start no
// other one (which gzip too ignores). Damaged data and a file that ends inside a member (a
// copy cut short) throw FileError with the reason, never some of it as if it were all.
class GzipStream {
  public:
    // Reads `file`, which stays the caller's, from where `alreadyRead` (bytes the caller took
    // from its start) ends; `path` names it in errors.
    GzipStream(std::FILE* file, const std::filesystem::path& path, std::string_view alreadyRead);
    ~GzipStream();
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    // Puts up to `size` bytes of content at `out`, as many as there are; 0 only at the end.
    std::size_t read(char* out, std::size_t size);

  private:
    // More of the file into the input; false at its end.
    bool refill();

    struct Inflater;
    std::FILE* file_;
    std::filesystem::path path_;
    std::unique_ptr<Inflater> inflater_;
    std::vector<unsigned char> input_;
    bool fileEnded_ = false;
    bool ended_ = false;  // the content's end: no member follows
};

// The content of the gzip file `packed` (read from where `alreadyRead`, its first bytes that
// the caller took, ends) in a scratch file without a name in temporaryFolder(), read from its
// start: for a reader that moves about in a file, which compressed data does not allow. The
// copy goes when it is closed, or with the program. A file whose content is more than 64 times
// its size (and over 16 MiB) is refused rather than unpacked: it would fill the disk. Throws
// FileError naming `path`: the content's failures as GzipStream's, the copy's with the folder's
// name.
std::FILE* unpackedCopy(std::FILE* packed, const std::filesystem::path& path,
                        std::string_view alreadyRead);

}  // namespace velmora
