#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "records/record_reader.h"
#include "records/working_record.h"

namespace velmora {

// Decides whether one record (after the coordinate conversion) is written.
using RecordFilter = std::function<bool(const WorkingRecord&)>;
// Changes a passing record's fields before its line is written (an Advanced window
// upper-cases a column). May be empty.
using RecordChange = std::function<void(WorkingRecord&)>;

// The export walk, plainly: reads the working record file from its first record to its end
// and writes the header and one export line per passing record, in file order. Any filter and
// change can be written this way; the exporters use exportWalkFields below, which writes the
// same bytes faster, and the tests and fuzzers hold it to this one.
//
// The file is written under a temporary name beside `target` and takes the name `target` only
// once it is complete and closed, so a failed export leaves any earlier file of that name as
// it was and no partial file. A target that exists and is not a regular file is refused.
// Throws FileError naming the file that failed; returns the number of export lines written.
std::uint64_t exportWalk(const std::filesystem::path& workingFile,
                         const std::filesystem::path& target, const RecordFilter& filter,
                         const RecordChange& change = {});

// Decides from the fields as read (before the coordinate conversion) whether a record is
// written.
using FieldsFilter = std::function<bool(const RecordFields&)>;

// Which items of a passing record are upper-cased (ASCII a-z) in its export line.
enum class UpperCase { None, Ssid, Bssid, SsidAndBssid };

// exportWalk for a filter that needs no WorkingRecord and a change that at most upper-cases
// the SSID or BSSID: the same file, byte for byte, as exportWalk with the same decisions and
// that change, without copying the fields of each record.
std::uint64_t exportWalkFields(const std::filesystem::path& workingFile,
                               const std::filesystem::path& target, const FieldsFilter& filter,
                               UpperCase upper = UpperCase::None);

}  // namespace velmora
