// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "export/export_format.h"
#include "export/selection.h"

namespace velmora {

// The five exports of the main window: Convert All and the four quick sorts.
enum class MainExport { ConvertAll, Locked, Open, Infrastructure, AdHoc };

struct MainExportInfo {
    const char* prefix;      // "FullConvert_", "LOCKED_", ...
    const char* completion;  // the status line's text once the file is written
    bool beeps;              // the quick sorts sound the alert beep; Convert All does not
};

const MainExportInfo& mainExportInfo(MainExport kind);

// Whether the export writes a record with this `Flags` value.
bool mainExportPasses(MainExport kind, std::string_view flags);

// The records the export writes, as they are read; none is upper-cased.
RecordSelection mainExportSelection(MainExport kind);

// Writes the export into `folder`, named by its prefix and the loaded log's file name
// (without its folder). Returns the path written; throws FileError.
std::filesystem::path runMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                    const std::filesystem::path& folder,
                                    const std::string& logFileName);
// The same export written as `style` asks, named by mainExportFileName for its format (a KML
// file's Document is named after the log unless the style names it).
std::filesystem::path runMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                    const std::filesystem::path& folder,
                                    const std::string& logFileName, const ExportStyle& style);

// What writeMainExport wrote: the file and its number of points (one per record written, or
// per access point where the style asks for one pin per access point).
struct MainExportWritten {
    std::filesystem::path target;
    std::uint64_t points = 0;
};
// runMainExport, telling how many points it wrote.
MainExportWritten writeMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                  const std::filesystem::path& folder,
                                  const std::string& logFileName, const ExportStyle& style);

}  // namespace velmora
