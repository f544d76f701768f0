// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>

#include "records/record_walk.h"

namespace velmora {

// Which items of a selected record are upper-cased (ASCII a-z) before a sink receives it.
enum class UpperCase { None, Ssid, Bssid, SsidAndBssid };

// Which records an export writes, and how their items read: every exporter is a selection
// handed to writeExport with a sink (export_walk.h).
struct RecordSelection {
    RecordSelection() = default;
    RecordSelection(RecordFilter filter, UpperCase upper = UpperCase::None,
                    ExtrasFilter byExtras = {})
        : filter(std::move(filter)), upper(upper), byExtras(std::move(byExtras)) {}

    RecordFilter filter;
    UpperCase upper = UpperCase::None;
    // Where set, a record `filter` passes must pass this too; the walk then reads the extras.
    ExtrasFilter byExtras;
};

// Applies a selection's upper-casing to the records of a walk. A record whose SSID or BSSID
// (as asked) holds a letter a-z is copied here, its items still one separator apart, the item
// upper-cased in the copy, and the views moved to the copy, valid until the next apply(); any
// other record stays the views it was.
class UpperCasing {
  public:
    explicit UpperCasing(UpperCase upper);

    void apply(RecordFields& fields) {
        if (ssid_ || bssid_) upperCase(fields);
    }

  private:
    void upperCase(RecordFields& fields);

    bool ssid_;
    bool bssid_;
    std::string line_;
    std::array<std::size_t, WorkingRecord::kFieldCount> offsets_{};
};

}  // namespace velmora
