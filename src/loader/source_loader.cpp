// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/source_loader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "io/block_writer.h"
#include "io/byte_scan.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/line_reader.h"
#include "io/protected_files.h"
#include "io/text_file_writer.h"
#include "loader/read_ahead_log.h"
#include "loader/record_line.h"
#include "loader/sighting_line.h"
#include "records/record_extras.h"
#include "records/record_writer.h"
#include "records/working_record.h"

namespace velmora {

namespace {

// The room taken at once in the extras file's block.
constexpr std::size_t kExtrasRoom = 1024 * kExtrasLineLimit;

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

// Reads a coordinate from `p`: a hemisphere letter, `positive` or `negative` in either case,
// one or more spaces and a decimal number (digits, optionally "." and digits) not greater
// than `limit` and, unless `zeroAllowed`, not zero. Returns the end of the number, or nullptr
// when there is no such coordinate. No number is parsed into a floating-point value, so
// nothing is rounded.
const char* readCoordinate(const char* p, const char* end, char positive, char negative,
                           unsigned limit, bool zeroAllowed) {
    if (end - p < 3 || p[1] != ' ') return nullptr;
    const char letter = static_cast<char>(p[0] & ~0x20);  // a lower-case letter as upper
    if (letter != positive && letter != negative) return nullptr;
    p += 2;
    while (p < end && *p == ' ') ++p;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* const digits = p;
    unsigned degrees = 0;  // stops growing past any limit
    for (; p < end && isDigit(*p); ++p)
        degrees = degrees < 1000 ? degrees * 10 + static_cast<unsigned>(*p - '0') : degrees;
    if (p == digits) return nullptr;
    bool wholeDegrees = true;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        for (; p < end && isDigit(*p); ++p) wholeDegrees = wholeDegrees && *p == '0';
        if (p == fraction) return nullptr;
    }
    if (degrees == 0 && wholeDegrees) return zeroAllowed ? p : nullptr;
    return degrees < limit || (degrees == limit && wholeDegrees) ? p : nullptr;
}

#ifdef __SSE2__

// The bytes of `bytes` from `first` to `first` + `span` (compared as unsigned distances from
// `first`), one bit each.
template <char first, char span>
inline unsigned bytesWithin(__m128i bytes) {
    const __m128i distance = _mm_sub_epi8(bytes, _mm_set1_epi8(first));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(distance, _mm_set1_epi8(span)), distance)));
}

template <char c>
inline unsigned bytesEqual(__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}

// Whether the column at `p` is a coordinate as the scanner writes it: a letter, one space, one
// to `wholeDigits` digits, "." and seven digits, followed by a tab, within `limit` and not
// zero unless `zeroAllowed`. Returns the byte after the tab, or nullptr when the column is
// anything else (which may still be a coordinate). Reads the 16 bytes at `p`.
template <char positive, char negative, unsigned wholeDigits, unsigned limit, bool zeroAllowed>
inline const char* readScannerCoordinate(const char* p) {
    const char letter = static_cast<char>(p[0] & ~0x20);
    if ((letter != positive && letter != negative) || p[1] != ' ') return nullptr;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned dots = bytesEqual<'.'>(bytes);
    if (!dots) return nullptr;
    const auto dot = static_cast<unsigned>(std::countr_zero(dots));
    // Whole digits from byte 2 to the dot, seven after it, then the tab.
    const unsigned shape = ((1u << dot) - 4) | (0x7Fu << (dot + 1));
    if (dot < 3 || dot > 2 + wholeDigits ||
        (bytesWithin<'0', 9>(bytes) & ((1u << (dot + 8)) - 1)) != shape ||
        !((bytesEqual<'\t'>(bytes) >> (dot + 8)) & 1))
        return nullptr;
    const bool wholeDegrees = !((bytesWithin<'1', 8>(bytes) >> (dot + 1)) & 0x7F);
    // Up to three whole digits; a place before the first digit counts as zero.
    unsigned degrees = static_cast<unsigned>(p[dot - 1] - '0');
    if (dot > 3) degrees += 10 * static_cast<unsigned>(p[dot - 2] - '0');
    if (dot > 4) degrees += 100 * static_cast<unsigned>(p[dot - 3] - '0');
    if (degrees == 0 && wholeDegrees) return zeroAllowed ? p + dot + 9 : nullptr;
    return degrees < limit || (degrees == limit && wholeDegrees) ? p + dot + 9 : nullptr;
}

#endif

// Shows an admission the data lines ahead of the one being read, a batch at a time, as far as
// the reader holds them whole.
class LookAhead {
  public:
    LookAhead(const LineReader& lines, SightingAdmission& admit) : lines_(lines), admit_(admit) {
        admit_.forget();
    }

    // After each line read: the lines after it, once few of those shown are left.
    void next() {
        const std::string_view rest = lines_.buffered();
        if (lines_.refills() != refills_ || !at_) {
            refills_ = lines_.refills();
            admit_.forget();
            at_ = rest.data();
        }
        if (std::less<const char*>()(at_, rest.data())) at_ = rest.data();
        if (static_cast<std::size_t>(at_ - rest.data()) >= kLow) return;
        const char* const end = rest.data() + rest.size();
        const char* const stop = rest.data() + std::min(rest.size(), kAhead);
        while (at_ < stop) {
            const char* const lineEnd = byte_scan::findLineEnd(at_, end);
            // A line not wholly read yet, or whose CR may be the first half of CR LF.
            if (lineEnd == end || (*lineEnd == '\r' && lineEnd + 1 == end)) break;
            const std::string_view line(at_, static_cast<std::size_t>(lineEnd - at_));
            if (!line.empty() && !isCommentLine(line) && !admit_.expect(line)) break;
            at_ = lineEnd + 1 + (*lineEnd == '\r' && lineEnd[1] == '\n');
        }
        admit_.fetch();
    }

  private:
    // How far ahead lines are shown, in bytes, and how few are left before more are.
    static constexpr std::size_t kAhead = 1 << 13;
    static constexpr std::size_t kLow = 1 << 10;

    const LineReader& lines_;
    SightingAdmission& admit_;
    std::uint64_t refills_ = 0;
    const char* at_ = nullptr;  // the first line not yet shown
};

// The entries of a log read by its reader: each sighting written by `direct` with `writer`,
// or, where that leaves it to its wi-scan data line, the line handed to `keep` as a data line
// read is, with its date and the extras only the reader gives.
template <typename Keep, typename Direct>
void readLog(LogReader& reader, NameBytes names, LoadCounts& counts, Keep& keep, Direct& direct) {
    using Outcome = sighting_line::RecordWriter::Outcome;
    sighting_line::RecordWriter writer(names);
    // The log is parsed on a thread of its own while its records are written.
    ReadAheadLog ahead(reader);
    // The line's room, kept from one sighting to the next: it grows only for a longer name.
    std::vector<char> text;
    char dateText[10];
    while (const LogEntry* const next = ahead.nextEntry()) {
        const LogEntry& entry = *next;
        switch (entry.kind) {
            case LogEntry::Kind::NoPosition:
                ++counts.dropped;
                continue;
            case LogEntry::Kind::OtherRadio:
                ++counts.otherRadios;
                continue;
            case LogEntry::Kind::Sighting:
                break;
        }
        const Outcome outcome = direct(writer, entry.sighting);
        if (outcome == Outcome::Written) continue;
        if (outcome == Outcome::NoFix) {
            ++counts.dropped;
            continue;
        }
        if (const std::size_t room = sighting_line::lineRoom(entry.sighting); text.size() < room)
            text.resize(room);
        const std::string_view line(
            text.data(),
            static_cast<std::size_t>(sighting_line::write(entry.sighting, names, text.data()) -
                                     text.data()));
        // A position that rounds to a latitude of zero is no fix, as in a wi-scan log.
        if (isNonGpsEntry(line)) {
            ++counts.dropped;
            continue;
        }
        const RecordExtras more = sighting_line::extrasOf(entry.sighting);
        keep(line, sighting_line::dateOf(entry.sighting.time, dateText), &more);
    }
}

}  // namespace

const char* sourceTypeText(SourceType type) {
    return logFormat(type).text;
}

bool isCommentLine(std::string_view line) {
    return !line.empty() && line.front() == '#';
}

bool isNonGpsEntry(std::string_view line) {
    if (line.size() > kDataLineLimit) return true;
#ifdef __SSE2__
    // The scanner writes every position alike ("N 41.1234567\tW 81.7500000\t"): such a line
    // is known at once. Every other line takes the full test.
    if (line.size() >= 32) {
        const char* const longitude = readScannerCoordinate<'N', 'S', 2, 90, false>(line.data());
        if (longitude && readScannerCoordinate<'E', 'W', 3, 180, true>(longitude)) return false;
    }
#endif
    const char* const end = line.data() + line.size();
    const char* p = readCoordinate(line.data(), end, 'N', 'S', 90, false);
    if (!p || p == end || *p != '\t') return true;
    p = readCoordinate(p + 1, end, 'E', 'W', 180, true);
    return !p || (p != end && *p != '\t');
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

namespace {

// The log opened for reading: a wi-scan log by the line reader that told its format, any other
// by its own reader.
struct OpenedLog {
    std::optional<LineReader> lines;
    const LogFormat* format = nullptr;
    std::unique_ptr<LogReader> reader;
};

// Opens `log` and tells its format. Nothing on success; else the failure, the working files
// untouched.
std::optional<LoadResult> openLog(const std::filesystem::path& log, OpenedLog& opened,
                                  LineReadAhead* shared = nullptr) {
    // One open file serves the format check and the data pass, so the file that was checked
    // is the file that is loaded, even if another one takes its name meanwhile.
    // A log read by a reader of its own is opened by that reader.
    try {
        if (shared)
            opened.lines.emplace(log, *shared);
        else
            opened.lines.emplace(log, kDefaultChunkSize, ChunkReader::Content::Unpacked);
        opened.format = recogniseLog(opened.lines->peek(kLogSniffLimit));
        if (opened.format && opened.format->open) {
            opened.lines.reset();
            try {
                opened.reader = opened.format->open(log);
            } catch (const FileError&) {
                throw;
            } catch (const std::exception& e) {
                return failure(LoadStatus::BadFile, kBadFile, e.what());
            }
            if (!opened.reader) opened.format = nullptr;
        }
    } catch (const FileError& e) {
        return failure(LoadStatus::NotReadable, kNotReadable, e.what());
    }
    if (!opened.format) return failure(LoadStatus::BadFile, kBadFile);
    return std::nullopt;
}

// Reads the opened log to its end: each sighting that `admit` takes (every one without it)
// goes to `block` as its record line and to `extrasBlock` as its extras line, and is counted
// in `result`; one it turns away is counted in `refused`. Throws FileError.
void readRecords(OpenedLog& opened, BlockWriter& block, BlockWriter& extrasBlock,
                 SightingAdmission* admit, LoadResult& result, std::uint64_t& refused) {
    result.type = opened.format->type;
    std::string recordLine;
    WorkingRecord record;
    char* extrasAt = nullptr;
    const char* extrasRoom = nullptr;
    // Room for many extras lines is taken at once.
    const auto takeExtrasRoom = [&] {
        if (static_cast<std::size_t>(extrasRoom - extrasAt) < kExtrasLineLimit) {
            extrasAt = extrasBlock.reserve(kExtrasRoom);
            extrasRoom = extrasAt + kExtrasRoom;
        }
    };
    // The same for a sighting `admit` decides on: its lines and counts are made first, and
    // kept only if it is taken.
    std::string scratch;
    const auto keepIfAdmitted = [&](std::string_view line, std::string_view date,
                                    const RecordExtras* more) {
        admit->see(line, date);
        char* const at = block.reserve(line.size() + record_line::kGrowth + record_line::kSlack);
        LoadCounts counts;
        std::string_view signal;
        std::uint32_t check;
        char* end = record_line::write(line, at, counts, signal);
        if (end) {
            check = recordCheck(std::string_view(at, static_cast<std::size_t>(end - at) - 2));
        } else {
            record_line::normalise(line, record);
            recordLine.clear();
            appendRecordLine(recordLine, record);
            record_line::count(record[WorkingRecord::Flags], counts);
            signal = record_line::signalColumn(line);
            RecordFields items;
            for (std::size_t k = 0; k < items.size(); ++k) items[k] = record.fields[k];
            check = recordCheck(items, scratch);
        }
        takeExtrasRoom();
        char* const extrasEnd = record_line::writeExtras(line, signal, date, check, extrasAt, more);
        if (!admit->admit()) {
            ++refused;
            return;
        }
        if (!end) {
            end = block.reserve(recordLine.size());
            std::memcpy(end, recordLine.data(), recordLine.size());
            end += recordLine.size();
        }
        block.commit(end);
        result.counts += counts;
        extrasAt = extrasEnd;
        extrasBlock.commit(extrasAt);
    };
    // A data line with a GPS position: its record line, its counts and its extras line.
    const auto keep = [&](std::string_view line, std::string_view date, const RecordExtras* more) {
        if (admit) {
            keepIfAdmitted(line, date, more);
            return;
        }
        char* const at = block.reserve(line.size() + record_line::kGrowth + record_line::kSlack);
        std::string_view signal;
        std::uint32_t check;
        if (char* const end = record_line::write(line, at, result.counts, signal)) {
            // No item is quoted: the record line, CR LF aside, is its items joined.
            check = recordCheck(std::string_view(at, static_cast<std::size_t>(end - at) - 2));
            block.commit(end);
        } else {
            // A name with a comma or a quote: the item is stored quoted.
            record_line::normalise(line, record);
            recordLine.clear();
            appendRecordLine(recordLine, record);
            char* const to = block.reserve(recordLine.size());
            std::memcpy(to, recordLine.data(), recordLine.size());
            block.commit(to + recordLine.size());
            record_line::count(record[WorkingRecord::Flags], result.counts);
            signal = record_line::signalColumn(line);
            RecordFields items;
            for (std::size_t k = 0; k < items.size(); ++k) items[k] = record.fields[k];
            check = recordCheck(items, recordLine);
        }
        takeExtrasRoom();
        extrasAt = record_line::writeExtras(line, signal, date, check, extrasAt, more);
        extrasBlock.commit(extrasAt);
    };
    using Outcome = sighting_line::RecordWriter::Outcome;
    // A log reader's sighting, written straight into its record and extras lines; where
    // sightings are admitted one by one, by its wi-scan data line instead, which the
    // admission reads.
    const auto direct = [&](sighting_line::RecordWriter& writer, const LogSighting& s) {
        if (admit) return Outcome::LinePath;
        char* end = nullptr;
        std::uint32_t check = 0;
        const auto outcome =
            writer.writeRecord(s, block.reserve(writer.recordRoom(s)), result.counts, end, check);
        if (outcome != Outcome::Written) return outcome;
        block.commit(end);
        takeExtrasRoom();
        extrasAt = writer.writeExtras(s, check, extrasAt);
        extrasBlock.commit(extrasAt);
        return outcome;
    };
    if (admit) admit->forget();
    if (opened.reader) {
        readLog(*opened.reader, opened.format->names, result.counts, keep, direct);
        result.damage = opened.reader->damage();
        return;
    }
    std::string_view line;
    bool complete = true;
    // The date of the latest date line read; the view is into `dateText`.
    char dateText[10];
    std::string_view date;
    std::optional<LookAhead> ahead;
    if (admit) ahead.emplace(*opened.lines, *admit);
    while (opened.lines->nextView(line, kDataLineLimit, complete)) {
        if (ahead) ahead->next();
        if (isCommentLine(line)) {
            // A date line too long to hold has no well-formed date.
            if (const auto dateLine = record_line::dateLineDate(line)) {
                const std::string_view given = complete ? *dateLine : std::string_view();
                std::copy(given.begin(), given.end(), dateText);
                date = std::string_view(dateText, given.size());
            }
            continue;
        }
        // A line too long to hold is read past; it is data.
        if (!complete) {
            ++result.counts.dropped;
            continue;
        }
        if (isBlankLine(line)) continue;
        if (isNonGpsEntry(line)) {
            ++result.counts.dropped;
            continue;
        }
        keep(line, date, nullptr);
    }
}

}  // namespace

LoadResult readSourceLog(const std::filesystem::path& log, BlockWriter& records,
                         BlockWriter& extras, SightingAdmission* admit, std::uint64_t& refused,
                         LineReadAhead* shared) {
    OpenedLog opened;
    if (auto failed = openLog(log, opened, shared)) return std::move(*failed);
    LoadResult result;
    try {
        readRecords(opened, records, extras, admit, result, refused);
    } catch (const FileError& e) {
        if (e.path() != log) throw;
        return failure(LoadStatus::NotReadable, kNotReadable, e.what());
    }
    result.status = LoadStatus::Loaded;
    result.report = kLoaded;
    return result;
}

std::optional<LoadResult> lockWorkingFolder(const WorkingFiles& files,
                                            std::optional<WorkingFolderLock>& own) {
    if (WorkingFolderLock::heldHere(files)) return std::nullopt;
    own.emplace(files);
    switch (own->tryLock()) {
        case WorkingFolderLock::Status::Held:
            break;
        case WorkingFolderLock::Status::InUse:
            return failure(LoadStatus::InUse, kFileInUse);
        case WorkingFolderLock::Status::Error:
            return failure(LoadStatus::WorkingFileError, kWorkingFileError, own->reason());
    }
    return std::nullopt;
}

LoadResult loadSourceLog(const std::filesystem::path& log, const WorkingFiles& files) {
    OpenedLog opened;
    if (auto failed = openLog(log, opened)) return std::move(*failed);

    std::optional<WorkingFolderLock> ownLock;
    if (auto failed = lockWorkingFolder(files, ownLock)) return std::move(*failed);

    LoadResult result;
    const auto output1 = files.output1();
    const auto output2 = files.output2();
    const auto extras = files.extras();
    // Only files this load created are deleted after a failure: a name that could not be
    // replaced is another file's.
    std::optional<InterruptCleanup> made1, made2, madeExtras;
    try {
        const OldWorkingFiles old(files);
        // output2 is the same bytes as output1: both are written from each block, on a
        // thread of their own while the next block is made. The extras file has a block
        // writer of its own, one line for each record line.
        TextFileWriter out1(output1);
        made1.emplace(output1);
        TextFileWriter out2(output2);
        made2.emplace(output2);
        TextFileWriter outExtras(extras);
        madeExtras.emplace(extras);
        BlockWriter block({&out1, &out2});
        BlockWriter extrasBlock({&outExtras});
        std::uint64_t refused = 0;
        readRecords(opened, block, extrasBlock, nullptr, result, refused);
        block.finish();
        extrasBlock.finish();
        out1.makeReadOnly();
        outExtras.makeReadOnly();
        out1.close();
        out2.close();
        outExtras.close();
    } catch (const FileError& e) {
        if (made1) removeWorkingFile(output1);
        if (made2) removeWorkingFile(output2);
        if (madeExtras) removeWorkingFile(extras);
        const bool logFailed = e.path() == log;
        return failure(logFailed ? LoadStatus::NotReadable : LoadStatus::WorkingFileError,
                       logFailed ? kNotReadable : kWorkingFileError, e.what());
    }
    made1->release();
    made2->release();
    madeExtras->release();
    // No export may now replace the log it came from.
    protectFile(ProtectedRole::LoadedLog, log);
    result.status = LoadStatus::Loaded;
    result.report = kLoaded;
    return result;
}

}  // namespace velmora
