#pragma once

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

// Reads an open file in large chunks for a line reader. Once the file proves larger than
// one chunk, the next chunk is read on a thread of its own while the caller works through
// the last one, so the caller's time and the system's copying overlap (where the system has
// no thread to give, each chunk is read when it is needed).
class ChunkReader {
  public:
    // The file stays the caller's; `path` names it in errors.
    ChunkReader(std::FILE* file, const std::filesystem::path& path);
    ~ChunkReader();
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    // `buffer`[begin, end) holds bytes not yet used. Puts them, followed by the next chunk of
    // the file, in `buffer`[begin, end) (the buffer may change). Returns false, touching
    // nothing, at the end of the file. Throws FileError when the file cannot be read.
    bool append(std::vector<char>& buffer, std::size_t& begin, std::size_t& end);

    // Stops reading ahead, so that the caller can move in the file. The next append() reads
    // from wherever the file then is.
    void stop();

  private:
    struct Chunk {
        std::vector<char> bytes;  // the file's bytes from kHead on
        std::size_t size = 0;
        std::string error;  // the system's reason, when the read failed
    };

    static void read(std::FILE* file, Chunk& chunk);
    Chunk nextChunk();
    void run();

    std::FILE* file_;
    std::filesystem::path path_;
    Chunk spare_;  // read into, by the thread while it runs
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    bool hasBuffer_ = false;  // the thread may read into spare_
    bool ready_ = false;      // spare_ holds a chunk read ahead
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace velmora
