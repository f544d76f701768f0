// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "loader/source_loader.h"
#include "records/flags.h"
#include "records/record_extras.h"
#include "records/working_record.h"

// How the loader turns one data line into its record line: the rule written plainly
// (normalise), and the builders that make the same line without splitting it into items.
// Internal to the loader; declared here for the tests.
namespace velmora::record_line {

constexpr std::string_view kBlankName = "#Blank#";

// The most a record line adds to its data line's length: the separators of missing columns,
// the blank name, the line end and the separator of a twelfth column written before the cut.
constexpr std::size_t kGrowth = WorkingRecord::kFieldCount + kBlankName.size() + 2 + 1;
// Bytes past the end of the record line that a builder may overwrite with scratch.
constexpr std::size_t kSlack = 32;

// The record of a data line with a GPS position: tabs separate the items, spaces and
// parentheses go, items after the eleventh are dropped, missing ones stay empty and an empty
// SSID becomes kBlankName. Its record line is what appendRecordLine writes of it.
void normalise(std::string_view line, WorkingRecord& record);

// Counts the record whose Flags item is `flags` (see records/flags.h).
inline void count(std::string_view flags, LoadCounts& counts) {
    counts.wepOff += flags::kCountedWepOff(flags);
    counts.wepOn += flags::kCountedWepOn(flags);
    counts.infrastructure += flags::kCountedInfrastructure(flags);
    counts.adHoc += flags::kCountedAdHoc(flags);
    ++counts.total;
}

// The network name of a data line exactly as the log writes it: its third column without the
// "( " before and the " )" after it (empty for "(  )"), or the whole column where it is not
// so enclosed; empty for a line with fewer columns.
std::string_view exactName(std::string_view line);

// The signal column of a data line, "[ SNR Sig Noise ]": the text after its sixth tab, up to
// the seventh tab or the line's end; empty for a line with fewer columns.
std::string_view signalColumn(std::string_view line);

// Writes the extras line (records/record_extras.h) of a data line whose record has the check
// `check` (recordCheck), whose signal column is `signal` (a view into `line`, as signalColumn
// gives it) and whose latest date line gave `date` (empty or a date isExtrasDate accepts) at
// `out`, which has room for kExtrasLineLimit bytes, and returns its end. Spaces part the column's
// numbers, and a "[" at the start and a
// "]" at the end of the column go. Each of the first three parts that is an optional "-" and
// one to nine digits is written as it stands; a missing or other part is left empty. The
// values a wi-scan line has no column for are `more`'s; without it they are empty but for the
// SSID, the line's exactName as UTF-8.
char* writeExtras(std::string_view line, std::string_view signal, std::string_view date,
                  std::uint32_t check, char* out, const RecordExtras* more = nullptr);

// For a comment line that starts with "# $DateGMT:": the date it gives, "# $DateGMT: " and a
// date isExtrasDate accepts, spaces and tabs after it allowed; an empty view for any other
// text after the prefix, which leaves the sightings below it undated. Nothing for every other
// line.
std::optional<std::string_view> dateLineDate(std::string_view line);

// The builders (record_line_builders.cpp). Each writes the record line of a data line that
// holds neither a comma nor a double quote (no item needs quotes) at `out`, which has room for
// line.size() + kGrowth + kSlack bytes, counts it and sets `signal` to its signal column (as
// signalColumn gives it, found on the way). Returns the end of the record line, or nullptr,
// having counted nothing, when the line needs the general path.
char* write(std::string_view line, char* out, LoadCounts& counts,
            std::string_view& signal);  // the fastest this CPU runs
char* writePortable(std::string_view line, char* out, LoadCounts& counts, std::string_view& signal);
// The vector builder, or nullptr where this CPU or build has none.
using Writer = char* (*)(std::string_view, char*, LoadCounts&, std::string_view&);
Writer vectorWriter();

}  // namespace velmora::record_line
