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

void LineReader::rewind() {
    errno = 0;
    if (std::fseek(file_, 0, SEEK_SET) != 0) throw FileError(path_, systemReason());
    pos_ = end_ = nextCr_ = nextLf_ = 0;
    eof_ = endsKnown_ = false;
}

bool LineReader::fill() {
    if (eof_) return false;
    errno = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    endsKnown_ = false;
    if (end_ == 0) {
        if (std::ferror(file_)) throw FileError(path_, systemReason());
        eof_ = true;
        return false;
    }
    return true;
}

void LineReader::readMore() {
    // Keep the unread bytes and read behind them, so that a line stays in one piece.
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    errno = 0;
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    endsKnown_ = false;
    if (got == 0) {
        if (std::ferror(file_)) throw FileError(path_, systemReason());
        eof_ = true;
        return;
    }
    end_ += got;
}

std::size_t LineReader::findLineEnd() {
    const char* data = buffer_.data();
    auto find = [&](char c) {
        const void* hit = std::memchr(data + pos_, c, end_ - pos_);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : end_;
    };
    if (!endsKnown_ || nextCr_ < pos_) nextCr_ = find('\r');
    if (!endsKnown_ || nextLf_ < pos_) nextLf_ = find('\n');
    endsKnown_ = true;
    const std::size_t stop = nextCr_ < nextLf_ ? nextCr_ : nextLf_;
    return stop < end_ ? stop : std::string_view::npos;
}

bool LineReader::next(std::string& line) {
    bool complete = true;
    return readLine(&line, std::string::npos, complete);
}

bool LineReader::nextBounded(std::string& line, std::size_t limit, bool& complete) {
    return readLine(&line, limit, complete);
}

bool LineReader::nextView(std::string_view& line) {
    if (pos_ == end_ && !fill()) return false;
    for (;;) {
        const std::size_t stop = findLineEnd();
        // readMore() moves the bytes, so each call is followed by a new search.
        if (stop == std::string_view::npos) {
            // No line end buffered: read on, or give the file's last line.
            if (!eof_) {
                readMore();
                continue;
            }
            line = std::string_view(buffer_.data() + pos_, end_ - pos_);
            pos_ = end_;
            return true;
        }
        // A CR at the end of what is buffered may be the first half of CR LF.
        if (buffer_[stop] == '\r' && stop + 1 == end_ && !eof_) {
            readMore();
            continue;
        }
        line = std::string_view(buffer_.data() + pos_, stop - pos_);
        pos_ = stop + 1;
        if (buffer_[stop] == '\r' && pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
        return true;
    }
}

bool LineReader::readLine(std::string* line, std::size_t limit, bool& complete) {
    line->clear();
    complete = true;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !fill()) return any;
        any = true;
        const char* begin = buffer_.data() + pos_;
        const std::size_t found = findLineEnd();
        const char* stop = found == std::string_view::npos ? nullptr : buffer_.data() + found;
        const std::size_t take = stop ? static_cast<std::size_t>(stop - begin) : end_ - pos_;
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
