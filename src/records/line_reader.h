#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
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

    const std::filesystem::path& path() const { return path_; }

private:
    bool fill();
    bool readLine(std::string* line, std::size_t limit, bool& complete);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
};

}  // namespace velmora
