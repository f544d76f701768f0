#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "io/text_file_writer.h"

namespace velmora {

// Writes what its caller builds to one or more files in large blocks: the caller fills a block
// in place, and a full block is written on a thread of its own while the next is filled.
// Every file receives the same bytes in the same order. A failed write is kept and thrown,
// as the FileError it was, from the caller's next reserve() or finish(); nothing after it
// is written. Where the system has no thread to give, each block is written when full.
class BlockWriter {
  public:
    // The files must outlive the writer; it writes to them and never closes them. The thread
    // starts with the first full block: output of one block starts no thread.
    explicit BlockWriter(std::vector<TextFileWriter*> files);
    // Stops the thread; a block still queued may be left unwritten.
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Room for `size` more bytes after what is filled, valid until the next call. A full
    // block is handed over first; waits while the block before it is being written.
    char* reserve(std::size_t size);
    // The bytes up to `end`, in the room last reserved, are filled.
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - filling_.data()); }

    // Writes what is filled after what was handed over and waits until everything is
    // written. Throws the first failure.
    void finish();

  private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    void hand();
    void run();
    void writeNow(std::string_view bytes);
    void waitIdle(std::unique_lock<std::mutex>& lock);

    std::vector<TextFileWriter*> files_;
    std::vector<char> filling_;  // the caller's block
    std::size_t used_ = 0;
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
