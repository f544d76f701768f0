// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/record_line.h"

#include <array>
#include <cstring>
#include <string>

#include "io/byte_scan.h"
#include "sightings/map_point.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

std::string_view exactName(std::string_view line) {
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos) return {};
    std::string_view column = line.substr(second + 1);
    column = column.substr(0, column.find('\t'));
    if (column.size() >= 3 && column.starts_with("( ") && column.ends_with(" )"))
        return column.size() == 3 ? std::string_view() : column.substr(2, column.size() - 4);
    return column;
}

std::string_view signalColumn(std::string_view line) {
    std::size_t begin = 0;
    for (std::size_t tab = 0; tab < WorkingRecord::SignalBlock; ++tab) {
        const std::size_t found = line.find('\t', begin);
        if (found == std::string_view::npos) return {};
        begin = found + 1;
    }
    return line.substr(begin, line.find('\t', begin) - begin);
}

namespace {

// writeExtras's numbers, one byte at a time.
char* writeSignalNumbers(std::string_view column, char* out) {
    const char* p = column.data();
    const char* end = p + column.size();
    while (p < end && *p == ' ') ++p;
    if (p < end && *p == '[') ++p;
    while (end > p && end[-1] == ' ') --end;
    if (end > p && end[-1] == ']') --end;
    for (int part = 0; part < 3; ++part) {
        while (p < end && *p == ' ') ++p;
        const char* const start = p;
        p += p < end && *p == '-';
        const char* const digits = p;
        while (p < end && static_cast<unsigned char>(*p - '0') < 10) ++p;
        const auto count = p - digits;
        const bool number = count >= 1 && count <= 9 && (p == end || *p == ' ');
        while (p < end && *p != ' ') ++p;
        if (number)
            for (const char* c = start; c < digits + count; ++c) *out++ = *c;
        *out++ = ',';
    }
    return out;
}

#ifdef __SSE2__
// writeExtras's numbers for a column of at most sixteen bytes, found in one go: a bit for
// each byte of each kind, and each part from the bits. `out` has room for 16 bytes more than
// the numbers.
char* writeShortSignalNumbers(std::string_view column, const char* lineEnd, char* out) {
    // The column's bytes, then zeros, so that a part can be copied sixteen bytes at a time.
    alignas(16) char held[32];
    const __m128i zero = _mm_setzero_si128();
    __m128i bytes;
    if (lineEnd - column.data() >= 16) {
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column.data()));
    } else {
        _mm_store_si128(reinterpret_cast<__m128i*>(held), zero);
        std::memcpy(held, column.data(), column.size());
        bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(held));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(held), bytes);
    _mm_store_si128(reinterpret_cast<__m128i*>(held + 16), zero);
    const unsigned inColumn = (1u << column.size()) - 1;
    const auto bitsOf = [&](__m128i same) {
        return static_cast<unsigned>(_mm_movemask_epi8(same)) & inColumn;
    };
    const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const unsigned digit =
        bitsOf(_mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero));
    const unsigned minus = bitsOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('-')));
    unsigned text = inColumn & ~bitsOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
    // A "[" first and a "]" last go.
    if (text && held[__builtin_ctz(text)] == '[') text &= text - 1;
    if (text && held[31 - __builtin_clz(text)] == ']') text &= ~(1u << (31 - __builtin_clz(text)));
    unsigned starts = text & ~(text << 1);
    unsigned ends = ~text & (text << 1);
    // As the scanner writes it ("[ 23 72 49 ]"): three parts, one space apart, digits with
    // perhaps a "-" before them, none longer than nine. Written at once, each space a comma.
    if (text) {
        const unsigned first = static_cast<unsigned>(__builtin_ctz(text));
        const unsigned span = 32 - static_cast<unsigned>(__builtin_clz(text)) - first;
        const unsigned signs = minus & starts;
        const unsigned gaps = ~text & (((1u << span) - 1) << first);
        const unsigned second = starts & (starts - 1);
        const unsigned third = second & (second - 1);
        if (span <= 13 && third && !(third & (third - 1)) && !(gaps & (gaps >> 1)) &&
            !(text & ~digit & ~signs) && !(signs & ~(digit >> 1))) {
            const __m128i part = _mm_loadu_si128(reinterpret_cast<const __m128i*>(held + first));
            const __m128i space = _mm_cmpeq_epi8(part, _mm_set1_epi8(' '));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_or_si128(_mm_andnot_si128(space, part),
                                          _mm_and_si128(space, _mm_set1_epi8(','))));
            out += span;
            *out++ = ',';
            return out;
        }
    }
    for (int part = 0; part < 3; ++part) {
        if (starts) {
            const unsigned first = static_cast<unsigned>(__builtin_ctz(starts));
            const unsigned past = static_cast<unsigned>(__builtin_ctz(ends));
            starts &= starts - 1;
            ends &= ends - 1;
            const unsigned sign = minus & (1u << first);
            const unsigned partBits = ((1u << past) - 1) & ~((1u << first) - 1);
            const unsigned digits = past - first - (sign ? 1 : 0);
            if ((partBits & ~digit) == sign && digits >= 1 && digits <= 9) {
                std::memcpy(out, held + first, 16);
                out += past - first;
            }
        }
        *out++ = ',';
    }
    return out;
}
#endif

}  // namespace

char* writeExtras(std::string_view line, std::string_view signal, std::string_view date,
                  std::uint32_t check, char* out, const RecordExtras* more) {
    out = writeExtrasCheck(check, out);
#ifdef __SSE2__
    if (signal.empty()) {
        std::memcpy(out, ",,,", 3);
        out += 3;
    } else if (signal.size() <= 16)
        out = writeShortSignalNumbers(signal, line.data() + line.size(), out);
    else
#else
    (void)line;
#endif
        out = writeSignalNumbers(signal, out);
    if (!date.empty()) {
        std::memcpy(out, date.data(), 10);
        out += 10;
    }
    if (more) {
        out = writeExtrasValues(*more, kWiScanExtrasFields, out);
    } else {
        // The other formats' values empty, then the name exactly as the line has it, for the
        // map files (its SSID item has lost its spaces and parentheses).
        std::memcpy(out, ",,,,,,,", kExtrasFieldCount - kWiScanExtrasFields);
        out += kExtrasFieldCount - kWiScanExtrasFields;
        const std::string_view name = exactName(line);
        if (byte_scan::isAscii(name)) {
            out = escapeExtrasText(name, out);
        } else {
            thread_local std::string utf8;
            utf8 = windows1252ToUtf8(name);
            out = escapeExtrasText(utf8, out);
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

std::optional<std::string_view> dateLineDate(std::string_view line) {
    constexpr std::string_view kPrefix = "# $DateGMT:";
    if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    line.remove_prefix(kPrefix.size());
    const std::size_t last = line.find_last_not_of(" \t");
    line = line.substr(0, last == std::string_view::npos ? 0 : last + 1);
    if (line.size() == 11 && line[0] == ' ' && isExtrasDate(line.substr(1))) return line.substr(1);
    return std::string_view();
}

}  // namespace velmora::record_line
