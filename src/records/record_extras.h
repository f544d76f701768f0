// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// What the loader keeps of each sighting beside its working record: the three numbers of the
// source log's "[ SNR Sig Noise ]" column, which output1 joins into one item ("[237249]"), and
// the date of the latest "# $DateGMT: YYYY-MM-DD" line above the sighting. They live in a file
// of their own, one line per record of output1 in the same order, so output1 keeps its layout.
//
// This struct is what a sighting carries beyond its record, for every reader: the walks hand it
// over in Sighting::extras (sightings/sighting.h), the map formats and the map read it through
// describeRecord (sightings/map_point.h). To add a value (a full time, a signal in dBm, ...):
// add the member here and its field at the end of the extras line (parseExtras and the reader's
// fast parse below, kExtrasLineLimit, and each log reader's writer of the line); then give it
// to the map point in describeRecordInto and keep it with an access point's strongest
// sighting (sightings/strongest_sightings.cpp); each map format then writes it.
struct RecordExtras {
    std::optional<int> snr;
    std::optional<int> signal;
    std::optional<int> noise;
    std::string_view date;  // "YYYY-MM-DD", or empty where no date line stands above
};

// The extras file of a working record file: its name with ".extras" added ("output1.extras").
std::filesystem::path extrasFileOf(const std::filesystem::path& workingFile);

// An extras line: "SNR,Sig,Noise,Date" and CR LF, each number in decimal or empty where the
// log's was unreadable, the date "YYYY-MM-DD" or empty ("23,72,49,2004-06-05", "-9,,49,").
// The loader writes them (record_line::writeExtras); no line is longer than this, line end
// included.
inline constexpr std::size_t kExtrasLineLimit = 3 * 11 + 3 + 10 + 2;
// The extras an extras line (without its line end) holds. A line of any other shape gives
// empty extras, so that one damaged line costs that record its extras and nothing more;
// `date` views `line`.
RecordExtras parseExtras(std::string_view line);

// Whether `date` is a well-formed "YYYY-MM-DD": four digits, a month 01 to 12 and a day 01 to
// 31, joined by "-".
bool isExtrasDate(std::string_view date);

// Reads the extras file of a working record file line by line, in step with its records. A
// missing, unreadable or short extras file is no failure: a record it has no line for gets
// empty extras, so a record is never paired with another record's extras.
class ExtrasReader {
  public:
    explicit ExtrasReader(const std::filesystem::path& workingFile);
    ~ExtrasReader();
    ExtrasReader(const ExtrasReader&) = delete;
    ExtrasReader& operator=(const ExtrasReader&) = delete;

    // The extras of the next record; the date views the reader's buffer until the next call.
    RecordExtras next();

  private:
    struct Lines;
    std::unique_ptr<Lines> lines_;  // null once the file is missing, unreadable or read out
};

}  // namespace velmora
