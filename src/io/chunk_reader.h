// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "io/background_worker.h"
#include "io/gzip_stream.h"

namespace velmora {

// The chunk a reader reads at a time unless told otherwise.
inline constexpr std::size_t kDefaultChunkSize = 1 << 20;

// Reads an open file in large chunks for a line reader. Once the file proves larger than
// one chunk, the next chunk is read by a BackgroundWorker while the caller works through
// the last one, so the caller's time and the system's copying overlap.
class ChunkReader {
  public:
    // Whose the thread that reads ahead is: the file's, ending with it (PerFile), or the
    // reader's, kept for one file after another (Kept, see switchTo()).
    enum class ReadAhead { PerFile, Kept };
    // What the reader gives of a gzip file: its bytes (AsStored), or its content (Unpacked: a
    // log saved compressed reads as the file it holds, GzipStream).
    enum class Content { AsStored, Unpacked };

    // The file stays the caller's, and is read from its start; `path` names it in errors. The
    // reader holds up to three chunks of `chunkSize` bytes.
    ChunkReader(std::FILE* file, const std::filesystem::path& path,
                std::size_t chunkSize = kDefaultChunkSize, ReadAhead ahead = ReadAhead::PerFile,
                Content content = Content::AsStored);
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    // `buffer`[begin, end) holds bytes not yet used. Puts them, followed by the next chunk of
    // the file, in `buffer`[begin, end) (the buffer may change). Returns false, touching
    // nothing, at the end of the file. Throws FileError when the file cannot be read.
    bool append(std::vector<char>& buffer, std::size_t& begin, std::size_t& end);

    // Stops reading ahead, so that the caller can move in the file. The next append() reads
    // from wherever the file then is.
    void stop();

    // Lets go of the file, which the caller may then close: a chunk being read ahead is waited
    // for and dropped. The chunks' buffers are kept, and a Kept thread.
    void release();
    // Reads another file from its start from now on (after release() or stop()); `path`
    // names it in errors.
    void switchTo(std::FILE* file, const std::filesystem::path& path) {
        file_ = file;
        path_ = path;
        gzip_.reset();
        atStart_ = true;
    }

  private:
    struct Chunk {
        std::vector<char> bytes;  // the file's bytes from kHead on
        std::size_t size = 0;
    };

    // Reads the next chunk of the file into `chunk`; throws FileError.
    void read(Chunk& chunk);

    std::FILE* file_;
    std::filesystem::path path_;
    std::size_t chunkSize_;
    ReadAhead mode_;
    Content content_;
    bool atStart_ = true;               // nothing of the file is read yet
    std::unique_ptr<GzipStream> gzip_;  // for an Unpacked gzip file
    Chunk spare_;                       // read into when nothing is read ahead
    bool ahead_ = false;                // the reader holds, or is reading, the next chunk
    BackgroundWorker<Chunk> reader_;    // declared last: stops before the file is forgotten
};

}  // namespace velmora
