#include "loader/source_loader.h"

#include <cstring>
#include <optional>

#include "loader/record_line.h"
#include "records/block_writer.h"
#include "records/file_error.h"
#include "records/interrupt_cleanup.h"
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

}  // namespace

const char* sourceTypeText(SourceType type) {
    return type == SourceType::TextExport ? "NS1 Text Export" : "NS1 Summary Export";
}

bool isCommentLine(std::string_view line) {
    return !line.empty() && line.front() == '#';
}

bool isNonGpsEntry(std::string_view line) {
    // Characters 3 to 5; a shorter line is judged by the last three of its first five.
    const std::string_view head = line.substr(0, 5);
    const std::string_view key = head.size() > 3 ? head.substr(head.size() - 3) : head;
    return key == "0.0";
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

    std::optional<WorkingFolderLock> ownLock;
    if (!WorkingFolderLock::heldHere(files)) {
        ownLock.emplace(files);
        switch (ownLock->tryLock()) {
            case WorkingFolderLock::Status::Held:
                break;
            case WorkingFolderLock::Status::InUse:
                return failure(LoadStatus::InUse, kFileInUse);
            case WorkingFolderLock::Status::Error:
                return failure(LoadStatus::WorkingFileError, kWorkingFileError, ownLock->reason());
        }
    }

    LoadResult result;
    result.type = *type;
    const auto output1 = files.output1();
    const auto output2 = files.output2();
    // Only files this load created are deleted after a failure: a name that could not be
    // replaced is another file's.
    std::optional<InterruptCleanup> made1, made2;
    try {
        const OldWorkingFiles old(files);
        // output2 is the same bytes as output1: both are written from each block, on a
        // thread of their own while the next block is made.
        TextFileWriter out1(output1);
        made1.emplace(output1);
        TextFileWriter out2(output2);
        made2.emplace(output2);
        BlockWriter block({&out1, &out2});

        std::string_view line;
        std::string recordLine;
        WorkingRecord record;
        while (reader->nextView(line)) {
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
        out1.makeReadOnly();
        out1.close();
        out2.close();
    } catch (const FileError& e) {
        if (made1) removeWorkingFile(output1);
        if (made2) removeWorkingFile(output2);
        const bool logFailed = e.path() == log;
        return failure(logFailed ? LoadStatus::NotReadable : LoadStatus::WorkingFileError,
                       logFailed ? kNotReadable : kWorkingFileError, e.what());
    }
    made1->release();
    made2->release();
    result.status = LoadStatus::Loaded;
    result.report = kLoaded;
    return result;
}

}  // namespace velmora
