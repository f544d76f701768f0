// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the fuzz targets: a scratch file per process and plain reference readers that
// state the file rules the simple way, for the optimised readers to be checked against.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::fuzz {

// A folder of this process's own, made on first use and reused by every input.
const std::filesystem::path& scratchFolder();

// Writes `bytes` to `name` in the scratch folder and returns its path.
std::filesystem::path scratchFile(std::string_view name, std::string_view bytes);

// The whole content of a file ("" for one that cannot be read).
std::string readAll(const std::filesystem::path& path);

// The lines of a file: CR LF, a lone CR and a lone LF each end one; the last needs none.
std::vector<std::string> referenceLines(std::string_view bytes);

// The items one line of a working record file carries (none for an empty line).
std::vector<std::string> referenceItems(std::string_view line);

// Every record of a working record file: its items in elevens, the last one padded.
std::vector<std::vector<std::string>> referenceRecords(std::string_view bytes);

// Whether a data line of a log (not a comment, not blank) carries a GPS position: at most
// 65,536 bytes, a first column of "N" or "S" (either case), spaces and a number that is not
// zero and at most 90, and a second column of "E" or "W" (either case), spaces and a number
// at most 180, each number being digits, optionally "." and digits.
bool referenceHasPosition(std::string_view line);

// The tab-separated columns of a data line, as they stand.
std::vector<std::string> referenceColumns(std::string_view line);

// A coordinate in an export line: one leading `positive` letter (either case) goes, then one
// leading `negative` letter (either case) becomes "-".
std::string referenceSigned(std::string value, char positive, char negative);

// The export line of a record: its coordinates signed, every item holding ";" or a double
// quote quoted with its quotes doubled, the items joined by ";", and CR LF.
using Record = std::vector<std::string>;
std::string referenceExportLine(Record record);

// An export file of a working record file's bytes: the header, then the export line of each
// record (as referenceRecords reads them) that `passes`, after `change`.
std::string referenceExport(std::string_view workingBytes,
                            const std::function<bool(const Record&)>& passes,
                            const std::function<void(Record&)>& change = {});

// Stops the fuzzer with a message naming the broken rule (libFuzzer saves the input).
[[noreturn]] void fail(const char* what);
inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

}  // namespace velmora::fuzz
