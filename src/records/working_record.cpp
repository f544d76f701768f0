#include "records/working_record.h"

namespace velmora {

void upperAsciiInPlace(char* text, std::size_t size) {
    for (char* const end = text + size; text != end; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

void upperAsciiInPlace(std::string& text) {
    upperAsciiInPlace(text.data(), text.size());
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    upperAsciiInPlace(out);
    return out;
}

bool equalsUpperAscii(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

}  // namespace velmora
