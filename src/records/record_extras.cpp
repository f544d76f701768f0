#include "records/record_extras.h"

#include <charconv>

#include "io/file_error.h"
#include "io/line_reader.h"

namespace velmora {

namespace {

// A whole decimal number ("-9", "72"), or nothing.
std::optional<int> parseNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::filesystem::path extrasFileOf(const std::filesystem::path& workingFile) {
    std::filesystem::path extras = workingFile;
    extras += ".extras";
    return extras;
}

bool isExtrasDate(std::string_view date) {
    const auto digits = [&](std::size_t at) { return isDigit(date[at]) && isDigit(date[at + 1]); };
    if (date.size() != 10 || !digits(0) || !digits(2) || date[4] != '-' || !digits(5) ||
        date[7] != '-' || !digits(8))
        return false;
    const int month = (date[5] - '0') * 10 + (date[6] - '0');
    const int day = (date[8] - '0') * 10 + (date[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

RecordExtras parseExtras(std::string_view line) {
    std::string_view items[4];
    std::size_t count = 0;
    for (std::size_t start = 0;; ++count) {
        const std::size_t comma = line.find(',', start);
        if (count == 3) {
            if (comma != std::string_view::npos) return {};
            items[3] = line.substr(start);
            break;
        }
        if (comma == std::string_view::npos) return {};
        items[count] = line.substr(start, comma - start);
        start = comma + 1;
    }
    RecordExtras extras;
    std::optional<int>* const numbers[] = {&extras.snr, &extras.signal, &extras.noise};
    for (std::size_t k = 0; k < 3; ++k) {
        if (items[k].empty()) continue;
        *numbers[k] = parseNumber(items[k]);
        if (!*numbers[k]) return {};
    }
    if (!items[3].empty() && !isExtrasDate(items[3])) return {};
    extras.date = items[3];
    return extras;
}

struct ExtrasReader::Lines {
    explicit Lines(const std::filesystem::path& file) : reader(file) {}
    LineReader reader;
};

ExtrasReader::ExtrasReader(const std::filesystem::path& workingFile) {
    try {
        lines_ = std::make_unique<Lines>(extrasFileOf(workingFile));
    } catch (const FileError&) {
        // No extras file: every record has empty extras.
    }
}

ExtrasReader::~ExtrasReader() = default;

RecordExtras ExtrasReader::next() {
    if (!lines_) return {};
    try {
        std::string_view line;
        bool complete = true;
        if (lines_->reader.nextView(line, kExtrasLineLimit, complete))
            return complete ? parseExtras(line) : RecordExtras{};
    } catch (const FileError&) {
        // An extras file that cannot be read on gives nothing more; the export goes on.
    }
    lines_.reset();
    return {};
}

}  // namespace velmora
