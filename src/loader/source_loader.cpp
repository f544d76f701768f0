#include "loader/source_loader.h"

#include <cstring>
#include <optional>

#include "loader/record_line.h"
#include "records/block_writer.h"
#include "records/file_error.h"
#include "records/line_reader.h"
#include "records/record_writer.h"
#include "records/working_record.h"

namespace velmora {

namespace {

constexpr std::string_view kTextFormat = "# $Format: wi-scan with extensions";
constexpr std::string_view kSummaryFormat = "# $Format: wi-scan summary with extensions";
// Longer than either format line: enough to tell, without reading a long first line whole.
constexpr std::size_t kHeaderLimit = 64;

constexpr const char* kLoaded = "Processing Done!";
constexpr const char* kBadFile = "Bad File - Try Again";
constexpr const char* kNotReadable = "File Not Readable - Try Again";
constexpr const char* kWorkingFileError = "Working File Error - Check Folder";

LoadResult failure(LoadStatus status, const char* report, std::string reason = {}) {
    LoadResult result;
    result.status = status;
    result.report = report;
    result.reason = std::move(reason);
    return result;
}

// Reads lines 1 and 2. Returns the source type, or nothing for a file that is not a log.
std::optional<SourceType> readFormat(LineReader& reader) {
    std::string line;
    bool complete = true;
    if (!reader.nextBounded(line, kHeaderLimit, complete)) return std::nullopt;
    if (!reader.nextBounded(line, kHeaderLimit, complete) || !complete) return std::nullopt;
    if (line == kTextFormat) return SourceType::TextExport;
    if (line == kSummaryFormat) return SourceType::SummaryExport;
    return std::nullopt;
}

// Turns one data line into a record: tabs separate the columns, spaces and parentheses go,
// columns after the eleventh are dropped and missing ones stay empty.
void normalise(std::string_view line, WorkingRecord& record) {
    std::size_t column = 0;
    for (auto& field : record.fields) field.clear();
    std::string* field = &record.fields[0];
    for (char c : line) {
        switch (c) {
            case '\t':
                if (++column >= WorkingRecord::kFieldCount) return;
                field = &record.fields[column];
                break;
            case ' ':
            case '(':
            case ')':
                break;
            default:
                field->push_back(c);
        }
    }
}

// Whether `item` is a hemisphere letter, `positive` or `negative` in either case, one or more
// spaces and a decimal number (digits, optionally "." and digits) not greater than `limit`
// and, unless `zeroAllowed`, not zero. The digits are compared as they stand: nothing is
// parsed into a floating-point number, so nothing is rounded.
bool isCoordinate(std::string_view item, char positive, char negative, bool zeroAllowed,
                  unsigned limit) {
    const std::size_t size = item.size();
    if (size < 3 || item[1] != ' ') return false;
    const char letter = static_cast<char>(item[0] & ~0x20);  // a lower-case letter as upper
    if (letter != positive && letter != negative) return false;
    const auto isDigit = [&item](std::size_t at) { return item[at] >= '0' && item[at] <= '9'; };
    std::size_t p = 2;
    while (p < size && item[p] == ' ') ++p;
    const std::size_t wholeStart = p;
    while (p < size && isDigit(p)) ++p;
    const std::size_t wholeEnd = p;
    if (wholeEnd == wholeStart) return false;
    std::size_t fractionStart = p;
    if (p < size) {
        if (item[p] != '.') return false;
        fractionStart = ++p;
        while (p < size && isDigit(p)) ++p;
        if (p == fractionStart || p != size) return false;
    }
    std::size_t w = wholeStart;
    while (w < wholeEnd && item[w] == '0') ++w;
    if (wholeEnd - w > 3) return false;  // a thousand degrees or more
    unsigned degrees = 0;
    for (; w < wholeEnd; ++w) degrees = degrees * 10 + static_cast<unsigned>(item[w] - '0');
    const bool wholeDegrees =
        item.substr(fractionStart).find_first_not_of('0') == std::string_view::npos;
    if (degrees == 0 && wholeDegrees) return zeroAllowed;
    return degrees < limit || (degrees == limit && wholeDegrees);
}

}  // namespace

const char* sourceTypeText(SourceType type) {
    return type == SourceType::TextExport ? "NS1 Text Export" : "NS1 Summary Export";
}

bool isCommentLine(std::string_view line) {
    return !line.empty() && line.front() == '#';
}

bool isNonGpsEntry(std::string_view line) {
    if (line.size() > kDataLineLimit) return true;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return true;
    const std::string_view longitude = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
    return !isCoordinate(line.substr(0, tab), 'N', 'S', false, 90) ||
           !isCoordinate(longitude, 'E', 'W', true, 180);
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

LoadResult loadSourceLog(const std::filesystem::path& log, const WorkingFiles& files) {
    // One open file serves the format check and the data pass, so the file that was checked
    // is the file that is loaded, even if another one takes its name meanwhile.
    std::optional<LineReader> reader;
    std::optional<SourceType> type;
    try {
        reader.emplace(log);
        type = readFormat(*reader);
        if (type) reader->rewind();
    } catch (const FileError& e) {
        return failure(LoadStatus::NotReadable, kNotReadable, e.what());
    }
    if (!type) return failure(LoadStatus::BadFile, kBadFile);

    LoadResult result;
    result.type = *type;
    const auto output1 = files.output1();
    const auto output2 = files.output2();
    try {
        const OldWorkingFiles old(files);
        // output2 is the same bytes as output1: both are written from each block, on a
        // thread of their own while the next block is made.
        TextFileWriter out1(output1);
        TextFileWriter out2(output2);
        BlockWriter block({&out1, &out2});

        std::string_view line;
        bool complete = true;
        std::string recordLine;
        WorkingRecord record;
        while (reader->nextView(line, kDataLineLimit, complete)) {
            // A line too long to hold is read past; it is data unless it is a comment.
            if (!complete) {
                result.counts.dropped += !isCommentLine(line);
                continue;
            }
            if (isCommentLine(line) || isBlankLine(line)) continue;
            if (isNonGpsEntry(line)) {
                ++result.counts.dropped;
                continue;
            }
            char* const at =
                block.reserve(line.size() + record_line::kGrowth + record_line::kSlack);
            if (char* const end = record_line::write(line, at, result.counts)) {
                block.commit(end);
                continue;
            }
            // A name with a comma or a quote: the item is stored quoted.
            normalise(line, record);
            if (record[WorkingRecord::SSID].empty())
                record[WorkingRecord::SSID] = record_line::kBlankName;
            recordLine.clear();
            appendRecordLine(recordLine, record);
            char* const to = block.reserve(recordLine.size());
            std::memcpy(to, recordLine.data(), recordLine.size());
            block.commit(to + recordLine.size());
            record_line::count(record[WorkingRecord::Flags], result.counts);
        }
        block.finish();
        out1.close();
        out2.close();
    } catch (const FileError& e) {
        removeWorkingFile(output1);
        removeWorkingFile(output2);
        const bool logFailed = e.path() == log;
        return failure(logFailed ? LoadStatus::NotReadable : LoadStatus::WorkingFileError,
                       logFailed ? kNotReadable : kWorkingFileError, e.what());
    }
    setHiddenAttribute(output1);
    result.status = LoadStatus::Loaded;
    result.report = kLoaded;
    return result;
}

}  // namespace velmora
