// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers packed into a byte buffer for values held for later: seven bits a byte, low first,
// the top bit set on all but the last; a signed number as 2n, or -2n - 1 for a negative n, so
// that small readings of either sign take one byte. The reader trusts the bytes: they are the
// program's own, written by the functions beside it.
#pragma once

#include <cstdint>

namespace velmora::packed {

inline char* putNumber(char* p, std::uint64_t value) {
    for (; value >= 0x80; value >>= 7) *p++ = static_cast<char>(0x80 | (value & 0x7f));
    *p++ = static_cast<char>(value);
    return p;
}

inline std::uint64_t getNumber(const char*& p) {
    std::uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const unsigned byte = static_cast<unsigned char>(*p++);
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) return value;
    }
}

inline char* putSigned(char* p, std::int64_t value) {
    const auto v = static_cast<std::uint64_t>(value);
    return putNumber(p, value < 0 ? ~v << 1 | 1 : v << 1);
}

inline std::int64_t getSigned(const char*& p) {
    const std::uint64_t v = getNumber(p);
    return static_cast<std::int64_t>(v & 1 ? ~(v >> 1) : v >> 1);
}

}  // namespace velmora::packed
