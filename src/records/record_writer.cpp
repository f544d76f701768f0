#include "records/record_writer.h"

#include <cstring>

#include "records/file_error.h"

namespace velmora {

namespace {
constexpr std::size_t kFlushAt = 1 << 20;
}

TextFileWriter::TextFileWriter(const std::filesystem::path& path) : path_(path) {
    errno = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw FileError(path, systemReason());
    std::setvbuf(file_, nullptr, _IONBF, 0);
    buffer_.reserve(kFlushAt + 4096);
}

TextFileWriter::~TextFileWriter() {
    if (file_) std::fclose(file_);
}

void TextFileWriter::flushBuffer() {
    if (buffer_.empty()) return;
    errno = 0;
    const std::size_t done = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    if (done != buffer_.size()) throw FileError(path_, systemReason());
    buffer_.clear();
}

void TextFileWriter::write(std::string_view bytes) {
    if (bytes.size() >= kFlushAt / 2) {
        // A caller's own large block goes out as it is, without a copy, after what is
        // buffered; the buffer then only ever holds small writes.
        flushBuffer();
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            throw FileError(path_, systemReason());
        return;
    }
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushAt) flushBuffer();
}

void TextFileWriter::close() {
    if (!file_) return;
    flushBuffer();
    std::FILE* file = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(file) != 0) throw FileError(path_, systemReason());
}

void appendItem(std::string& line, std::string_view value) {
    if (value.find_first_of(",\"") == std::string_view::npos) {
        line.append(value);
        return;
    }
    line.push_back('"');
    for (char c : value) {
        if (c == '"') line.push_back('"');
        line.push_back(c);
    }
    line.push_back('"');
}

void appendRecordLine(std::string& line, const WorkingRecord& record) {
    for (std::size_t i = 0; i < WorkingRecord::kFieldCount; ++i) {
        if (i) line.push_back(',');
        appendItem(line, record.fields[i]);
    }
    line.append("\r\n");
}

}  // namespace velmora
