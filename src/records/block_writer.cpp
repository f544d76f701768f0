#include "records/block_writer.h"

#include <system_error>

namespace velmora {

BlockWriter::BlockWriter(std::vector<TextFileWriter*> files) : files_(std::move(files)) {}

BlockWriter::~BlockWriter() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BlockWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stop_; });
        if (!busy_) return;
        if (!failure_) {
            const std::string_view bytes(queued_.data(), queuedSize_);
            lock.unlock();
            std::exception_ptr failure;
            try {
                for (TextFileWriter* file : files_) file->write(bytes);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (failure) failure_ = failure;
        }
        busy_ = false;
        changed_.notify_all();
    }
}

void BlockWriter::waitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(failure_);
}

void BlockWriter::writeNow(std::string_view bytes) {
    for (TextFileWriter* file : files_) file->write(bytes);
}

void BlockWriter::hand(std::vector<char>& block, std::size_t used) {
    if (!thread_.joinable() && !threadless_) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            threadless_ = true;  // no thread to be had: each block is written as handed over
        }
    }
    if (threadless_) return writeNow(std::string_view(block.data(), used));
    {
        std::unique_lock lock(mutex_);
        waitIdle(lock);
        // The written buffer comes back to the caller, the new block goes to the thread.
        queued_.swap(block);
        queuedSize_ = used;
        busy_ = true;
        if (block.size() < queued_.size()) block.resize(queued_.size());
    }
    changed_.notify_all();
}

void BlockWriter::finish(std::vector<char>& block, std::size_t used) {
    if (thread_.joinable()) {
        std::unique_lock lock(mutex_);
        waitIdle(lock);
    }
    writeNow(std::string_view(block.data(), used));
}

}  // namespace velmora
