// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/read_ahead_log.h"

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
    batch.texts.clear();
    batch.texts.reserve(kTextBytes);  // never a null view, even for empty texts
    batch.last = false;
    batch.placed.resize(kEntries);
    while (batch.count < kEntries && batch.texts.size() < kTextBytes) {
        LogEntry& entry = batch.entries[batch.count];
        if (!reader_.next(entry)) {
            batch.last = true;
            break;
        }
        LogSighting& s = entry.sighting;
        Batch::Placed& at = batch.placed[batch.count++];
        at.ssid = batch.texts.size();
        batch.texts.insert(batch.texts.end(), s.ssid.begin(), s.ssid.end());
        at.auth = batch.texts.size();
        if (s.auth) batch.texts.insert(batch.texts.end(), s.auth->begin(), s.auth->end());
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
        // The batch read ahead becomes the current one; the next is read meanwhile.
        worker_.take(current_);
        at_ = 0;
        if (!current_.last) worker_.hand(spare_);
    }
    return &current_.entries[at_++];
}

}  // namespace velmora
