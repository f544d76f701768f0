// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_writer.h"

namespace velmora {

void appendItem(std::string& line, std::string_view value) {
    if (value.find_first_of(",\"") == std::string_view::npos) {
        line.append(value);
        return;
    }
    line.push_back('"');
    for (char c : value) {
        if (c == '"') line.push_back('"');
        line.push_back(c);
    }
    line.push_back('"');
}

void appendRecordLine(std::string& line, const WorkingRecord& record) {
    for (std::size_t i = 0; i < WorkingRecord::kFieldCount; ++i) {
        if (i) line.push_back(',');
        appendItem(line, record.fields[i]);
    }
    line.append("\r\n");
}

}  // namespace velmora
