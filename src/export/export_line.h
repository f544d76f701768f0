#pragma once

#include <string>

#include "records/working_record.h"

namespace velmora {

// The first line of every export file, with its line end.
inline constexpr std::string_view kExportHeader = "Latitude;Longitude;Name; ;Name 2\r\n";

// Turns the hemisphere letters into signs: a leading "N" or "E" goes, a leading "S" or "W"
// becomes "-". Exact, case-sensitive tests of one character; the digits are not touched.
void convertCoordinates(WorkingRecord& record);

// Appends the record's export line: its eleven fields joined by ";", then CR LF. Nothing is
// quoted or escaped.
void appendExportLine(std::string& out, const WorkingRecord& record);

}  // namespace velmora
