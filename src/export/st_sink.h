// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

#include "export/export_sink.h"
#include "records/working_record.h"

namespace velmora {

// The Streets and Trips export: a table of pushpins, one line per record, items joined by ";".

// The first line of every export file, with its line end.
inline constexpr std::string_view kExportHeader = "Latitude;Longitude;Name; ;Name 2\r\n";

// The most bytes the export line of a record read as `fields` takes.
std::size_t exportLineSize(const RecordFields& fields);

// Writes the export line of a record read as `fields` at `out`, which has room for
// exportLineSize(fields) bytes, and returns its end: the eleven items joined by ";", then
// CR LF. An item that holds ";" or a double quote is written between double quotes with
// each quote inside doubled, so that it stays one column; every other item as it is. The
// coordinates are signed first: a leading "N" or "E" (either case) goes, then a leading "S"
// or "W" (either case) becomes "-"; the digits are not touched.
char* writeExportLine(char* out, const RecordFields& fields);

// The Streets and Trips pushpin table: the header, then one export line per record.
class StreetsAndTripsSink final : public ExportSink {
  public:
    void begin(ExportOutput& out) override;
    void write(ExportOutput& out, const ExportRecord& record) override;
};

}  // namespace velmora
