#include "io/chunk_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "io/file_error.h"

namespace velmora {

namespace {
constexpr std::size_t kChunk = 1 << 20;
// Room before each chunk for the unused bytes of the one before: the end of a line that
// began there. Longer remainders take the slow path.
constexpr std::size_t kHead = 1 << 16;
}  // namespace

ChunkReader::ChunkReader(std::FILE* file, const std::filesystem::path& path)
    : file_(file), path_(path) {}

ChunkReader::~ChunkReader() {
    stop();
}

void ChunkReader::stop() {
    if (!running_) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
    running_ = hasBuffer_ = ready_ = stop_ = false;
    spare_.size = 0;
    spare_.error.clear();
}

void ChunkReader::read(std::FILE* file, Chunk& chunk) {
    if (chunk.bytes.size() < kHead + kChunk) chunk.bytes.resize(kHead + kChunk);
    errno = 0;
    chunk.size = std::fread(chunk.bytes.data() + kHead, 1, kChunk, file);
    chunk.error.clear();
    if (chunk.size == 0 && std::ferror(file)) chunk.error = systemReason();
}

void ChunkReader::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return (hasBuffer_ && !ready_) || stop_; });
        if (stop_) return;
        lock.unlock();
        read(file_, spare_);
        lock.lock();
        ready_ = true;
        changed_.notify_all();
        // An empty chunk is the end of the file (or a failure): nothing more to read ahead.
        if (spare_.size == 0) return;
    }
}

ChunkReader::Chunk ChunkReader::nextChunk() {
    Chunk chunk;
    if (!running_) {
        chunk = std::move(spare_);
        read(file_, chunk);
        return chunk;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
    chunk = std::move(spare_);
    ready_ = hasBuffer_ = false;
    return chunk;
}

bool ChunkReader::append(std::vector<char>& buffer, std::size_t& begin, std::size_t& end) {
    Chunk chunk = nextChunk();
    if (chunk.size == 0) {
        const std::string error = chunk.error;
        spare_ = std::move(chunk);
        // The thread, if any, has stopped: the next call reads for itself.
        stop();
        if (!error.empty()) throw FileError(path_, error);
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
    // The buffer not kept is read into next, ahead of need once the file has filled a chunk.
    const bool start = !running_ && chunk.size == kChunk;
    if (running_ || start) {
        {
            std::lock_guard lock(mutex_);
            spare_ = std::move(chunk);
            hasBuffer_ = true;
        }
        if (start) {
            try {
                thread_ = std::thread([this] { run(); });
                running_ = true;
            } catch (const std::system_error&) {
                hasBuffer_ = false;  // no thread to be had: each chunk is read when needed
            }
        } else {
            changed_.notify_all();
        }
    } else {
        spare_ = std::move(chunk);
    }
    return true;
}

}  // namespace velmora
