// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <functional>
#include <type_traits>

#include "records/record_reader.h"
#include "records/working_record.h"

namespace velmora {

// Decides from a record's items as read (before any upper-casing, and before a sink signs the
// coordinates) whether the record is taken: by an export, or by the map's highlight.
using RecordFilter = std::function<bool(const RecordFields&)>;
// The same, from the items and the record's extras (record_extras.h): for a test on what only
// the extras hold, such as the network name exactly as logged.
struct RecordExtras;
using ExtrasFilter = std::function<bool(const RecordFields&, const RecordExtras&)>;

// The one way a working record file is read: calls fn(fields) with the items of each record in
// file order, as RecordReader::nextFields gives them. The views are valid during the call only;
// a caller that keeps an item copies it.
//
// fn returns void, or bool to say whether to go on: the walk then stops after the first call
// that returns false. Returns whether the walk reached the end of the file. Throws FileError.
// A template, so that each caller's loop is compiled with its fn inlined.
template <typename Fn>
bool forEachRecord(RecordReader& reader, Fn&& fn) {
    RecordFields fields;
    WorkingRecord scratch;  // holds a record that is not one plain line
    while (reader.nextFields(fields, scratch)) {
        const RecordFields& record = fields;
        if constexpr (std::is_void_v<std::invoke_result_t<Fn&, const RecordFields&>>) {
            fn(record);
        } else if (!fn(record)) {
            return false;
        }
    }
    return true;
}

template <typename Fn>
bool forEachRecord(const std::filesystem::path& workingFile, Fn&& fn) {
    RecordReader reader(workingFile);
    return forEachRecord(reader, fn);
}

}  // namespace velmora
