#include "records/record_reader.h"

#include <cstring>

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
        if (!haveItem()) return false;
        // A fresh line: if it is exactly one record of plain items, view them where they are.
        const char* const data = line_.data();
        const char* const end = data + line_.size();
        if (!std::memchr(data, '"', line_.size())) {
            const char* item = data;
            std::size_t k = 0;
            for (;; ++k) {
                if (item < end && *item == ' ') break;
                const void* comma = std::memchr(item, ',', static_cast<std::size_t>(end - item));
                const char* stop = comma ? static_cast<const char*>(comma) : end;
                if (k == WorkingRecord::kFieldCount - 1) {
                    if (comma) break;  // more than eleven items
                    fields[k] = std::string_view(item, static_cast<std::size_t>(stop - item));
                    lineDone_ = true;
                    return true;
                }
                if (!comma) break;  // fewer than eleven items
                fields[k] = std::string_view(item, static_cast<std::size_t>(stop - item));
                item = stop + 1;
            }
        }
    }
    if (!next(scratch)) return false;
    for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k) fields[k] = scratch.fields[k];
    return true;
}

}  // namespace velmora
