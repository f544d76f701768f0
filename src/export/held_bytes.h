// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

// Values held in memory or a temporary file until they are written (a KML folder's points, the
// records a sink's thread receives): each text as its length and bytes, each number in 7-bit
// groups (low first, the top bit set on all but the last; a signed one as 2n, or -2n - 1 for a
// negative n), a decimal as its eight bytes, an optional value after a byte that says whether
// it is there. Each put writes at `p`, which has room, and returns the end of what it wrote;
// each get reads at `p` and moves it past what it read. A text read views the held bytes.
namespace velmora::held {

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
inline char* putSigned(char* p, long long value) {
    const auto v = static_cast<std::uint64_t>(value);
    return putNumber(p, value < 0 ? ~v << 1 | 1 : v << 1);
}
inline long long getSigned(const char*& p) {
    const std::uint64_t v = getNumber(p);
    return static_cast<long long>(v & 1 ? ~(v >> 1) : v >> 1);
}
inline char* putString(char* p, std::string_view text) {
    p = putNumber(p, text.size());
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    return p + text.size();
}
inline std::string_view getString(const char*& p) {
    const auto size = static_cast<std::size_t>(getNumber(p));
    const std::string_view text(p, size);
    p += size;
    return text;
}
inline char* putDouble(char* p, double value) {
    std::memcpy(p, &value, sizeof value);
    return p + sizeof value;
}
inline double getDouble(const char*& p) {
    double value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

template <typename Value>
char* putOptional(char* p, const std::optional<Value>& value) {
    *p++ = value ? 1 : 0;
    if (!value) return p;
    if constexpr (std::is_same_v<Value, int>)
        return putSigned(p, *value);
    else if constexpr (std::is_same_v<Value, double>)
        return putDouble(p, *value);
    else
        return putString(p, *value);
}
template <typename Value>
void getOptional(const char*& p, std::optional<Value>& value) {
    if (*p++ == 0) {
        value.reset();
        return;
    }
    if constexpr (std::is_same_v<Value, int>)
        value = static_cast<int>(getSigned(p));
    else if constexpr (std::is_same_v<Value, double>)
        value = getDouble(p);
    else
        value = getString(p);
}

}  // namespace velmora::held
