#include "loader/record_line.h"

namespace velmora::record_line {

void normalise(std::string_view line, WorkingRecord& record) {
    for (auto& field : record.fields) field.clear();
    std::size_t column = 0;
    for (const char c : line) {
        if (c == '\t') {
            if (++column == WorkingRecord::kFieldCount) break;
        } else if (c != ' ' && c != '(' && c != ')') {
            record.fields[column].push_back(c);
        }
    }
    if (record[WorkingRecord::SSID].empty()) record[WorkingRecord::SSID] = kBlankName;
}

}  // namespace velmora::record_line
