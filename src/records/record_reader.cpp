// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_reader.h"

#include <cstring>

#include "io/byte_scan.h"

namespace velmora {

RecordReader::RecordReader(const std::filesystem::path& path) : lines_(path) {}

bool RecordReader::haveItem() {
    while (lineDone_) {
        if (!lines_.nextView(line_)) return false;
        pos_ = 0;
        lineDone_ = line_.empty();
    }
    return true;
}

void RecordReader::readItem(std::string& out) {
    out.clear();
    const std::size_t size = line_.size();
    const char* data = line_.data();
    std::size_t p = pos_;
    while (p < size && data[p] == ' ') ++p;

    if (p < size && data[p] == '"') {
        ++p;
        for (;;) {
            const void* hit = std::memchr(data + p, '"', size - p);
            if (!hit) {  // never closed: the item runs to the end of the line
                out.append(data + p, size - p);
                p = size;
                break;
            }
            const std::size_t q = static_cast<const char*>(hit) - data;
            out.append(data + p, q - p);
            if (q + 1 < size && data[q + 1] == '"') {
                out.push_back('"');
                p = q + 2;
                continue;
            }
            p = q + 1;
            break;
        }
        // Whatever follows the closing quote, up to the separator, is dropped.
        const void* comma = std::memchr(data + p, ',', size - p);
        if (comma) {
            pos_ = static_cast<const char*>(comma) - data + 1;
        } else {
            lineDone_ = true;
        }
        return;
    }

    const void* comma = std::memchr(data + p, ',', size - p);
    if (comma) {
        const std::size_t c = static_cast<const char*>(comma) - data;
        out.assign(data + p, c - p);
        pos_ = c + 1;
    } else {
        out.assign(data + p, size - p);
        lineDone_ = true;
    }
}

bool RecordReader::next(WorkingRecord& record) {
    if (!haveItem()) return false;
    for (auto& field : record.fields) {
        if (haveItem())
            readItem(field);
        else
            field.clear();
    }
    return true;
}

bool RecordReader::nextFields(RecordFields& fields, WorkingRecord& scratch) {
    if (lineDone_) {
        // The usual line, whole in the buffer: found, split and checked in one scan.
        const std::string_view rest = lines_.buffered();
        const char* const begin = rest.data();
        const char* const end = begin + rest.size();
        const char* const stop = byte_scan::splitPlainRecord(begin, end, fields);
        // A line that runs past the buffer, or whose CR ends it (it may be half of a CR LF),
        // takes the path below.
        if (stop && stop != end && (*stop == '\n' || stop + 1 < end)) {
            const bool crlf = *stop == '\r' && stop[1] == '\n';
            lines_.skip(static_cast<std::size_t>(stop - begin) + (crlf ? 2 : 1));
            return true;
        }
        if (!haveItem()) return false;
        // A fresh line: if it is exactly one record of plain items, view them where they are.
        if (byte_scan::splitPlainRecord(line_.data(), line_.data() + line_.size(), fields)) {
            lineDone_ = true;
            return true;
        }
    }
    if (!next(scratch)) return false;
    for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k) fields[k] = scratch.fields[k];
    return true;
}

}  // namespace velmora
