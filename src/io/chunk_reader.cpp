// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/chunk_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/file_error.h"

namespace velmora {

namespace {
// Room before each chunk for the unused bytes of the one before: the end of a line that
// began there. A longer remainder is moved to the start of the caller's buffer instead, and
// the chunk is copied after it.
constexpr std::size_t kHead = 1 << 16;
}  // namespace

ChunkReader::ChunkReader(std::FILE* file, const std::filesystem::path& path, std::size_t chunkSize,
                         ReadAhead ahead, Content content)
    : file_(file),
      path_(path),
      chunkSize_(chunkSize),
      mode_(ahead),
      content_(content),
      reader_([this](Chunk& chunk) { read(chunk); }) {}

void ChunkReader::stop() {
    reader_.stop();
    // The chunk read ahead is dropped; its buffer is kept for the next read.
    if (ahead_) reader_.take(spare_);
    ahead_ = false;
}

void ChunkReader::release() {
    if (!ahead_) return;
    ahead_ = false;
    try {
        reader_.take(spare_);
    } catch (...) {
        // The failure was the file's: the thread goes with it.
        reader_.stop();
    }
}

void ChunkReader::read(Chunk& chunk) {
    if (chunk.bytes.size() < kHead + chunkSize_) chunk.bytes.resize(kHead + chunkSize_);
    char* const into = chunk.bytes.data() + kHead;
    if (gzip_) {
        chunk.size = gzip_->read(into, chunkSize_);
        return;
    }
    errno = 0;
    chunk.size = std::fread(into, 1, chunkSize_, file_);
    if (chunk.size == 0 && std::ferror(file_)) throw FileError(path_, systemReason());
    const bool first = atStart_;
    atStart_ = false;
    if (first && content_ == Content::Unpacked && startsGzip(std::string_view(into, chunk.size))) {
        gzip_ = std::make_unique<GzipStream>(file_, path_, std::string_view(into, chunk.size));
        chunk.size = gzip_->read(into, chunkSize_);
    }
}

bool ChunkReader::append(std::vector<char>& buffer, std::size_t& begin, std::size_t& end) {
    if (ahead_) {
        try {
            reader_.take(spare_);
        } catch (...) {
            stop();
            throw;
        }
        ahead_ = false;
    } else {
        read(spare_);
    }
    Chunk& chunk = spare_;
    if (chunk.size == 0) {
        // The end of the file: nothing more to read ahead.
        if (mode_ == ReadAhead::PerFile) reader_.stop();
        return false;
    }
    const std::size_t kept = end - begin;
    if (kept <= kHead) {
        // The usual case: the start of a line goes in front of the new chunk.
        if (kept) std::memcpy(chunk.bytes.data() + kHead - kept, buffer.data() + begin, kept);
        begin = kHead - kept;
        end = kHead + chunk.size;
        buffer.swap(chunk.bytes);
    } else {
        // A line longer than the room in front: it grows in the caller's buffer.
        std::memmove(buffer.data(), buffer.data() + begin, kept);
        if (buffer.size() < kept + chunk.size)
            buffer.resize(std::max(kept + chunk.size, 2 * buffer.size()));
        std::memcpy(buffer.data() + kept, chunk.bytes.data() + kHead, chunk.size);
        begin = 0;
        end = kept + chunk.size;
    }
    // A full chunk says the file may go on: the buffer not kept is read into next, ahead of
    // need.
    if (chunk.size == chunkSize_) {
        reader_.hand(spare_);
        ahead_ = true;
    }
    return true;
}

}  // namespace velmora
