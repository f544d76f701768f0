// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "advanced/network_name.h"
#include "export/export_format.h"
#include "export/selection.h"

namespace velmora {

// A network group: the upper-cased network name (network_name.h) shared by some records, and
// the number of distinct upper-cased `BSSID` values among them.
struct NetworkGroup {
    NetworkGroup() = default;
    NetworkGroup(std::string name, std::uint64_t uniqueAccessPoints, bool exact = false,
                 std::string itemName = {})
        : name(std::move(name)),
          uniqueAccessPoints(uniqueAccessPoints),
          exact(exact),
          itemName(std::move(itemName)) {}

    std::string name;
    std::uint64_t uniqueAccessPoints = 0;
    bool exact = false;    // `name` is an exact name (UTF-8), not an SSID item
    std::string itemName;  // for an exact name: its records' SSID item (the Windows-1252
                           // form), upper-cased; empty otherwise

    bool operator==(const NetworkGroup&) const = default;
    NetworkName key() const { return {name, exact}; }
};

// Reads the working record file and its extras once and returns every network group with its
// count, in ascending byte order of the names (an SSID item before an exact name of the same
// bytes). Only distinct (group, BSSID) pairs are held, so a long
// log of few access points stays small. Throws FileError.
std::vector<NetworkGroup> readNetworkGroups(const std::filesystem::path& workingFile);

// The count for one group, as readNetworkGroups gives it, by one read of the file; 0 when no
// record belongs to `group`. `group` is compared exactly, so pass it upper-cased. Throws
// FileError.
std::uint64_t countUniqueAccessPoints(const std::filesystem::path& workingFile,
                                      std::string_view group);

// The group `typed` names, as the batch tool takes it: the name upper-cased, an exact name
// before an SSID item of the same bytes; nothing when no group has that name.
const NetworkGroup* findNetworkGroup(const std::vector<NetworkGroup>& groups,
                                     std::string_view typed);

// The count label's text: "Unique AP's in Group List : 3".
std::string uniqueApLabelText(std::uint64_t count);

// The proposed export file name: "AP-" + group + ".TXT". It is not checked: a group may hold
// "/" (see isPlainFileName) or be too long for the file system.
std::string apNameFileName(std::string_view group);
// The proposed name for an export in `format`: apNameFileName for Streets and Trips, else
// "AP-" + group and the format's extension.
std::string apNameFileName(std::string_view group, ExportFormat format);
// The same for a group of `groups` (readNetworkGroups). An exact name's Streets and Trips
// file takes its Windows-1252 form ("AP-??.TXT" for 中文), unless another group of the
// log has that text too: then, as every map format's file, the exact name ("AP-中文.kml").
std::string apNameFileName(const NetworkGroup& group, const std::vector<NetworkGroup>& groups,
                           ExportFormat format);
// Whether that name is UTF-8 text (it holds the exact name) rather than Windows-1252.
bool apNameFileNameIsUtf8(const NetworkGroup& group, const std::vector<NetworkGroup>& groups,
                          ExportFormat format);

// The records whose upper-cased `SSID` equals `group` (exactly), with `SSID` upper-cased and
// every other item as read.
RecordSelection apNameSelection(std::string_view group);
// The records named `name` (network_name.h), with `SSID` upper-cased and every other item as
// read.
RecordSelection apNameSelection(const NetworkName& name);

// Writes the group's selection to `target` as a Streets and Trips file, in file order. Returns
// the number of export lines written; throws FileError.
std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group);
// The same, written as `style` asks; returns the number of points written.
std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, std::string_view group,
                                const ExportStyle& style);
std::uint64_t exportApNameGroup(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target, const NetworkName& name,
                                const ExportStyle& style);

}  // namespace velmora
