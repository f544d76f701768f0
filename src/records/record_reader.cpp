#include "records/record_reader.h"

#include <bit>
#include <cstdint>
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

namespace {

constexpr std::size_t kSeparators = WorkingRecord::kFieldCount - 1;

// The high bit of each byte of `w` that is zero, exactly (no borrow between bytes).
std::uint64_t zeroBytes(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// Finds the separators of a line that is one record of plain items: exactly ten commas and no
// double quote. Fills `commas` and returns true for such a line. Eight bytes are looked at a
// time: a record line holds about ninety.
bool findSeparators(std::string_view line, std::array<std::size_t, kSeparators>& commas) {
    std::size_t found = 0;
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kCommas = 0x2c2c2c2c2c2c2c2cULL;
        constexpr std::uint64_t kQuotes = 0x2222222222222222ULL;
        for (; i + 8 <= line.size(); i += 8) {
            std::uint64_t w;
            std::memcpy(&w, line.data() + i, 8);
            if (zeroBytes(w ^ kQuotes)) return false;
            for (std::uint64_t m = zeroBytes(w ^ kCommas); m; m &= m - 1) {
                if (found == kSeparators) return false;
                commas[found++] = i + static_cast<std::size_t>(std::countr_zero(m) >> 3);
            }
        }
    }
    for (; i < line.size(); ++i) {
        if (line[i] == '"') return false;
        if (line[i] != ',') continue;
        if (found == kSeparators) return false;
        commas[found++] = i;
    }
    return found == kSeparators;
}

}  // namespace

bool RecordReader::nextFields(RecordFields& fields, WorkingRecord& scratch) {
    if (lineDone_) {
        if (!haveItem()) return false;
        // A fresh line: if it is exactly one record of plain items, view them where they are.
        std::array<std::size_t, kSeparators> commas;
        if (findSeparators(line_, commas)) {
            std::size_t start = 0;
            bool plain = true;
            for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k) {
                const std::size_t stop = k < kSeparators ? commas[k] : line_.size();
                // An item starting with a space loses it: the general path takes that.
                plain &= start == stop || line_[start] != ' ';
                fields[k] = line_.substr(start, stop - start);
                start = stop + 1;
            }
            if (plain) {
                lineDone_ = true;
                return true;
            }
        }
    }
    if (!next(scratch)) return false;
    for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k) fields[k] = scratch.fields[k];
    return true;
}

}  // namespace velmora
