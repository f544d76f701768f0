// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>

#include "export/export_sink.h"
#include "export/selection.h"

namespace velmora {

// The one way every export is written: reads the working record file from its first record to
// its end, and hands each record the selection passes, upper-cased as it asks, to `sink`, in
// file order, between the sink's begin() and end(). Returns the number of records handed over.
//
// The file is written without a name (or, where the file system cannot do that, under a
// temporary name) beside `target` and takes the name `target` only once it is complete and
// flushed to disk, in one rename (TextFileWriter::placeAs), so a failed or killed export (a sink
// that throws included) leaves any earlier file of that name as it was and no partial file. A
// target that exists and is not a regular file is refused, as is the working record file itself and
// a protected file (the loaded log, the vendor list: protected_files.h); one the system cannot look
// at is refused with the system's reason. Throws FileError naming the file that failed.
//
// The sink's sidecars (ExportSink::sidecars) are written the same way, each complete on disk
// before the export takes its name and put in place just before it: a failure before then
// leaves every earlier file as it was.
//
// For a sink that wants them, each record comes with its extras, read from the working file's
// extras file line by line in step with the records; a record the extras file has no readable
// line for (a missing or short file) comes with empty extras.
std::uint64_t writeExport(const std::filesystem::path& workingFile,
                          const std::filesystem::path& target, const RecordSelection& selection,
                          ExportSink& sink);

// Hands the records `selection` passes to `sink` exactly as writeExport does, with no file: what
// the sink writes goes nowhere. For a sink that collects what it receives. Returns the number
// of records handed over. Throws FileError for the working record file.
std::uint64_t walkSelection(const std::filesystem::path& workingFile,
                            const RecordSelection& selection, ExportSink& sink);

// writeExport with the Streets and Trips sink: the export every window writes.
std::uint64_t writeStreetsAndTrips(const std::filesystem::path& workingFile,
                                   const std::filesystem::path& target,
                                   const RecordSelection& selection);

}  // namespace velmora
