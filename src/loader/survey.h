// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "loader/source_loader.h"
#include "records/working_files.h"

// A survey: the working files of one or more logs, each sighting once.
namespace velmora {

// What makes two sightings one: the BSSID (as 48 bits; a BSSID that is no MAC address by a hash
// of its upper-cased text), the position in 10^-7 degrees (rounded to seven decimals), the time
// of day in seconds and the date. Packed exactly: `high` holds the BSSID and the time's low 16
// bits, `low` the longitude, the latitude and the time's 17th bit.
struct SightingKey {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    // Days since 1969-12-31 (1 is 1970-01-01), or kNoDate.
    std::uint16_t day = 0;
    static constexpr std::uint16_t kNoDate = 0;
    // Two keys name one sighting when all but the date agree and the dates agree where both
    // have one.
    bool sameSighting(const SightingKey& other) const {
        return high == other.high && low == other.low &&
               (day == kNoDate || other.day == kNoDate || day == other.day);
    }
    bool operator==(const SightingKey&) const = default;
};

// The key of a sighting from its latitude, longitude, BSSID and time texts as a data line's
// columns or a record's items hold them (spaces and parentheses ignored: "N 41.1234567",
// "N41.1234567", "( 00:0c:41:aa:bb:01 )", "12:01:05 (GMT)") and its date ("YYYY-MM-DD" or
// empty). A time that is no "H:MM:SS" counts as a time of its own, "no time"; a date outside
// 1970 to 2149 as none.
SightingKey sightingKey(std::string_view latitude, std::string_view longitude,
                        std::string_view bssid, std::string_view time, std::string_view date);
// The same from a wi-scan data line: its first, second, fifth and sixth columns read as the
// record's items are (without spaces and parentheses), so that a data line and its record
// give one key. The coordinates, BSSID and time as the scanner writes them are read in a few
// steps, any other column as sightingKey() reads it.
SightingKey sightingKeyOfLine(std::string_view line, std::string_view date);

// The keys of a survey's sightings in one flat table with open addressing, at most three
// quarters full (two thirds where reserved), its size any number of slots (a key's first slot is
// its hash scaled to the size). A slot is 20 bytes, in one piece so that a new key costs one read
// from memory: the key's two numbers (16 bytes), its day, the log that gave it and a one-byte tag
// of the key's hash (0: free), which a probe compares before the numbers. Keys that differ only in
// their dates stand in one probe run, so a key without a date finds them all. A table of 2 MiB or
// more lies in pages of that size where the system gives them, so that a look-up among
// millions of keys does not miss the processor's cache of page addresses as well; the system
// clears its pages on a thread of their own while the first keys go in.
class SightingKeys {
  public:
    SightingKeys() = default;
    ~SightingKeys();
    SightingKeys(const SightingKeys&) = delete;
    SightingKeys& operator=(const SightingKeys&) = delete;

    // Starts the keys of another log: admit() compares a key with those of earlier logs only.
    void nextLog();
    // Whether the key is no sighting of an earlier log; then it is held as the current log's
    // (unless that log gave the very same key already).
    bool admit(const SightingKey& key);
    // Starts fetching the slots admit(key) will read first, so that a caller with other work
    // to do meanwhile need not wait for memory.
    void prefetch(const SightingKey& key) const;
    // Reads the first slot admit(key) reads and gives its tag: a batch of these, one after the
    // other, waits for memory once rather than once each.
    std::uint8_t touch(const SightingKey& key) const;
    // Drops the keys the current log gave.
    void dropLog();
    // Room for `keys` keys in all without growing.
    void reserve(std::size_t keys);
    // Whether a key of the same sighting (SightingKey::sameSighting) is held.
    bool containsSighting(const SightingKey& key) const;
    std::size_t size() const { return size_; }
    std::size_t bytes() const;
    void clear();

  private:
    struct __attribute__((packed)) Slot {
        std::uint64_t high;
        std::uint64_t low;
        std::uint16_t day;
        std::uint8_t log;  // the log's mark: 0 for a key settled before the marks came round
        std::uint8_t tag;
    };
    static_assert(sizeof(Slot) == 20);

    static std::uint64_t hash(const SightingKey& key);
    std::size_t home(std::uint64_t hash) const;
    void place(const SightingKey& key, std::uint8_t log, std::size_t at, std::uint8_t tag);
    void rebuild(std::size_t slots, bool keepCurrent);
    void release();

    Slot* slots_ = nullptr;  // zeroed memory of count_ slots
    std::size_t count_ = 0;
    std::size_t size_ = 0;
    std::uint8_t log_ = 0;  // the current log's mark
    std::thread clearing_;  // has the system clear the table's pages, while it runs
};

// One log of a survey.
struct SurveyLog {
    std::filesystem::path path;
    SourceType type = SourceType::TextExport;
    LoadCounts counts;             // of the sightings it added
    std::uint64_t duplicates = 0;  // its sightings the survey held already
};

// A log an add left out, and why: `reason` empty for a file that is no survey log.
struct SkippedLog {
    std::filesystem::path path;
    std::string reason;
};

struct SurveyAddResult {
    // Loaded when at least one log was added; BadFile when none was (every file skipped);
    // InUse or WorkingFileError when the add failed as a whole. Only Loaded changes the survey.
    LoadStatus status = LoadStatus::BadFile;
    std::string report;  // the status line's text, as a load's
    std::string reason;  // for a failure as a whole: the file and the system's reason
    std::vector<SurveyLog> added;
    std::vector<std::filesystem::path> notLogs;  // files that are no survey logs
    std::vector<SkippedLog> failed;              // logs that could not be read whole
};

// A survey in one working folder. Each add is whole or nothing: the new records are written,
// after a copy of the survey's, into new files beside the working files (hidden names that an
// interrupt deletes), each log taken back from them if it cannot be read whole; the new files
// then replace the extras file, output2 and output1 in that order, each in one rename. Stopped
// at any point, the folder holds the old survey or the new, and output1's extras file at worst
// holds lines for records output1 does not yet have (which no reader reaches).
//
// Within one log nothing is compared: a log alone loads as loadSourceLog() loads it. A
// sighting of a later log that is the same sighting (SightingKey::sameSighting) as one of an
// earlier log is a duplicate: it is not written and is counted apart.
class Survey {
  public:
    explicit Survey(WorkingFiles files) : files_(std::move(files)) {}

    // The survey is the one log `log` that loadSourceLog() loaded into the working files. Its
    // keys are read from output1 when the first add needs them.
    void adopt(const std::filesystem::path& log, const LoadResult& loaded);
    // Adds each readable log of `logs` (in that order) whole; leaves the rest out, with the
    // reason. Runs under the working folder's lock, as loadSourceLog() does.
    SurveyAddResult add(const std::vector<std::filesystem::path>& logs);
    // Forgets every log (the working files are the caller's to remove).
    void clear();

    const std::vector<SurveyLog>& logs() const { return logs_; }
    bool empty() const { return logs_.empty(); }
    // The survey's counts: its logs' summed.
    LoadCounts counts() const;
    std::uint64_t duplicates() const;
    std::size_t keyBytes() const { return keys_.bytes(); }

  private:
    // Reads the adopted log's keys, with room for `moreKeys` more.
    void readKeys(std::size_t moreKeys);

    WorkingFiles files_;
    std::vector<SurveyLog> logs_;
    SightingKeys keys_;
    bool keysRead_ = true;  // false while the keys of an adopted log are still in output1
};

// The files of `folder` in name order, and with `recursive` those of its subfolders too (each
// folder's files before its subfolders'). Hidden files and folders (a name starting with ".")
// are left out, as are links to folders. A subfolder that cannot be read is left out and added
// to `unreadable` with its reason, so that one locked folder keeps no other log out. Throws
// FileError when `folder` itself cannot be read.
std::vector<std::filesystem::path> filesInFolder(const std::filesystem::path& folder,
                                                 bool recursive,
                                                 std::vector<SkippedLog>& unreadable);

// "drive3.txt and 11 more logs", or the one log's name.
std::string surveyTitle(const std::vector<SurveyLog>& logs);

}  // namespace velmora
