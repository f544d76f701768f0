// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/interrupt_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// Enough for every scratch file a program holds at once: the working folder and its files,
// the two working files a load writes, the lock, an export or two under temporary names.
constexpr int kSlots = 32;

enum State : int { Free, Filling, File, Folder };

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

Slot slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

// The signals that end the program after the cleanup.
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

sigset_t interrupts() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kInterrupts) sigaddset(&set, signal);
    return set;
}

void removeAll(int signal) {
    // The interrupted code's errno is left as it was, as a handler must.
    const int interrupted = errno;
    for (const int kind : {File, Folder})
        for (Slot& slot : slots)
            if (slot.state.load() == kind) kind == File ? unlink(slot.path) : rmdir(slot.path);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(signal, &defaults, nullptr);
    // Delivered with the default action once the handler returns and unblocks it.
    raise(signal);
    errno = interrupted;
}

}  // namespace

InterruptCleanup::InterruptCleanup(const std::filesystem::path& path, Kind kind) {
    const std::string& text = path.native();
    if (text.size() >= PATH_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (!slots[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(slots[i].path, text.c_str(), text.size() + 1);
        slots[i].state.store(kind == Kind::File ? File : Folder);
        slot_ = i;
        return;
    }
}

InterruptCleanup::~InterruptCleanup() {
    release();
}

void InterruptCleanup::release() {
    if (slot_ < 0) return;
    slots[slot_].state.store(Free);
    slot_ = -1;
}

void cleanupOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = removeAll;
    // One signal's cleanup is not interrupted by another's.
    action.sa_mask = interrupts();
    for (const int signal : kInterrupts) {
        // One ignored from the start (nohup, a shell's background job) stays ignored.
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

InterruptsHeld::InterruptsHeld() {
    const sigset_t held = interrupts();
    pthread_sigmask(SIG_BLOCK, &held, &before_);
}

InterruptsHeld::~InterruptsHeld() {
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace velmora
