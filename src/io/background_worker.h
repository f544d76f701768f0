// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "io/interrupt_cleanup.h"

namespace velmora {

// Works on one unit at a time (a block to write, a chunk to read) on a thread of its own while
// the caller prepares the next. The worker holds one unit, its slot: hand() swaps the caller's
// unit into the slot and has it worked on; take() swaps the finished unit back out. Units are
// swapped, never copied, so their buffers are reused from one round to the next.
//
// The thread starts with the first unit handed over; where the system cannot start one, each
// unit is worked on inside hand() instead. Either way, the first failure of the work is kept
// and thrown from every later hand(), take() and wait(), never from the hand() that handed
// the failing unit; no unit is worked on after it.
template <class Unit>
class BackgroundWorker {
  public:
    explicit BackgroundWorker(std::function<void(Unit&)> work) : work_(std::move(work)) {}
    ~BackgroundWorker() { stop(); }
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Waits for the unit handed before, then puts `unit` in the slot to be worked on. `unit`
    // comes back holding what the slot held: the unit handed before, finished, or a default
    // Unit the first time.
    void hand(Unit& unit) {
        if (!thread_.joinable() && !threadless_) start();
        if (threadless_) {
            rethrowFailure();
            std::swap(unit, slot_);
            workOn();
            return;
        }
        {
            std::unique_lock lock(mutex_);
            waitIdle(lock);
            std::swap(unit, slot_);
            busy_ = true;
        }
        changed_.notify_all();
    }

    // Waits until the unit handed last is finished and swaps it with `unit`.
    void take(Unit& unit) {
        wait();
        std::swap(unit, slot_);
    }

    // Waits until the unit handed last is finished.
    void wait() {
        if (!thread_.joinable()) {
            rethrowFailure();
            return;
        }
        std::unique_lock lock(mutex_);
        waitIdle(lock);
    }

    // Ends the thread, after the unit it is working on, if any; a unit handed but not yet begun
    // is left as it is. The slot keeps its unit for take(); the failure kept is forgotten. The
    // next hand() starts a thread again.
    void stop() {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stop_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        busy_ = stop_ = false;
        failure_ = nullptr;
    }

  private:
    void start() {
        try {
            thread_ = workerThread([this] { run(); });
        } catch (const std::system_error&) {
            threadless_ = true;
        }
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return busy_ || stop_; });
            if (stop_) return;
            lock.unlock();
            workOn();
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }

    // Works on the slot, keeping the failure if it is the first. The caller leaves the slot
    // alone meanwhile, and reads failure_ only once the unit is finished.
    void workOn() {
        try {
            work_(slot_);
        } catch (...) {
            if (!failure_) failure_ = std::current_exception();
        }
    }

    void waitIdle(std::unique_lock<std::mutex>& lock) {
        changed_.wait(lock, [this] { return !busy_; });
        rethrowFailure();
    }

    void rethrowFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }

    std::function<void(Unit&)> work_;
    Unit slot_{};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;  // the slot holds a unit not yet finished
    bool stop_ = false;
    bool threadless_ = false;  // the system could not start the thread
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace velmora
