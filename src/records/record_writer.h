// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "records/working_record.h"

namespace velmora {

// Appends one item as the working record file stores it: unquoted, unless it holds a comma
// or a double quote; then quoted, with every quote inside doubled.
void appendItem(std::string& line, std::string_view value);

// Appends the record's line: its eleven items joined by commas, then CR LF.
void appendRecordLine(std::string& line, const WorkingRecord& record);

}  // namespace velmora
