// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/line_reader.h"

#include <cstring>
#include <stdexcept>

#include "io/byte_scan.h"
#include "io/file_error.h"

namespace velmora {

LineReader::LineReader(const std::filesystem::path& path, std::size_t chunkSize,
                       ChunkReader::Content content)
    : path_(path) {
    // The reader buffers for itself; large reads then go straight to the system.
    file_ = openRegularFile(path);
    chunks_ = &ownChunks_.emplace(file_, path, chunkSize, ChunkReader::ReadAhead::PerFile, content);
}

LineReader::LineReader(const std::filesystem::path& path, LineReadAhead& shared) : path_(path) {
    if (shared.inUse_) throw std::logic_error("LineReadAhead: already in use");
    file_ = openRegularFile(path);
    if (shared.chunks_)
        shared.chunks_->switchTo(file_, path);
    else
        shared.chunks_.emplace(file_, path, shared.chunkSize_, ChunkReader::ReadAhead::Kept,
                               ChunkReader::Content::Unpacked);
    chunks_ = &*shared.chunks_;
    buffer_.swap(shared.buffer_);
    shared.inUse_ = true;
    shared_ = &shared;
}

LineReader::~LineReader() {
    // Stops reading ahead before the file closes.
    if (shared_) {
        chunks_->release();
        buffer_.swap(shared_->buffer_);
        shared_->inUse_ = false;
    } else {
        ownChunks_.reset();
    }
    if (file_) std::fclose(file_);
}

void LineReader::rewind() {
    chunks_->stop();
    errno = 0;
    if (std::fseek(file_, 0, SEEK_SET) != 0) throw FileError(path_, systemReason());
    chunks_->switchTo(file_, path_);
    pos_ = end_ = 0;
    eof_ = false;
    ++refills_;
}

std::string_view LineReader::peek(std::size_t count) {
    while (end_ - pos_ < count && !eof_) readMore();
    return buffered().substr(0, count);
}

bool LineReader::fill() {
    pos_ = end_;
    readMore();
    return pos_ < end_;
}

void LineReader::readMore() {
    // The unread bytes stay in front of the new ones, so that a line stays in one piece.
    if (eof_) return;
    ++refills_;
    if (!chunks_->append(buffer_, pos_, end_)) eof_ = true;
}

std::size_t LineReader::findLineEnd(std::size_t from) const {
    const char* const data = buffer_.data();
    const std::size_t stop =
        static_cast<std::size_t>(byte_scan::findLineEnd(data + from, data + end_) - data);
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
    bool complete = true;
    return nextView(line, std::string_view::npos, complete);
}

bool LineReader::nextView(std::string_view& line, std::size_t limit, bool& complete) {
    complete = true;
    return viewLine(line, limit, &complete);
}

bool LineReader::nextWithin(std::string_view& line, std::size_t limit) {
    return viewLine(line, limit, nullptr);
}

bool LineReader::viewLine(std::string_view& line, std::size_t limit, bool* complete) {
    if (pos_ == end_ && !fill()) return false;
    // How far past pos_ the line is known to have no line end: readMore() moves the bytes,
    // and a long line is searched once, not again with each chunk added.
    std::size_t searched = 0;
    for (;;) {
        const std::size_t stop = findLineEnd(pos_ + searched);
        const std::size_t known = (stop == std::string_view::npos ? end_ : stop) - pos_;
        if (known > limit) {
            if (!complete) return false;
            // Too long to hold: keep its start, and read on only to its end.
            head_.assign(buffer_.data() + pos_, limit);
            line = head_;
            *complete = false;
            skipLine();
            return true;
        }
        if (stop == std::string_view::npos) {
            // No line end buffered: read on, or give the file's last line.
            if (!eof_) {
                searched = end_ - pos_;
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

void LineReader::skipLine() {
    for (;;) {
        const std::size_t stop = findLineEnd(pos_);
        if (stop == std::string_view::npos) {
            // Nothing buffered is kept, so the buffer never grows.
            if (!fill()) return;
            continue;
        }
        pos_ = stop + 1;
        if (buffer_[stop] == '\r') {
            // CR LF is one line end, also when the buffer splits the pair.
            if (pos_ == end_) fill();
            if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
        }
        return;
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
        const std::size_t found = findLineEnd(pos_);
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
