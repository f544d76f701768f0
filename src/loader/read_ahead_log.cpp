// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/read_ahead_log.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace velmora {

ReadAheadLog::ReadAheadLog(LogReader& reader)
    : reader_(reader), worker_([this](Batch& batch) { fill(batch); }) {
    // The first batch is read at once; next() takes it.
    worker_.hand(spare_);
}

ReadAheadLog::~ReadAheadLog() {
    worker_.stop();
}

void ReadAheadLog::fill(Batch& batch) {
    batch.entries.resize(kEntries);
    batch.count = 0;
    // The texts' room is taken once, and grows only for an entry that passes kTextBytes; it
    // is never empty, so that no view, even of an empty text, is null.
    if (batch.texts.size() < kTextBytes) batch.texts.resize(kTextBytes);
    std::size_t used = 0;
    const auto keep = [&](std::string_view text) {
        if (batch.texts.size() - used < text.size()) batch.texts.resize(used + text.size());
        if (!text.empty()) std::memcpy(batch.texts.data() + used, text.data(), text.size());
        used += text.size();
    };
    batch.last = false;
    batch.placed.resize(kEntries);
    while (batch.count < kEntries && used < kTextBytes) {
        LogEntry& entry = batch.entries[batch.count];
        if (!reader_.next(entry)) {
            batch.last = true;
            break;
        }
        LogSighting& s = entry.sighting;
        Batch::Placed& at = batch.placed[batch.count++];
        at.ssid = used;
        keep(s.ssid);
        at.auth = used;
        if (s.auth) keep(*s.auth);
    }
    const char* const texts = batch.texts.data();
    for (std::size_t k = 0; k < batch.count; ++k) {
        LogSighting& s = batch.entries[k].sighting;
        s.ssid = std::string_view(texts + batch.placed[k].ssid, s.ssid.size());
        if (s.auth) s.auth = std::string_view(texts + batch.placed[k].auth, s.auth->size());
    }
}

bool ReadAheadLog::next(LogEntry& entry) {
    const LogEntry* const next = nextEntry();
    if (next) entry = *next;
    return next != nullptr;
}

const LogEntry* ReadAheadLog::nextEntry() {
    while (at_ == current_.count) {
        if (ended_ || current_.last) {
            ended_ = true;
            return nullptr;
        }
        // The batch read ahead becomes the current one, and the next is read meanwhile into
        // the one just used: spare_ stays empty, so two batches' memory serves all.
        worker_.take(spare_);
        std::swap(current_, spare_);
        at_ = 0;
        if (!current_.last) worker_.hand(spare_);
    }
    return &current_.entries[at_++];
}

}  // namespace velmora
