#include "records/line_reader.h"

#include <cstring>

#include "records/file_error.h"

namespace velmora {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

LineReader::LineReader(const std::filesystem::path& path) : path_(path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) throw FileError(path, ec.message());
    if (status.type() != std::filesystem::file_type::regular)
        throw FileError(path, status.type() == std::filesystem::file_type::directory
                                  ? "Is a directory"
                                  : "Not a regular file");
    errno = 0;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) throw FileError(path, systemReason());
    // The reader buffers for itself; large reads then go straight to the system.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    buffer_.resize(kBufferSize);
}

LineReader::~LineReader() {
    if (file_) std::fclose(file_);
}

bool LineReader::fill() {
    if (eof_) return false;
    errno = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    if (end_ == 0) {
        if (std::ferror(file_)) throw FileError(path_, systemReason());
        eof_ = true;
        return false;
    }
    return true;
}

bool LineReader::next(std::string& line) {
    bool complete = true;
    return readLine(&line, std::string::npos, complete);
}

bool LineReader::nextBounded(std::string& line, std::size_t limit, bool& complete) {
    return readLine(&line, limit, complete);
}

bool LineReader::readLine(std::string* line, std::size_t limit, bool& complete) {
    line->clear();
    complete = true;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !fill()) return any;
        any = true;
        const char* begin = buffer_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        // Find the first CR or LF in what is buffered.
        const char* cr = static_cast<const char*>(std::memchr(begin, '\r', avail));
        const std::size_t searchLen = cr ? static_cast<std::size_t>(cr - begin) : avail;
        const char* lf = static_cast<const char*>(std::memchr(begin, '\n', searchLen));
        const char* stop = lf ? lf : cr;
        const std::size_t take = stop ? static_cast<std::size_t>(stop - begin) : avail;
        if (line->size() < limit) {
            const std::size_t room = limit - line->size();
            line->append(begin, take < room ? take : room);
            if (take > room) complete = false;
        } else if (take) {
            complete = false;
        }
        pos_ += take;
        if (!stop) continue;
        ++pos_;
        if (*stop == '\r') {
            // CR LF is one line end, also when the buffer splits the pair.
            if (pos_ == end_) fill();
            if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
        }
        return true;
    }
}

}  // namespace velmora
