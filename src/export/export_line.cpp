#include "export/export_line.h"

#include <cstdint>
#include <cstring>

#include "records/working_record.h"

namespace velmora {

namespace {

char* copy(char* out, std::string_view value) {
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    return out + value.size();
}

char* writeCoordinate(char* out, std::string_view value, char positive, char negative) {
    if (!value.empty() && value.front() == positive) value.remove_prefix(1);
    if (!value.empty() && value.front() == negative) {
        *out++ = '-';
        value.remove_prefix(1);
    }
    return copy(out, value);
}

// Whether each item starts one separator after the one before ends, as in one line read.
bool oneRun(const RecordFields& fields, std::size_t from) {
    const auto at = [](const char* p) { return reinterpret_cast<std::uintptr_t>(p); };
    for (std::size_t k = from + 1; k < fields.size(); ++k)
        if (at(fields[k].data()) != at(fields[k - 1].data()) + fields[k - 1].size() + 1)
            return false;
    return true;
}

}  // namespace

std::size_t exportLineSize(const RecordFields& fields) {
    std::size_t size = 2 + WorkingRecord::kFieldCount;
    for (const std::string_view field : fields) size += field.size();
    return size;
}

char* writeExportLine(char* out, const RecordFields& fields, UpperCase upper) {
    char* p = writeCoordinate(out, fields[WorkingRecord::Latitude], 'N', 'S');
    *p++ = ';';
    p = writeCoordinate(p, fields[WorkingRecord::Longitude], 'E', 'W');
    *p++ = ';';
    char* const ssid = p;
    // Items viewed in one line lie one separator apart: copy them as one run and turn the
    // separators into ";".
    if (oneRun(fields, WorkingRecord::SSID)) {
        const char* const first = fields[WorkingRecord::SSID].data();
        const auto run =
            static_cast<std::size_t>(fields.back().data() + fields.back().size() - first);
        std::memcpy(p, first, run);
        for (std::size_t k = WorkingRecord::SSID; k + 1 < fields.size(); ++k) {
            p += fields[k].size();
            *p++ = ';';
        }
        p += fields.back().size();
    } else {
        for (std::size_t k = WorkingRecord::SSID; k < fields.size(); ++k) {
            if (k > WorkingRecord::SSID) *p++ = ';';
            p = copy(p, fields[k]);
        }
    }
    if (upper == UpperCase::Ssid || upper == UpperCase::SsidAndBssid)
        upperAsciiInPlace(ssid, fields[WorkingRecord::SSID].size());
    if (upper == UpperCase::Bssid || upper == UpperCase::SsidAndBssid) {
        char* const bssid =
            ssid + fields[WorkingRecord::SSID].size() + 1 + fields[WorkingRecord::Type].size() + 1;
        upperAsciiInPlace(bssid, fields[WorkingRecord::BSSID].size());
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

}  // namespace velmora
