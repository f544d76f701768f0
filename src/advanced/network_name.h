// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <compare>
#include <string>
#include <string_view>

#include "records/record_extras.h"
#include "records/working_record.h"

namespace velmora {

// A network name as the Advanced windows group, list and match records by it: the name exactly
// as the log has it (UTF-8, the record's extras) where the log gives one (WiGLE CSV, .ns1),
// otherwise the SSID item (the log's bytes, Windows-1252), as for every wi-scan log. The two
// kinds never meet: a name of one kind matches only records named by that kind.
struct NetworkName {
    std::string text;    // upper-cased, ASCII a-z only
    bool exact = false;  // `text` is an exact name (UTF-8), not an SSID item

    auto operator<=>(const NetworkName&) const = default;
};

// Whether the record is named by its exact name.
inline bool hasExactName(const RecordExtras& extras) {
    return !extras.name.empty();
}

// The record's name as read (not upper-cased): its exact name, else its SSID item.
inline std::string_view recordNameText(const RecordFields& fields, const RecordExtras& extras) {
    return hasExactName(extras) ? extras.name : fields[WorkingRecord::SSID];
}

// Whether the record's name, upper-cased, is `name`, of the same kind.
bool isNamed(const RecordFields& fields, const RecordExtras& extras, const NetworkName& name);

}  // namespace velmora
