// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
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

    // A file without a name in `folder`, reported as `shownAs`, which placeAs() names once it is
    // complete: a program stopped by any means before then leaves nothing behind. Nothing
    // (null) when the file system cannot make one.
    static std::unique_ptr<TextFileWriter> unnamedIn(const std::filesystem::path& folder,
                                                     const std::filesystem::path& shownAs);
    // A complete file made by other means (named, not a link), opened to be synced and put in
    // place by placeAs() as though it had been written here; its name is the caller's to clean
    // up on failure. Throws FileError naming `path`.
    static std::unique_ptr<TextFileWriter> adopt(const std::filesystem::path& path);

    void write(std::string_view bytes);
    // The bytes written so far, what is buffered included.
    std::uint64_t size() const { return written_ + buffer_.size(); }
    // Takes back every byte after the first `size`: the next write follows them.
    void truncate(std::uint64_t size);
    // Writes out what is buffered and waits until the system has the file's data on disk.
    void sync();
    // From now on, has the system start putting what is written on disk every few megabytes,
    // so that a large file's sync() waits for its last part only.
    void startSyncAsWritten() { syncFrom_ = written_; }
    // The file is complete. An unnamed file keeps its descriptor for placeAs().
    void close();
    // Puts the closed file (unnamed, or under its own temporary name) in place as `target` in
    // one rename, replacing the file of that name, then flushes the folder: at every instant
    // the name holds either the whole earlier file or the whole new one, and after a power
    // failure too once sync() came first. A protected file (protected_files.h) is never
    // replaced. An unnamed file takes a hidden temporary name on the way, which an interrupt
    // deletes; a named one's temporary name is the caller's to clean up on failure.
    void placeAs(const std::filesystem::path& target);
    // Leaves the file read-only (the working file's hidden attribute), through its own
    // descriptor, so that no other file is changed.
    void makeReadOnly();

    const std::filesystem::path& path() const { return path_; }

    // Test seam: called by placeAs() with the file complete under its temporary name and the
    // target not yet replaced. Null (the default) for none.
    static void setPlacementPause(void (*pause)());

  private:
    TextFileWriter(int fd, const std::filesystem::path& shownAs, bool unnamed);
    void flushBuffer();
    void writeAll(std::string_view bytes);
    bool link(const std::filesystem::path& name);

    std::filesystem::path path_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool closed_ = false;
    std::uint64_t written_ = 0;  // bytes handed to the system
    // startSyncAsWritten(): where the bytes not yet sent on their way to disk start; -1 for none.
    std::uint64_t syncFrom_ = ~std::uint64_t{0};
    std::string buffer_;
};

}  // namespace velmora
