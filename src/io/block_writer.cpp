#include "io/block_writer.h"

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

char* BlockWriter::reserve(std::size_t size) {
    if (filling_.empty()) filling_.resize(kBlockSize);
    if (used_ + size > filling_.size()) {
        hand();
        if (size > filling_.size()) filling_.resize(size);
    }
    return filling_.data() + used_;
}

void BlockWriter::hand() {
    if (!thread_.joinable() && !threadless_) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            threadless_ = true;  // no thread to be had: each block is written when full
        }
    }
    if (threadless_) {
        writeNow(std::string_view(filling_.data(), used_));
    } else {
        {
            std::unique_lock lock(mutex_);
            waitIdle(lock);
            // The written buffer comes back to be filled, the full block goes to the thread.
            queued_.swap(filling_);
            queuedSize_ = used_;
            busy_ = true;
            if (filling_.size() < queued_.size()) filling_.resize(queued_.size());
        }
        changed_.notify_all();
    }
    used_ = 0;
}

void BlockWriter::finish() {
    if (thread_.joinable()) {
        std::unique_lock lock(mutex_);
        waitIdle(lock);
    }
    writeNow(std::string_view(filling_.data(), used_));
    used_ = 0;
}

}  // namespace velmora
