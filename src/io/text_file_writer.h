// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// A text file written sequentially through one buffer. Every failure (create, write, the
// final flush) throws FileError naming the file; close() must be called for the data to
// count as written, and the destructor of an unclosed writer discards nothing it wrote but
// reports nothing either.
//
// The file is always a new one: a name that exists, as a file or as a link of either kind,
// fails with "File exists", so nothing outside is ever written through a link left in its
// place, and no file that could not be replaced is truncated.
class TextFileWriter {
  public:
    explicit TextFileWriter(const std::filesystem::path& path);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // A file without a name in `folder`, reported as `shownAs`, which linkAs() names once it is
    // complete: a program stopped by any means before then leaves nothing behind. Nothing
    // (null) when the file system cannot make one.
    static std::unique_ptr<TextFileWriter> unnamedIn(const std::filesystem::path& folder,
                                                     const std::filesystem::path& shownAs);

    void write(std::string_view bytes);
    // The file is complete. An unnamed file keeps its descriptor for linkAs().
    void close();
    // Gives the closed unnamed file the name `path`, which must not exist.
    void linkAs(const std::filesystem::path& path);
    // Leaves the file read-only (the working file's hidden attribute), through its own
    // descriptor, so that no other file is changed.
    void makeReadOnly();

    const std::filesystem::path& path() const { return path_; }

  private:
    TextFileWriter(int fd, const std::filesystem::path& shownAs);
    void flushBuffer();
    void writeAll(std::string_view bytes);

    std::filesystem::path path_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool closed_ = false;
    std::string buffer_;
};

}  // namespace velmora
