// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <type_traits>

#include "records/record_extras.h"
#include "records/record_walk.h"
#include "sightings/sighting.h"

namespace velmora {

// Reads a working record file and its extras file in step: calls fn(sighting) for each record
// in file order, with its extras (empty where the extras file has no line of it) and its
// number. fn returns void, or bool to say whether to go on. Returns the number of records
// read. Throws FileError for the working record file.
template <typename Fn>
std::uint64_t forEachSighting(const std::filesystem::path& workingFile, Fn&& fn) {
    RecordReader reader(workingFile);
    ExtrasReader extras(workingFile);
    Sighting sighting;
    std::uint64_t number = 0;
    forEachRecord(reader, [&](const RecordFields& fields) {
        sighting.fields = fields;
        sighting.extras = extras.next(fields);
        sighting.number = number++;
        if constexpr (std::is_void_v<std::invoke_result_t<Fn&, const Sighting&>>) {
            fn(static_cast<const Sighting&>(sighting));
            return true;
        } else {
            return static_cast<bool>(fn(static_cast<const Sighting&>(sighting)));
        }
    });
    return number;
}

// Like forEachSighting for the walks that need no more of the extras than the exact name:
// calls fn(fields, name) for each record, `name` being its extras' name (empty where it has
// none). Returns the number of records read. Throws FileError for the working record file.
template <typename Fn>
std::uint64_t forEachNamedRecord(const std::filesystem::path& workingFile, Fn&& fn) {
    RecordReader reader(workingFile);
    ExtrasReader extras(workingFile);
    std::uint64_t number = 0;
    forEachRecord(reader, [&](const RecordFields& fields) {
        fn(fields, extras.nextName(fields));
        ++number;
    });
    return number;
}

}  // namespace velmora
