// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "export/export_format.h"
#include "records/vendor_list.h"
#include "records/working_files.h"

namespace velmora::batch {

// What every command of the batch tool works on: the loaded log's working files, where
// exports go, and where the vendor list is.
struct Context {
    WorkingFiles files;
    std::filesystem::path outFolder;
    std::filesystem::path vendorList;
    std::string logFileName;  // the loaded log's name without its folder
    std::ostream& out;
    std::ostream& err;
    // How every export of the run is written (--format, --per-ap); see exportStyle().
    ExportStyle style = {};
    std::optional<VendorList> vendors = {};  // read for the first map export, where present
    bool vendorsRead = false;
};

// The style every export command writes with: the run's format and pins, the log's name as
// a KML Document's, and for a map format the vendor list, read once where it can be (a
// missing list leaves the points without vendor and fails no export).
const ExportStyle& exportStyle(Context& context);

// The words after a command's name, taken one by one.
class Args {
  public:
    Args(std::vector<std::string> words) : words_(std::move(words)) {}

    bool done() const { return pos_ >= words_.size(); }
    const std::string& peek() const { return words_[pos_]; }
    // The next word as a command's value; nothing when the words are used up.
    std::optional<std::string> take();
    // "--name VALUE" when it stands next; the value, or nothing when absent. A missing
    // value throws UsageError.
    std::optional<std::string> takeOption(const std::string& name);

  private:
    std::vector<std::string> words_;
    std::size_t pos_ = 0;
};

struct UsageError {
    std::string message;
};

// A MAC address as a command takes it: six two-digit hex groups joined by ":", in any letter
// case; returned upper-cased, as the windows' lists hold it. Another form throws UsageError.
std::string macAddressArgument(const std::string& word);

// Where an export named `fileName` goes: inside --out. Nothing, with the report on stderr,
// when the name would reach outside it.
std::optional<std::filesystem::path> exportTarget(Context& context, const char* command,
                                                  const std::string& fileName);

// A command returns the tool's exit status: 0 when it did its work.
using CommandFn = int (*)(Context&, Args&);

struct Command {
    const char* name;
    CommandFn run;
};

// Every command the tool knows, in the order the usage lists them.
const std::vector<Command>& commands();

// Command handlers, one file per family.
int convertAll(Context&, Args&);
int quickLocked(Context&, Args&);
int quickOpen(Context&, Args&);
int quickInfrastructure(Context&, Args&);
int quickAdHoc(Context&, Args&);
int apNameGroups(Context&, Args&);
int apNameExport(Context&, Args&);
int listAccessPoints(Context&, Args&);
int exportMac(Context&, Args&);
int showVendor(Context&, Args&);
int criteriaMatching(Context&, Args&);
int criteriaExport(Context&, Args&);

}  // namespace velmora::batch
