#include "records/record_extras.h"

#include <algorithm>
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
    RecordExtras extras;
    const char* p = line.data();
    const char* const end = p + line.size();
    for (std::optional<int>* const number : {&extras.snr, &extras.signal, &extras.noise}) {
        const char* const comma = std::find(p, end, ',');
        if (comma == end) return {};
        if (comma != p) {
            *number = parseNumber(std::string_view(p, static_cast<std::size_t>(comma - p)));
            if (!*number) return {};
        }
        p = comma + 1;
    }
    // A date holds no comma: a fifth item fails here too.
    const std::string_view date(p, static_cast<std::size_t>(end - p));
    if (!date.empty() && !isExtrasDate(date)) return {};
    extras.date = date;
    return extras;
}

struct ExtrasReader::Lines {
    // Extras lines are short, and the export reads them beside the records: small chunks keep
    // the export's memory down.
    static constexpr std::size_t kChunkSize = 1 << 16;
    explicit Lines(const std::filesystem::path& file) : reader(file, kChunkSize) {}
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
