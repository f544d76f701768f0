#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "export/export_line.h"
#include "records/working_record.h"

namespace velmora {

// Decides from a record's items as read (before the coordinates are signed) whether its
// export line is written.
using RecordFilter = std::function<bool(const RecordFields&)>;

// The export walk every exporter runs: reads the working record file from its first record
// to its end and writes the header and the export line of each record the filter passes, in
// file order, with the SSID or BSSID upper-cased as `upper` asks.
//
// The file is written without a name (or, where the file system cannot do that, under a
// temporary name) beside `target` and takes the name `target` only once it is complete and
// closed, so a failed or killed export leaves any earlier file of that name as it was and no
// partial file. A target that exists and is not a regular file is refused; one the system
// cannot look at is refused with the system's reason.
// Throws FileError naming the file that failed; returns the number of export lines written.
std::uint64_t exportWalk(const std::filesystem::path& workingFile,
                         const std::filesystem::path& target, const RecordFilter& filter,
                         UpperCase upper = UpperCase::None);

}  // namespace velmora
