#include "export/export_line.h"

namespace velmora {

namespace {
void convert(std::string& value, char positive, char negative) {
    if (!value.empty() && value.front() == positive) value.erase(0, 1);
    if (!value.empty() && value.front() == negative) value.front() = '-';
}
}  // namespace

void convertCoordinates(WorkingRecord& record) {
    convert(record[WorkingRecord::Latitude], 'N', 'S');
    convert(record[WorkingRecord::Longitude], 'E', 'W');
}

void appendExportLine(std::string& out, const WorkingRecord& record) {
    for (std::size_t i = 0; i < WorkingRecord::kFieldCount; ++i) {
        if (i) out.push_back(';');
        out.append(record.fields[i]);
    }
    out.append("\r\n");
}

}  // namespace velmora
