// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/selection.h"

#include <algorithm>

namespace velmora {

namespace {

bool hasLowerAscii(std::string_view item) {
    return std::any_of(item.begin(), item.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

UpperCasing::UpperCasing(UpperCase upper)
    : ssid_(upper == UpperCase::Ssid || upper == UpperCase::SsidAndBssid),
      bssid_(upper == UpperCase::Bssid || upper == UpperCase::SsidAndBssid) {}

void UpperCasing::upperCase(RecordFields& fields) {
    const bool ssid = ssid_ && hasLowerAscii(fields[WorkingRecord::SSID]);
    const bool bssid = bssid_ && hasLowerAscii(fields[WorkingRecord::BSSID]);
    if (!ssid && !bssid) return;
    // The record is copied whole, its items one separator apart as in a line read, so that a
    // sink that copies a line at once still can: a line viewed in one run as one piece, items
    // viewed apart joined by commas.
    if (oneRun(fields)) {
        const char* const first = fields.front().data();
        const std::string_view last = fields.back();
        line_.assign(first, static_cast<std::size_t>(last.data() + last.size() - first));
        for (std::size_t k = 0; k < fields.size(); ++k)
            fields[k] = {line_.data() + (fields[k].data() - first), fields[k].size()};
    } else {
        line_.clear();
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (k > 0) line_ += ',';
            offsets_[k] = line_.size();
            line_ += fields[k];
        }
        for (std::size_t k = 0; k < fields.size(); ++k)
            fields[k] = {line_.data() + offsets_[k], fields[k].size()};
    }
    const auto upper = [&](WorkingRecord::Field k) {
        upperAsciiInPlace(line_.data() + (fields[k].data() - line_.data()), fields[k].size());
    };
    if (ssid) upper(WorkingRecord::SSID);
    if (bssid) upper(WorkingRecord::BSSID);
}

}  // namespace velmora
