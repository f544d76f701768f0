// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the vendor list vlident.txt from the IEEE MA-L registry as the ieee-data package
// ships it (oui.txt):
//
//   make_vlident OUI_TXT OUTPUT
//
// Each assignment's "XX-XX-XX   (hex)<TAB><TAB>Organisation" line becomes one vendor line
// "XX:XX:XX" + organisation, CR LF ended. The lines are sorted by prefix; a prefix assigned
// more than once keeps the registry's order, so the output depends on the input alone.
// Organisation names go from UTF-8 to Windows-1252, "?" standing for what it cannot hold;
// blanks around a name are registry layout and dropped.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Assignment {
    std::string prefix;  // "XX:XX:XX"
    std::string name;    // Windows-1252
};

bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The Windows-1252 byte for a code point, or '?' when the code page has none.
char toWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    // 0x80-0x9F hold these characters; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned.
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

// Decodes UTF-8; every byte of a malformed sequence becomes one "?".
std::string utf8ToWindows1252(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
        }
        bool ok = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            ok = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        if (ok && length == 3) ok = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
        if (ok && length == 4) ok = cp >= 0x10000 && cp <= 0x10FFFF;
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += toWindows1252(cp);
        i += length;
    }
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "XX-XX-XX   (hex)<TAB><TAB>Name": the assignment, or false for any other line.
bool parseAssignment(std::string_view line, Assignment& out) {
    if (line.size() < 8) return false;
    for (std::size_t i = 0; i < 8; ++i) {
        const bool ok = i % 3 == 2 ? line[i] == '-' : isUpperHex(line[i]);
        if (!ok) return false;
    }
    const std::string_view rest = trimBlanks(line.substr(8));
    constexpr std::string_view kMarker = "(hex)";
    if (rest.substr(0, kMarker.size()) != kMarker) return false;
    out.prefix.assign(line.substr(0, 8));
    std::replace(out.prefix.begin(), out.prefix.end(), '-', ':');
    out.name = utf8ToWindows1252(trimBlanks(rest.substr(kMarker.size())));
    return true;
}

int fail(const std::string& message) {
    std::cerr << "make_vlident: " << message << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return fail("usage: make_vlident OUI_TXT OUTPUT");
    const std::filesystem::path input = argv[1];
    const std::filesystem::path output = argv[2];

    std::ifstream in(input, std::ios::binary);
    if (!in) return fail("cannot read " + input.string());
    std::vector<Assignment> assignments;
    std::string line;
    Assignment assignment;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (parseAssignment(line, assignment)) assignments.push_back(assignment);
    }
    if (in.bad()) return fail("cannot read " + input.string());
    if (assignments.empty()) return fail(input.string() + " holds no MA-L assignment");

    std::stable_sort(assignments.begin(), assignments.end(),
                     [](const Assignment& a, const Assignment& b) { return a.prefix < b.prefix; });

    // Written beside the target and renamed, so a failed run leaves no half list behind.
    const std::filesystem::path temporary = output.string() + ".part";
    std::error_code ec;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const Assignment& a : assignments) out << a.prefix << a.name << "\r\n";
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return fail("cannot write " + temporary.string());
        }
    }
    std::filesystem::rename(temporary, output, ec);
    if (ec) return fail("cannot write " + output.string() + ": " + ec.message());
    return 0;
}
