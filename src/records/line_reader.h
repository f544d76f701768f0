#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Reads a text file line by line through one large buffer. A line ends at CR LF, at a lone
// CR or at a lone LF; the line end is not part of the line, and the last line need not have
// one. Bytes are carried unchanged.
class LineReader {
  public:
    // Opens the file; throws FileError when it cannot be opened or is not a regular file.
    explicit LineReader(const std::filesystem::path& path);
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

    // Starts again from the first byte of the same open file. Throws FileError.
    void rewind();

    const std::filesystem::path& path() const { return path_; }

  private:
    bool fill();
    void readMore();
    std::size_t findLineEnd();
    bool readLine(std::string* line, std::size_t limit, bool& complete);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    // The first CR and the first LF at or after pos_ (end_ when there is none), as last found;
    // kept between lines so that a file without CRs is not searched to the end for each line.
    std::size_t nextCr_ = 0;
    std::size_t nextLf_ = 0;
    bool endsKnown_ = false;
};

}  // namespace velmora
