#include "records/working_record.h"

namespace velmora {

void upperAsciiInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    upperAsciiInPlace(out);
    return out;
}

char lastChar(std::string_view flags) { return flags.empty() ? '\0' : flags.back(); }

char secondFromRight(std::string_view flags) {
    if (flags.empty()) return '\0';
    return flags.size() == 1 ? flags[0] : flags[flags.size() - 2];
}

}  // namespace velmora
