// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/background_worker.h"
#include "io/text_file_writer.h"

namespace velmora {

// Writes what its caller builds to one or more files in large blocks: the caller fills a block
// in place, and a full block is written by a BackgroundWorker while the next is filled.
// Every file receives the same bytes in the same order. A failed write is kept and thrown,
// as the FileError it was, from the caller's next reserve() or finish(); nothing after it
// is written.
class BlockWriter {
  public:
    // The files must outlive the writer; it writes to them and never closes them. The thread
    // starts with the first full block: output of one block starts no thread.
    explicit BlockWriter(std::vector<TextFileWriter*> files);
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Room for `size` more bytes after what is filled, valid until the next call. A full
    // block is handed over first; waits while the block before it is being written.
    char* reserve(std::size_t size);
    // The bytes up to `end`, in the room last reserved, are filled.
    void commit(const char* end) {
        filling_.used = static_cast<std::size_t>(end - filling_.bytes.data());
    }

    // How many bytes were committed since the writer was made: where the next ones will stand
    // in each file, counted from where the files stood then.
    std::uint64_t position() const { return handed_ + filling_.used; }
    // After finish(), with the files cut back to `position` (an earlier position()): the
    // count goes on from there.
    void rewindTo(std::uint64_t position) { handed_ = position; }

    // Writes what is filled after what was handed over and waits until everything is
    // written. Throws the first failure. A writer destroyed without finish() may leave
    // blocks unwritten.
    void finish();

  private:
    struct Block {
        std::vector<char> bytes;
        std::size_t used = 0;  // bytes filled, from the start
    };

    void hand();
    void write(const Block& block);

    std::vector<TextFileWriter*> files_;
    Block filling_;                   // the caller's
    std::uint64_t handed_ = 0;        // bytes handed over to be written
    BackgroundWorker<Block> writer_;  // declared last: stops before the files are forgotten
};

}  // namespace velmora
