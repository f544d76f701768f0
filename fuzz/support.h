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

// A coordinate in an export line: one leading `positive` letter goes, then one leading
// `negative` letter becomes "-".
std::string referenceSigned(std::string value, char positive, char negative);

// An export file of a working record file's bytes: the header, then each record (as
// referenceRecords reads them) that `passes`, after `change`, its coordinates signed and its
// items joined by ";", with CR LF.
using Record = std::vector<std::string>;
std::string referenceExport(std::string_view workingBytes,
                            const std::function<bool(const Record&)>& passes,
                            const std::function<void(Record&)>& change = {});

// Stops the fuzzer with a message naming the broken rule (libFuzzer saves the input).
[[noreturn]] void fail(const char* what);
inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

}  // namespace velmora::fuzz
