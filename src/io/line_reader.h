// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/chunk_reader.h"

namespace velmora {

// What line readers that read one file after another hand on (see LineReader's constructor):
// the read buffers, so that each is made and cleared once, and the chunk reader with its
// thread.
class LineReadAhead {
  public:
    explicit LineReadAhead(std::size_t chunkSize = kDefaultChunkSize) : chunkSize_(chunkSize) {}
    LineReadAhead(const LineReadAhead&) = delete;
    LineReadAhead& operator=(const LineReadAhead&) = delete;

  private:
    friend class LineReader;
    std::size_t chunkSize_;
    std::optional<ChunkReader> chunks_;
    std::vector<char> buffer_;
    bool inUse_ = false;
};

// Reads a text file line by line through one large buffer. A line ends at CR LF, at a lone
// CR or at a lone LF; the line end is not part of the line, and the last line need not have
// one. Bytes are carried unchanged.
class LineReader {
  public:
    // Opens the file; throws FileError when it cannot be opened or is not a regular file. The
    // file is read `chunkSize` bytes at a time (ChunkReader), a gzip file as its bytes or,
    // Unpacked, as the file it holds.
    explicit LineReader(const std::filesystem::path& path,
                        std::size_t chunkSize = kDefaultChunkSize,
                        ChunkReader::Content content = ChunkReader::Content::AsStored);
    // The same through the buffers and chunk reader of `shared`, which one reader at a time
    // uses and gets back when the reader is destroyed; a gzip file is read Unpacked.
    LineReader(const std::filesystem::path& path, LineReadAhead& shared);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Reads the next line into `line`. Returns false at the end of the file. Throws FileError
    // when the file cannot be read.
    bool next(std::string& line);

    // Like next(), but stops storing after `limit` bytes; returns false at the end of the file.
    // `complete` tells whether the whole line fitted. The rest of a long line is skipped.
    bool nextBounded(std::string& line, std::size_t limit, bool& complete);

    // Like next(), without a copy: `line` views the reader's own buffer and stays valid until
    // the next call. The buffer grows only for a line longer than itself.
    bool nextView(std::string_view& line);

    // Like nextView() for a line of at most `limit` bytes. A longer one is read past without
    // being held: `line` then views a copy of its first `limit` bytes and `complete` is false.
    bool nextView(std::string_view& line, std::size_t limit, bool& complete);

    // Like nextView() for a line that ends within `limit` bytes (or with the file). A longer one
    // is not read past: false is returned, having read at most the limit and one chunk more,
    // and the reader is left where it stopped (rewind() starts again). For a check that must
    // decide from a file's first bytes whatever follows them.
    bool nextWithin(std::string_view& line, std::size_t limit);

    // The bytes read from the file and not yet handed out as lines: they start the next
    // line. May be empty; valid until the next call.
    std::string_view buffered() const {
        return std::string_view(buffer_.data() + pos_, end_ - pos_);
    }
    // The next `count` bytes (fewer at the end of the file) without handing them out: the
    // next call starts where it would have. Throws FileError.
    std::string_view peek(std::size_t count);
    // Hands out the first `count` bytes of buffered() without a call to next(): the caller
    // has found a line and its line end there.
    void skip(std::size_t count) { pos_ += count; }

    // How often the buffer has been refilled: the bytes of buffered() stay where they are
    // while this stays the same.
    std::uint64_t refills() const { return refills_; }

    // Starts again from the first byte of the same open file. Throws FileError.
    void rewind();

    const std::filesystem::path& path() const { return path_; }

  private:
    bool fill();
    void readMore();
    // The first CR or LF at or after `from`, or npos.
    std::size_t findLineEnd(std::size_t from) const;
    bool readLine(std::string* line, std::size_t limit, bool& complete);
    // nextView() with a limit; a longer line is read past when `complete` is given, else left.
    bool viewLine(std::string_view& line, std::size_t limit, bool* complete);
    // Passes over the rest of the line that starts at pos_, and its line end.
    void skipLine();

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::optional<ChunkReader> ownChunks_;
    ChunkReader* chunks_ = nullptr;  // ownChunks_ or the shared one
    LineReadAhead* shared_ = nullptr;
    std::vector<char> buffer_;  // [pos_, end_) not yet read
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    std::uint64_t refills_ = 0;
    std::string head_;  // the start of the last line too long to view
};

}  // namespace velmora
