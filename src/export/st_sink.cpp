// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/st_sink.h"

#include <cstdint>
#include <cstring>

#include "io/byte_scan.h"
#include "records/working_record.h"

namespace velmora {

namespace {

char* copy(char* out, std::string_view value) {
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    return out + value.size();
}

// Whether an item holds the export's separator or a double quote, and so is written quoted.
bool needsQuotes(std::string_view value) {
    return byte_scan::containsEither<';', '"'>(value.data(), value.data() + value.size());
}

// The inside of a quoted item: every double quote doubled.
char* copyDoublingQuotes(char* out, std::string_view value) {
    for (const char c : value) {
        if (c == '"') *out++ = '"';
        *out++ = c;
    }
    return out;
}

char* writeItem(char* out, std::string_view value) {
    if (!needsQuotes(value)) return copy(out, value);
    *out++ = '"';
    out = copyDoublingQuotes(out, value);
    *out++ = '"';
    return out;
}

// Whether `c` is the upper-case letter `letter` or its lower-case form.
bool isLetter(char c, char letter) {
    return (c & ~0x20) == letter;
}

// A coordinate known to hold neither ";" nor a double quote.
char* writePlainCoordinate(char* out, std::string_view value, char positive, char negative) {
    if (!value.empty() && isLetter(value.front(), positive)) value.remove_prefix(1);
    if (!value.empty() && isLetter(value.front(), negative)) {
        *out++ = '-';
        value.remove_prefix(1);
    }
    return copy(out, value);
}

char* writeCoordinate(char* out, std::string_view value, char positive, char negative) {
    if (!needsQuotes(value)) return writePlainCoordinate(out, value, positive, negative);
    if (!value.empty() && isLetter(value.front(), positive)) value.remove_prefix(1);
    const bool minus = !value.empty() && isLetter(value.front(), negative);
    if (minus) value.remove_prefix(1);
    *out++ = '"';
    if (minus) *out++ = '-';
    out = copyDoublingQuotes(out, value);
    *out++ = '"';
    return out;
}

}  // namespace

std::size_t exportLineSize(const RecordFields& fields) {
    // Each item at its longest: quoted, every byte a doubled quote.
    std::size_t size = 2 + WorkingRecord::kFieldCount;
    for (const std::string_view field : fields) size += 2 * field.size() + 2;
    return size;
}

char* writeExportLine(char* out, const RecordFields& fields) {
    const std::string_view latitude = fields[WorkingRecord::Latitude];
    const std::string_view last = fields.back();
    // Items viewed in one line lie one separator apart: when none needs quotes (one search of
    // the line tells), the coordinates are signed and the other items copied as one run, with
    // their separators turned into ";".
    if (oneRun(fields) &&
        !byte_scan::containsEither<';', '"'>(latitude.data(), last.data() + last.size())) {
        char* p = writePlainCoordinate(out, latitude, 'N', 'S');
        *p++ = ';';
        p = writePlainCoordinate(p, fields[WorkingRecord::Longitude], 'E', 'W');
        *p++ = ';';
        const char* const first = fields[WorkingRecord::SSID].data();
        std::memcpy(p, first, static_cast<std::size_t>(last.data() + last.size() - first));
        for (std::size_t k = WorkingRecord::SSID; k + 1 < fields.size(); ++k) {
            p += fields[k].size();
            *p++ = ';';
        }
        p += last.size();
        *p++ = '\r';
        *p++ = '\n';
        return p;
    }
    char* p = writeCoordinate(out, latitude, 'N', 'S');
    *p++ = ';';
    p = writeCoordinate(p, fields[WorkingRecord::Longitude], 'E', 'W');
    *p++ = ';';
    for (std::size_t k = WorkingRecord::SSID; k < fields.size(); ++k) {
        if (k > WorkingRecord::SSID) *p++ = ';';
        p = writeItem(p, fields[k]);
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void StreetsAndTripsSink::begin(ExportOutput& out) {
    out.append(kExportHeader);
}

void StreetsAndTripsSink::write(ExportOutput& out, const ExportRecord& record) {
    out.commit(writeExportLine(out.reserve(exportLineSize(record.fields)), record.fields));
}

}  // namespace velmora
