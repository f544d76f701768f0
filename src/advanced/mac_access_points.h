// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_format.h"
#include "export/selection.h"
#include "records/mac_address.h"
#include "records/vendor_list.h"
#include "records/working_record.h"

namespace velmora {

// The MAC window's logic: one AP entry per distinct access point and network name, the
// vendor of an entry, and the export of every sighting of one MAC address.

// An access point as the MAC window lists it: upper-cased BSSID, " - ", upper-cased SSID item,
// for example "0A:1B:2C:3D:4E:5F - HOMENET". Its first 17 characters are the MAC address.
std::string apEntry(const WorkingRecord& record);

// The distinct AP entries of the working record file in ascending byte order (by MAC address,
// then network name: network_name.h, so the exact name where the log gives one). Throws FileError
// when the file cannot be read.
std::vector<std::string> loadApEntries(const std::filesystem::path& workingFile);
// The same entries, the network name of each the exact one (network_name.h) where the record's
// extras hold it, and which entries have such a name (UTF-8 text, not Windows-1252).
struct ApEntryList {
    std::vector<std::string> entries;
    std::vector<bool> exactName;
};
ApEntryList loadApEntryList(const std::filesystem::path& workingFile);

// The count label: "Number Of Unique AP's ->" followed by the count, no blank between.
std::string uniqueApLabel(std::size_t count);

// The MAC address part of an entry: its first 17 characters (fewer if it is shorter).
std::string_view entryMacAddress(std::string_view entry);

// The proposed export name: "MAC_" and the twelve hex digits of the entry's MAC address
// without its colons, no extension ("MAC_0A1B2C3D4E5F"). Characters a short entry lacks are
// left out.
std::string macExportFileName(std::string_view entry);
// The proposed name for an export in `format`: macExportFileName for Streets and Trips (the
// save dialog adds kMacExportExtension), else that name and the format's extension.
std::string macExportFileName(std::string_view entry, ExportFormat format);

// The default extension the save dialog adds to a name given without one.
inline constexpr std::string_view kMacExportExtension = "txt";

// Whether some record's BSSID, upper-cased, equals the entry's first 17 characters: whether
// exportMacAddress would write a line. Reads until the first such record. Throws FileError.
bool hasMacAddress(const std::filesystem::path& workingFile, std::string_view entry);

// Every sighting of the entry's MAC address, whatever network name it carries: the records
// whose BSSID, upper-cased, equals the entry's first 17 characters, with the BSSID upper-cased
// and every other item as read.
RecordSelection macAddressSelection(std::string_view entry);

struct MacExportResult {
    std::filesystem::path target;
    std::uint64_t lines = 0;  // export lines (points) written, the header not counted
};

// Writes the entry's selection into folder / fileName (only the name part of fileName is used)
// as a Streets and Trips file. An existing file is replaced. Throws FileError.
MacExportResult exportMacAddress(const std::filesystem::path& workingFile, std::string_view entry,
                                 const std::filesystem::path& folder,
                                 const std::filesystem::path& fileName);
// The same, written as `style` asks.
MacExportResult exportMacAddress(const std::filesystem::path& workingFile, std::string_view entry,
                                 const std::filesystem::path& folder,
                                 const std::filesystem::path& fileName, const ExportStyle& style);

}  // namespace velmora
