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

}  // namespace velmora
