// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Every test the program makes on a record's Flags item, in one table.
//
// The tests compare characters of the item as read; they are not bit tests. A test on one
// character passes when that character is one of its set: any other character (a hexadecimal
// letter, 7, ...) and an empty item fail it. A one-character item is its own second character
// from the right. Quick sorts 1 and 2 compare the whole item with a list of codes.
//
// The functions are inline: the loader counts every record by them.
namespace velmora::flags {

// The character a test looks at, or '\0' when the item is empty.
inline char lastChar(std::string_view flags) {
    return flags.empty() ? '\0' : flags.back();
}
inline char secondFromRight(std::string_view flags) {
    if (flags.empty()) return '\0';
    return flags.size() == 1 ? flags[0] : flags[flags.size() - 2];
}

enum class Looks { AtLast, AtSecondFromRight };

// A test on one character of Flags: passes when that character is one of `chars`.
class CharTest {
  public:
    consteval CharTest(Looks looks, std::string_view chars) : looks_(looks) {
        for (const char c : chars) passes_[static_cast<unsigned char>(c)] = true;
    }
    bool operator()(std::string_view flags) const {
        const char c = looks_ == Looks::AtLast ? lastChar(flags) : secondFromRight(flags);
        return passes_[static_cast<unsigned char>(c)];
    }

  private:
    Looks looks_;
    std::array<bool, 256> passes_{};  // by byte value
};

// A test on the whole of Flags: passes when the item is one of the codes.
template <std::size_t N>
class CodeTest {
  public:
    template <typename... Code>
    consteval explicit CodeTest(Code... codes) : codes_{std::string_view(codes)...} {}
    bool operator()(std::string_view flags) const {
        for (const std::string_view code : codes_)
            if (flags == code) return true;
        return false;
    }

  private:
    std::array<std::string_view, N> codes_;
};
template <typename... Code>
CodeTest(Code...) -> CodeTest<sizeof...(Code)>;

using enum Looks;

// Each test: the character it looks at and the characters that pass, or the codes that pass.
// clang-format off
// The main window's counts, made as each record is loaded:
inline constexpr CharTest kCountedWepOff          {AtSecondFromRight, "024"};
inline constexpr CharTest kCountedWepOn           {AtSecondFromRight, "135"};
inline constexpr CharTest kCountedInfrastructure  {AtLast,            "15"};
inline constexpr CharTest kCountedAdHoc           {AtLast,            "26"};
// The main window's quick sorts 1 to 4, whose files begin "LOCKED_", "UNLOCKED_",
// "All_Infrastructures_" and "All_AD-HOC_":
inline constexpr CodeTest kQuickSortLocked        {"0031", "0011", "0051"};
inline constexpr CodeTest kQuickSortOpen          {"0001", "0005", "0021", "0041"};
inline constexpr CharTest kQuickSortInfrastructure{AtLast,            "1"};
inline constexpr CharTest kQuickSortAdHoc         {AtLast,            "2"};
// The criteria window's connection type ("BBS", "Ad-Hoc") and WEP status ("On", "Off");
// its "Both" passes every item:
inline constexpr CharTest kCriteriaBss            {AtLast,            "159"};
inline constexpr CharTest kCriteriaAdHoc          {AtLast,            "026"};
inline constexpr CharTest kCriteriaWepOn          {AtSecondFromRight, "1359"};
inline constexpr CharTest kCriteriaWepOff         {AtSecondFromRight, "0248"};
// clang-format on

}  // namespace velmora::flags
