#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Searches over many bytes at once, for the readers' inner loops.
namespace velmora::byte_scan {

// The high bit of each byte of `w` that is zero, exactly (no borrow between bytes).
inline std::uint64_t zeroBytes(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// The first CR or LF in [from, to), or `to`; eight bytes at a time.
inline const char* findLineEndPortable(const char* from, const char* to) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kCr = 0x0d0d0d0d0d0d0d0dULL;
        constexpr std::uint64_t kLf = 0x0a0a0a0a0a0a0a0aULL;
        for (; to - from >= 8; from += 8) {
            std::uint64_t w;
            std::memcpy(&w, from, 8);
            if (const std::uint64_t hit = zeroBytes(w ^ kCr) | zeroBytes(w ^ kLf))
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

// The separators of a record line of plain items: ten commas, no double quote.
using Separators = std::array<const char*, 10>;

// Looks at [from, to) up to its first CR or LF, or to `to` when it holds none. Returns where
// it stopped when the bytes before hold exactly ten commas (put in `commas`) and no double
// quote; nullptr otherwise.
inline const char* findPlainRecordPortable(const char* from, const char* to, Separators& commas) {
    std::size_t found = 0;
    for (; from < to; ++from) {
        switch (*from) {
            case '\r':
            case '\n':
                return found == commas.size() ? from : nullptr;
            case '"':
                return nullptr;
            case ',':
                if (found == commas.size()) return nullptr;
                commas[found++] = from;
                break;
            default:
                break;
        }
    }
    return found == commas.size() ? to : nullptr;
}

// findPlainRecordPortable, sixteen bytes at a time where the CPU can.
inline const char* findPlainRecord(const char* from, const char* to, Separators& commas) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    std::size_t found = 0;
    for (; to - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const auto mask = [&bytes](__m128i c) {
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c)));
        };
        const unsigned ends = mask(cr) | mask(lf);
        // Only the bytes before the line end count.
        const unsigned within = ends ? (ends & (0u - ends)) - 1 : 0xFFFF;
        if (mask(quote) & within) return nullptr;
        for (unsigned separators = mask(comma) & within; separators; separators &= separators - 1) {
            if (found == commas.size()) return nullptr;
            commas[found++] = from + std::countr_zero(separators);
        }
        if (ends) return found == commas.size() ? from + std::countr_zero(ends) : nullptr;
    }
    // The last few bytes, with the commas found so far.
    for (; from < to; ++from) {
        const char c = *from;
        if (c == '\r' || c == '\n') return found == commas.size() ? from : nullptr;
        if (c == '"') return nullptr;
        if (c == ',') {
            if (found == commas.size()) return nullptr;
            commas[found++] = from;
        }
    }
    return found == commas.size() ? to : nullptr;
#else
    return findPlainRecordPortable(from, to, commas);
#endif
}

}  // namespace velmora::byte_scan
