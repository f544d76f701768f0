// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_format.h"
#include "export/selection.h"

namespace velmora {

// A network group: the upper-cased `SSID` shared by some records, and the number of distinct
// upper-cased `BSSID` values among them.
struct NetworkGroup {
    std::string name;
    std::uint64_t uniqueAccessPoints = 0;

    bool operator==(const NetworkGroup&) const = default;
};

// Reads the working record file once and returns every network group with its count, in
// ascending byte order of the names. Only distinct (group, BSSID) pairs are held, so a long
// log of few access points stays small. Throws FileError.
std::vector<NetworkGroup> readNetworkGroups(const std::filesystem::path& workingFile);

// The count for one group, as readNetworkGroups gives it, by one read of the file; 0 when no
// record belongs to `group`. `group` is compared exactly, so pass it upper-cased. Throws
// FileError.
std::uint64_t countUniqueAccessPoints(const std::filesystem::path& workingFile,
                                      std::string_view group);

// The count label's text: "Unique AP's in Group List : 3".
std::string uniqueApLabelText(std::uint64_t count);

// The proposed export file name: "AP-" + group + ".TXT". It is not checked: a group may hold
// "/" (see isPlainFileName) or be too long for the file system.
std::string apNameFileName(std::string_view group);
// The proposed name for an export in `format`: apNameFileName for Streets and Trips, else
// "AP-" + group and the format's extension.
std::string apNameFileName(std::string_view group, ExportFormat format);

// The records whose upper-cased `SSID` equals `group` (exactly), with `SSID` upper-cased and
// every other item as read.
RecordSelection apNameSelection(std::string_view group);

// Writes the group's selection to `target` as a Streets and Trips file, in file order. Returns
// the number of export lines written; throws FileError.
std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group);
// The same, written as `style` asks; returns the number of points written.
std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group,
                                const ExportStyle& style);

}  // namespace velmora
