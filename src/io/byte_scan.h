// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Searches over many bytes at once, for the readers' inner loops.
namespace velmora::byte_scan {

// The high bit of each byte of `w` that is zero, exactly (no borrow between bytes).
constexpr std::uint64_t zeroBytes(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// The high bit of each byte of `w` equal to `c`, exactly.
constexpr std::uint64_t equalBytes(std::uint64_t w, char c) {
    return zeroBytes(w ^ (0x0101010101010101ULL * static_cast<unsigned char>(c)));
}

// The number of bytes a mask of high bits (as zeroBytes() gives) marks.
constexpr std::size_t markedCount(std::uint64_t marks) {
    return static_cast<std::size_t>(((marks >> 7) * 0x0101010101010101ULL) >> 56);
}

// The first CR or LF in [from, to), or `to`; eight bytes at a time.
inline const char* findLineEndPortable(const char* from, const char* to) {
    if constexpr (std::endian::native == std::endian::little) {
        for (; to - from >= 8; from += 8) {
            std::uint64_t w;
            std::memcpy(&w, from, 8);
            if (const std::uint64_t hit = equalBytes(w, '\r') | equalBytes(w, '\n'))
                return from + (std::countr_zero(hit) >> 3);
        }
    }
    while (from < to && *from != '\r' && *from != '\n') ++from;
    return from;
}

// The first CR or LF in [from, to), or `to`; sixteen bytes at a time where the CPU can.
inline const char* findLineEnd(const char* from, const char* to) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; to - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int hit =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
        if (hit) return from + std::countr_zero(static_cast<unsigned>(hit));
    }
#endif
    return findLineEndPortable(from, to);
}

// Whether [from, to) holds the byte `a` or the byte `b`; sixteen bytes at a time where the CPU
// can.
template <char a, char b>
inline bool containsEither(const char* from, const char* to) {
#ifdef __SSE2__
    if (to - from >= 16) {
        const __m128i first = _mm_set1_epi8(a);
        const __m128i second = _mm_set1_epi8(b);
        const auto hit = [&](const char* at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, first),
                                                  _mm_cmpeq_epi8(bytes, second))) != 0;
        };
        for (; to - from > 16; from += 16)
            if (hit(from)) return true;
        // The last sixteen bytes, overlapping those already seen.
        return hit(to - 16);
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        if (to - from >= 8) {
            // Eight bytes at a time; the last word overlaps the one before, so that no byte
            // is left to look at alone.
            const auto hit = [&](const char* at) {
                std::uint64_t w;
                std::memcpy(&w, at, 8);
                return (equalBytes(w, a) | equalBytes(w, b)) != 0;
            };
            for (; to - from > 8; from += 8)
                if (hit(from)) return true;
            return hit(to - 8);
        }
    }
    for (; from < to; ++from)
        if (*from == a || *from == b) return true;
    return false;
}

// Whether every byte of `text` is below 0x80; eight bytes at a time, and a short text in two
// loads that may overlap.
inline bool isAscii(std::string_view text) {
    const char* p = text.data();
    const std::size_t size = text.size();
    std::uint64_t high = 0;
    if (size >= 8) {
        const char* const last = p + size - 8;
        for (; p < last; p += 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            high |= w;
        }
        std::uint64_t w;
        std::memcpy(&w, last, 8);
        high |= w;
    } else if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        high = head | tail;
    } else if (size > 0) {
        high = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[size / 2]) |
               static_cast<unsigned char>(p[size - 1]);
    }
    return (high & 0x8080808080808080ULL) == 0;
}

// A fixed shape of text, such as "9999-99-99", in which '9' stands for any digit and every
// other byte for itself.
class Shape {
  public:
    explicit constexpr Shape(std::string_view pattern) : pattern_(pattern) {}

    constexpr bool matches(std::string_view text) const {
        if (text.size() != pattern_.size()) return false;
        for (std::size_t k = 0; k < text.size(); ++k) {
            const char c = text[k];
            if (pattern_[k] == '9' ? c < '0' || c > '9' : c != pattern_[k]) return false;
        }
        return true;
    }

  private:
    std::string_view pattern_;
};

// The eleven items of a record line, as views.
using Items = std::array<std::string_view, 11>;

// Looks at [from, to) up to its first CR or LF, or to `to` when it holds none. When the bytes
// before hold exactly ten commas, no double quote, and no item that starts with a space, puts
// the items they separate in `items` and returns where it stopped; nullptr otherwise.
inline const char* splitPlainRecordPortable(const char* from, const char* to, Items& items) {
    std::size_t found = 0;
    const char* start = from;
    for (; from < to; ++from) {
        switch (*from) {
            case '\r':
            case '\n':
                if (found + 1 != items.size()) return nullptr;
                items[found] = std::string_view(start, static_cast<std::size_t>(from - start));
                return from;
            case '"':
                return nullptr;
            case ' ':
                if (from == start) return nullptr;
                break;
            case ',':
                if (found + 1 == items.size()) return nullptr;
                items[found++] = std::string_view(start, static_cast<std::size_t>(from - start));
                start = from + 1;
                break;
            default:
                break;
        }
    }
    if (found + 1 != items.size()) return nullptr;
    items[found] = std::string_view(start, static_cast<std::size_t>(to - start));
    return to;
}

// splitPlainRecordPortable, sixteen bytes at a time where the CPU can. It must return exactly
// what splitPlainRecordPortable returns, as findLineEnd must for findLineEndPortable: the test
// ByteScan.EachScanFindsWhatItsPlainVersionFinds compares them.
inline const char* splitPlainRecord(const char* from, const char* to, Items& items) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i space = _mm_set1_epi8(' ');
    std::size_t found = 0;
    const char* start = from;
    unsigned startsNext = 1;  // the first byte starts an item
    for (; to - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const auto mask = [&bytes](__m128i c) {
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c)));
        };
        const unsigned ends = mask(cr) | mask(lf);
        // Only the bytes before the line end count.
        const unsigned within = ends ? (ends & (0u - ends)) - 1 : 0xFFFF;
        const unsigned separators = mask(comma) & within;
        // A byte starts an item when it follows a comma (or starts the line).
        const unsigned starts = (separators << 1 | startsNext) & 0xFFFF;
        if ((mask(quote) | (mask(space) & starts)) & within) return nullptr;
        startsNext = separators >> 15;
        for (unsigned bits = separators; bits; bits &= bits - 1) {
            if (found + 1 == items.size()) return nullptr;
            const char* const at = from + std::countr_zero(bits);
            items[found++] = std::string_view(start, static_cast<std::size_t>(at - start));
            start = at + 1;
        }
        if (ends) {
            if (found + 1 != items.size()) return nullptr;
            const char* const stop = from + std::countr_zero(ends);
            items[found] = std::string_view(start, static_cast<std::size_t>(stop - start));
            return stop;
        }
    }
    // The last few bytes, with the items found so far.
    for (; from < to; ++from) {
        const char c = *from;
        if (c == '\r' || c == '\n') break;
        if (c == '"' || (c == ' ' && from == start)) return nullptr;
        if (c == ',') {
            if (found + 1 == items.size()) return nullptr;
            items[found++] = std::string_view(start, static_cast<std::size_t>(from - start));
            start = from + 1;
        }
    }
    if (found + 1 != items.size()) return nullptr;
    items[found] = std::string_view(start, static_cast<std::size_t>(from - start));
    return from;
#else
    return splitPlainRecordPortable(from, to, items);
#endif
}

}  // namespace velmora::byte_scan
