// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "records/working_record.h"

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

// The check an extras line carries of its record, so that a line is never paired with another
// record: a hash of the record's items joined by "," (which is the record line itself, line end
// aside, when no item is quoted). Not kept between machines: the extras file is remade with
// its records by every load.
std::uint32_t recordCheck(std::string_view joinedItems);
// The same for a record as read; `scratch` joins items that do not stand in one run.
std::uint32_t recordCheck(const RecordFields& fields, std::string& scratch);

// An extras line: "Check,SNR,Sig,Noise,Date" and CR LF, the check recordCheck's eight
// lower-case hexadecimal digits, each number in decimal or empty where the log's was
// unreadable, the date "YYYY-MM-DD" or empty ("3f0a91c2,23,72,49,2004-06-05",
// "0000beef,-9,,49,"). The loader writes them (record_line::writeExtras); no line is longer
// than this, line end included.
inline constexpr std::size_t kExtrasCheckLength = 8;
inline constexpr std::size_t kExtrasLineLimit = kExtrasCheckLength + 1 + 3 * 11 + 3 + 10 + 2;
// Writes the check and the comma after it at `out`; returns their end.
char* writeExtrasCheck(std::uint32_t check, char* out);
// The check an extras line (without its line end) starts with; nothing for a line that starts
// otherwise.
std::optional<std::uint32_t> extrasCheckOf(std::string_view line);
// The extras an extras line (without its line end) holds. A line of any other shape gives
// empty extras, so that one damaged line costs that record its extras and nothing more;
// `date` views `line`.
RecordExtras parseExtras(std::string_view line);

// Whether `date` is a well-formed "YYYY-MM-DD": four digits, a month 01 to 12 and a day 01 to
// 31, joined by "-".
bool isExtrasDate(std::string_view date);

// Reads the extras file of a working record file line by line, in step with its records. A
// missing, unreadable or short extras file is no failure: a record it has no line for gets
// empty extras. A line whose check is not its record's (a line added, lost or from another
// load) ends the reading: that record and every later one get empty extras, so a record is
// never paired with another record's extras.
class ExtrasReader {
  public:
    explicit ExtrasReader(const std::filesystem::path& workingFile);
    ~ExtrasReader();
    ExtrasReader(const ExtrasReader&) = delete;
    ExtrasReader& operator=(const ExtrasReader&) = delete;

    // The extras of the next record, whose items are `record`; the date views the reader's
    // buffer until the next call.
    RecordExtras next(const RecordFields& record);

  private:
    struct Lines;
    std::unique_ptr<Lines> lines_;  // null once the file is missing, unreadable, read out or
                                    // out of step
    std::string scratch_;           // a record's items joined, when they stand apart
};

}  // namespace velmora
