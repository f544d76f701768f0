#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "records/record_writer.h"

namespace velmora {

// Writes large blocks to one or more files on a thread of its own, so that the caller fills
// its next block while the system copies the last one into the files. Every file receives
// the same bytes in the same order. A failed write is kept and thrown, as the FileError it
// was, from the caller's next hand() or finish(); nothing after it is written. Where the
// system has no thread to give, each block is written as it is handed over.
class BlockWriter {
  public:
    // The files must outlive the writer; it writes to them and never closes them. The thread
    // starts with the first full block: a file of one block is written as it is finished.
    explicit BlockWriter(std::vector<TextFileWriter*> files);
    // Stops the thread; a block still queued may be left unwritten.
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Queues the `used` bytes at the start of `block` and gives back, in `block`, a buffer of
    // the same size free for the next bytes. Waits while the block before is being written.
    void hand(std::vector<char>& block, std::size_t used);

    // Writes the `used` bytes at the start of `block`, the last ones, after what was handed
    // over, and waits until everything is written. Throws the first failure.
    void finish(std::vector<char>& block, std::size_t used);

  private:
    void run();
    void writeNow(std::string_view bytes);
    void waitIdle(std::unique_lock<std::mutex>& lock);

    std::vector<TextFileWriter*> files_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> queued_;  // being written, or waiting to be
    std::size_t queuedSize_ = 0;
    bool busy_ = false;  // queued_ holds a block not yet written
    bool stop_ = false;
    bool threadless_ = false;  // the system could not start the thread
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace velmora
