#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "records/working_record.h"

namespace velmora {

// A text file written sequentially through one buffer. Every failure (create, write, the
// final flush) throws FileError naming the file; close() must be called for the data to
// count as written, and the destructor of an unclosed writer discards nothing it wrote but
// reports nothing either.
class TextFileWriter {
public:
    explicit TextFileWriter(const std::filesystem::path& path);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    void write(std::string_view bytes);
    void close();

    const std::filesystem::path& path() const { return path_; }

private:
    void flushBuffer();

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string buffer_;
};

// Appends one item as the working record file stores it: unquoted, unless it holds a comma
// or a double quote; then quoted, with every quote inside doubled.
void appendItem(std::string& line, std::string_view value);

// Appends the record's line: its eleven items joined by commas, then CR LF.
void appendRecordLine(std::string& line, const WorkingRecord& record);

}  // namespace velmora
