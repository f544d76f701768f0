// SPDX-License-Identifier: GPL-3.0-or-later
// The fast builders of record lines. Each must produce exactly the line normalise() defines
// (record_line.cpp), with the counts record_line::count makes of it and the signal column
// signalColumn() gives, for every data line it accepts; a line with a comma or a double quote
// goes back to the general path. The test
// RecordLine.EveryBuilderThisBuildHasGivesThePlainRecordLine (tests/loader/source_loader_test.cpp)
// checks each builder this build has against normalise() on random lines, and the fuzz target
// fuzz_loader checks whole loads against a plain reading of the log.

#include <array>
#include <cstring>

#include "loader/record_line.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELMORA_VECTOR_LINES 1
#include <immintrin.h>
#endif

namespace velmora::record_line {

namespace {

constexpr std::size_t kFields = WorkingRecord::kFieldCount;
// ends[k]: where the text of item k ends in the record line.
using ItemEnds = std::array<char*, kFields + 1>;

// The items whose ends completeLine() reads: those of the coordinates, the name and Flags.
constexpr unsigned kUsedEnds = 1u << WorkingRecord::Longitude | 1u << WorkingRecord::SSID |
                               1u << (WorkingRecord::Flags - 1) | 1u << WorkingRecord::Flags;
// The item whose tab in the data line starts the signal column, and the tabs writeVector
// looks at: those of kUsedEnds and those around the signal column.
constexpr std::size_t kBeforeSignal = WorkingRecord::SignalBlock - 1;
constexpr unsigned kReadTabs = kUsedEnds | 1u << kBeforeSignal | 1u << WorkingRecord::SignalBlock;

// Items 0 to `last` - 1 end at ends[...] (only those in kUsedEnds are read), item `last` ends
// at `out`: adds the missing items, the blank name and the line end, and counts the record.
char* completeLine(ItemEnds& ends, std::size_t last, char* out, LoadCounts& counts) {
    ends[last] = out;
    for (++last; last < kFields; ++last) {
        *out++ = ',';
        ends[last] = out;
    }
    char* const ssid = ends[WorkingRecord::Longitude] + 1;
    if (ssid == ends[WorkingRecord::SSID]) {
        std::memmove(ssid + kBlankName.size(), ssid, static_cast<std::size_t>(out - ssid));
        std::memcpy(ssid, kBlankName.data(), kBlankName.size());
        out += kBlankName.size();
        ends[WorkingRecord::Flags - 1] += kBlankName.size();
        ends[WorkingRecord::Flags] += kBlankName.size();
    }
    const char* flags = ends[WorkingRecord::Flags - 1] + 1;
    count(std::string_view(flags, static_cast<std::size_t>(ends[WorkingRecord::Flags] - flags)),
          counts);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// What normalising does to each byte of a data line.
enum : unsigned char { kKeep = 0, kDrop = 1, kTab = 2, kNeedsQuotes = 4 };

constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> table{};
    table[' '] = table['('] = table[')'] = kDrop;
    table['\t'] = kTab;
    table[','] = table['"'] = kNeedsQuotes;
    return table;
}();

#ifdef VELMORA_VECTOR_LINES

// For each set of kept bytes among eight, the shuffle that moves them to the front in order.
constexpr std::array<std::array<char, 8>, 256> kPackLeft = [] {
    std::array<std::array<char, 8>, 256> table{};
    for (unsigned keep = 0; keep < 256; ++keep) {
        unsigned to = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (keep & (1u << bit)) table[keep][to++] = static_cast<char>(bit);
        for (; to < 8; ++to) table[keep][to] = static_cast<char>(0x80);  // a zero byte
    }
    return table;
}();

// Sixteen bytes at a time: the tabs, the bytes that go and the bytes that need quotes are
// found by comparison, the tabs become separators and the kept bytes are packed to the front
// of each half with one shuffle. Reads no byte outside the line.
__attribute__((target("ssse3,popcnt"))) char* writeVector(std::string_view line, char* out,
                                                          LoadCounts& counts,
                                                          std::string_view& signal) {
    const char* const src = line.data();
    const std::size_t size = line.size();
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i separator = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i open = _mm_set1_epi8('(');
    const __m128i close = _mm_set1_epi8(')');
    ItemEnds ends;
    std::size_t tabs = 0;
    // Where the signal column starts and ends in the line; no start: the line has no such column.
    std::size_t signalStart = 0, signalEnd = size;
    bool signalFound = false;
    for (std::size_t at = 0; at < size; at += 16) {
        __m128i bytes;
        unsigned valid = 0xFFFF;
        if (size - at >= 16) {
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
        } else {
            alignas(16) char tail[16] = {};
            std::memcpy(tail, src + at, size - at);
            bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
            valid = (1u << (size - at)) - 1;
        }
        const __m128i isTab = _mm_cmpeq_epi8(bytes, tab);
        unsigned tabBits = static_cast<unsigned>(_mm_movemask_epi8(isTab)) & valid;
        const std::size_t found = static_cast<std::size_t>(_mm_popcnt_u32(tabBits));
        bool last = false;
        if (tabs + found >= kFields) {
            // The tab that would start a twelfth item: the line ends before it.
            unsigned rest = tabBits;
            for (std::size_t k = tabs + 1; k < kFields; ++k) rest &= rest - 1;
            valid &= (1u << __builtin_ctz(rest)) - 1;
            tabBits &= valid;
            last = true;
        }
        const unsigned quoteBits =
            static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, separator), _mm_cmpeq_epi8(bytes, quote)))) &
            valid;
        if (quoteBits) return nullptr;
        const unsigned dropBits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, space),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)))));
        const unsigned keep = ~dropBits & valid;
        // Each tab's separator lands after the kept bytes before it; only the ends that are
        // read are worked out, and where the signal column starts and ends in the line.
        for (unsigned bits = tabBits; bits; bits &= bits - 1, ++tabs) {
            if (!((kReadTabs >> tabs) & 1)) continue;
            const unsigned offset = static_cast<unsigned>(__builtin_ctz(bits));
            if (tabs == kBeforeSignal) {
                signalStart = at + offset + 1;
                signalFound = true;
            } else if (tabs == WorkingRecord::SignalBlock) {
                signalEnd = at + offset;
            } else {
                ends[tabs] = out + _mm_popcnt_u32(keep & ((1u << offset) - 1));
            }
        }
        bytes = _mm_or_si128(_mm_andnot_si128(isTab, bytes), _mm_and_si128(isTab, separator));
        const unsigned low = keep & 0xFF;
        const unsigned high = keep >> 8;
        const __m128i packLow =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPackLeft[low].data()));
        const __m128i packHigh =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPackLeft[high].data()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, packLow));
        out += _mm_popcnt_u32(low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), packHigh));
        out += _mm_popcnt_u32(high);
        if (last) break;
    }
    signal = signalFound ? line.substr(signalStart, signalEnd - signalStart) : std::string_view();
    return completeLine(ends, tabs, out, counts);
}

#endif

}  // namespace

// One byte at a time: each byte is stored and the output moves past it unless it is dropped,
// so the kept bytes need no test of their own; a tab becomes the separator.
char* writePortable(std::string_view line, char* out, LoadCounts& counts,
                    std::string_view& signal) {
    // ends[tabs] is written before it is read, so the array starts uninitialised.
    ItemEnds ends;
    std::size_t tabs = 0;
    unsigned special = 0;
    for (const char ch : line) {
        const unsigned char cls = kByteClass[static_cast<unsigned char>(ch)];
        ends[tabs] = out;
        *out = cls == kTab ? ',' : ch;
        out += cls != kDrop;
        special |= cls;
        tabs += cls == kTab;
        if (tabs == kFields) break;
    }
    if (special & kNeedsQuotes) return nullptr;
    if (tabs == kFields) {
        // Cut before the separator the twelfth item would have had.
        --tabs;
        out = ends[tabs];
    }
    signal = signalColumn(line);
    return completeLine(ends, tabs, out, counts);
}

Writer vectorWriter() {
#ifdef VELMORA_VECTOR_LINES
    static const bool supported =
        __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    return supported ? &writeVector : nullptr;
#else
    return nullptr;
#endif
}

char* write(std::string_view line, char* out, LoadCounts& counts, std::string_view& signal) {
    static const Writer best = vectorWriter() ? vectorWriter() : &writePortable;
    return best(line, out, counts, signal);
}

}  // namespace velmora::record_line
