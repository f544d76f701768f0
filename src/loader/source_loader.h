// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "loader/log_formats.h"
#include "records/working_files.h"

namespace velmora {

// "NS1 Text Export", "NS1 Summary Export", "NS1 Binary Log" or "WiGLE CSV", as the main window
// shows the source type.
const char* sourceTypeText(SourceType type);

struct LoadCounts {
    std::uint64_t total = 0;
    std::uint64_t dropped = 0;
    std::uint64_t wepOff = 0;
    std::uint64_t wepOn = 0;
    std::uint64_t infrastructure = 0;
    std::uint64_t adHoc = 0;
    // Sightings of other radios (Bluetooth, cell towers) a log holds beside Wi-Fi: skipped.
    std::uint64_t otherRadios = 0;

    LoadCounts& operator+=(const LoadCounts& more) {
        total += more.total;
        dropped += more.dropped;
        wepOff += more.wepOff;
        wepOn += more.wepOn;
        infrastructure += more.infrastructure;
        adHoc += more.adHoc;
        otherRadios += more.otherRadios;
        return *this;
    }
};

enum class LoadStatus {
    Loaded,            // the working record file is complete and the counts are valid
    BadFile,           // not a known source log; nothing was touched
    NotReadable,       // the source log could not be opened or read
    WorkingFileError,  // a working file could not be written; none is left behind
    InUse,             // another user holds the working folder; nothing was touched
};

struct LoadResult {
    LoadStatus status = LoadStatus::BadFile;
    SourceType type = SourceType::TextExport;
    LoadCounts counts;
    std::string report;  // the status line's text: "Processing Done!", "Bad File - Try Again", ...
    std::string reason;  // for a failure: the file and the system's reason
    // For a log loaded whose reader stopped early: where and why ("the file is cut short in
    // access point 3 of 12"); the records before it are loaded. Empty otherwise.
    std::string damage;
};

// Takes the working folder's lock into `own`, unless this program holds it already: nothing,
// or the failure to report (in use by another user, or the folder's error with its reason).
std::optional<LoadResult> lockWorkingFolder(const WorkingFiles& files,
                                            std::optional<WorkingFolderLock>& own);

// The longest data line that is loaded, without its line end. A longer one is read past
// without being held and counted as a non-GPS entry.
inline constexpr std::size_t kDataLineLimit = 1 << 16;

// The line tests, exposed for the tests and the fuzzers.
bool isCommentLine(std::string_view line);
bool isBlankLine(std::string_view line);
// A data line carries a GPS position when it is at most kDataLineLimit bytes long, its first
// column is "N" or "S" (either case), spaces and a latitude that is neither zero nor above 90,
// and its second column is "E" or "W" (either case), spaces and a longitude not above 180;
// the numbers are digits, optionally "." and digits. Any other data line ("N 0.0000000", the
// scanner's mark for no fix, and whatever is not a position) is a non-GPS entry.
bool isNonGpsEntry(std::string_view line);

// Opens the source log, tells its format from its first bytes (log_formats.h) and, when it is
// one, writes the working record file, its scratch copy and its extras file in `files.folder`
// and counts the records, in one pass over the log: each data line with a GPS position becomes
// the record line record_line::normalise defines, and the extras line of its signal column
// (record_line::readSignalBlock) and of the latest date line above it
// (record_line::dateLineDate). A log read by a LogReader goes the same way: each sighting as
// the wi-scan data line that says the same (sighting_line.h), with the extras only it gives;
// an entry without a position is a non-GPS entry, one of another radio is counted apart. A
// file its reader refuses is a BadFile, with the reader's reason. A failure never leaves a
// half-written working file.
//
// The load runs under the working folder's lock: the caller's, when this process holds it
// (the main window and the batch tool hold it for as long as they use the working files),
// else a lock taken for the load alone. When another user holds it the result is InUse and
// "File In Use - Close Other Copy". Working files are created new, never written through a
// link or a file that could not be replaced; while they are written an interrupt deletes them
// (see cleanupOnInterrupt()).
LoadResult loadSourceLog(const std::filesystem::path& log, const WorkingFiles& files);

// Decides, sighting by sighting, which of a log's sightings a load keeps (a survey of many logs
// keeps each sighting once). The load shows each sighting it would keep to see(): its wi-scan
// data line and its date ("YYYY-MM-DD" or empty). It then builds the sighting's record line,
// record check and extras line before it asks admit(), so that what admit() reads may be
// fetched from memory meanwhile.
class SightingAdmission {
  public:
    virtual ~SightingAdmission() = default;
    virtual void see(std::string_view line, std::string_view date) = 0;
    // Whether the sighting seen last is kept.
    virtual bool admit() = 0;

    // Hints for one that looks keys up in memory, so that it can fetch a batch of them at
    // once: the data line `line` may be among those see() is shown next, in the order of these
    // calls, and stays where it is until then (false: no more are taken for now); fetch() ends
    // a batch; forget() says that the lines expected and not yet shown have gone from there.
    virtual bool expect(std::string_view line) {
        (void)line;
        return false;
    }
    virtual void fetch() {}
    virtual void forget() {}
};

class BlockWriter;
class LineReadAhead;

// Reads `log` as loadSourceLog() does, but appends its record lines to `records` and their
// extras lines to `extras` instead of making the working files; a sighting `admit` turns away
// (none when null) is neither written nor counted, but added to `refused`. Takes no lock and
// protects no file. A log that cannot be read, wholly or in part, is NotReadable; a failure
// to write throws the writers' FileError. What was written before a failure is the caller's
// to take back. With `shared`, a wi-scan log is read through its buffers, which one log after
// another then reuses.
LoadResult readSourceLog(const std::filesystem::path& log, BlockWriter& records,
                         BlockWriter& extras, SightingAdmission* admit, std::uint64_t& refused,
                         LineReadAhead* shared = nullptr);

}  // namespace velmora
