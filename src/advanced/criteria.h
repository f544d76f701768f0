// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "advanced/network_name.h"
#include "export/export_format.h"
#include "export/selection.h"

namespace velmora {

// The connection-type choice of the criteria window ("BBS", "Ad-Hoc", "Both").
enum class ConnectionType { Bss, AdHoc, Both };
// The WEP-status choice ("On", "Off", "Both").
enum class WepStatus { On, Off, Both };

// The two tests on `Flags`: Both passes every item, the other choices are the criteria tests
// of records/flags.h.
bool passesConnectionType(ConnectionType type, std::string_view flags);
bool passesWepStatus(WepStatus wep, std::string_view flags);

// The distinct upper-cased `BSSID` values of the records whose upper-cased `SSID` equals
// `name` and whose `Flags` pass both tests, in ascending byte order. An empty `name` (no
// network selected) matches nothing.
//
// This one reads the whole working record file; CriteriaIndex::recount gives the same answer
// from memory. Throws FileError.
std::vector<std::string> recountByReading(const std::filesystem::path& workingFile,
                                          std::string_view name, ConnectionType type,
                                          WepStatus wep);

// What a window needs of the working record file to answer every recount without reading it
// again: for each upper-cased network name (network_name.h: the exact name where the record's
// extras hold one, else `SSID`), its distinct (upper-cased `BSSID`, `Flags`) pairs. A
// long log of few access points stays small, as only distinct pairs are kept.
class CriteriaIndex {
  public:
    // An index of no records: no network names, every recount empty.
    CriteriaIndex() = default;

    // Reads the working record file and its extras once. Throws FileError.
    static CriteriaIndex build(const std::filesystem::path& workingFile);

    // The distinct upper-cased network names' texts, in ascending byte order (an SSID item
    // before an exact name of the same bytes), and the names themselves in the same order.
    const std::vector<std::string>& networkNames() const { return names_; }
    const std::vector<NetworkName>& networkNameKeys() const { return keys_; }

    // The distinct upper-cased BSSIDs of the records named `name` whose Flags pass both
    // tests, in ascending byte order; for a log without exact names the same list as
    // recountByReading over the file the index was built from.
    std::vector<std::string> recount(const NetworkName& name, ConnectionType type,
                                     WepStatus wep) const;
    // The same for a name as typed upper-cased (named(name)).
    std::vector<std::string> recount(std::string_view name, ConnectionType type,
                                     WepStatus wep) const;
    // The name an upper-cased text stands for: the SSID item of that text where the index has
    // one, else the exact name.
    NetworkName named(std::string_view name) const;

  private:
    // (upper-cased BSSID, Flags)
    using Sighting = std::pair<std::string, std::string>;

    static std::string mapKey(const NetworkName& name);

    std::vector<std::string> names_;
    std::vector<NetworkName> keys_;
    std::unordered_map<std::string, std::vector<Sighting>> byName_;
};

// CriteriaIndex::build(workingFile)'s answer for one upper-cased name as typed: which name it
// stands for (named) and the recount of that name, read in one pass that keeps the records of
// that text alone. For a single question; a window asking many builds the index. Throws
// FileError.
struct NamedRecount {
    std::vector<std::string> macs;
    bool exact = false;
};
NamedRecount recountNamed(const std::filesystem::path& workingFile, std::string_view name,
                          ConnectionType type, WepStatus wep);

// The count label's text: "Matching Records:" directly followed by the count.
std::string matchingRecordsText(std::size_t count);

// Which records the export writes besides the two `Flags` tests: those of the selected
// network name, or those of the selected MAC address under any network name.
enum class CriteriaExportMode { ApName, MacAddress };

// The window's choices as the export reads them. `name` and `mac` are the selected list
// texts (empty when nothing is selected); both lists hold upper-cased texts, and the records
// are compared with them exactly.
struct CriteriaSelection {
    std::string name;
    std::string mac;
    ConnectionType type = ConnectionType::Both;
    WepStatus wep = WepStatus::Both;
    CriteriaExportMode mode = CriteriaExportMode::ApName;
    // `name` is an exact name (network_name.h): the AP-name mode then compares it with the
    // records' exact names, and a plain one with the SSID items of records that have none.
    bool exactName = false;
};

// Whether the export runs at all: the matching list must hold an entry and a network name
// must be selected, in both modes. A missing MAC selection is not refused.
bool criteriaExportAllowed(const CriteriaSelection& selection, std::size_t matchingCount);

// The twelve characters a MAC-mode file name carries: for k = 2, 5, 8, 11, 14, 17, the last
// two of the first k characters of `mac` (fewer when `mac` is shorter), joined. For
// 00:0F:66:1A:2B:3C that is 000F661A2B3C; an empty text gives an empty result.
std::string macFileNameDigits(std::string_view mac);

// The proposed file name of the selected mode: "Custom_SSID_" + name + ".TXT" or
// "Custom_MAC_" + macFileNameDigits(mac) + ".TXT". It is not checked: a name may hold "/"
// (see isPlainFileName) or be too long for the file system.
std::string criteriaFileName(const CriteriaSelection& selection);
// The proposed name for an export in `format`: criteriaFileName for Streets and Trips, else
// "Custom_SSID_" + name or "Custom_MAC_" + the twelve digits, and the format's extension.
std::string criteriaFileName(const CriteriaSelection& selection, ExportFormat format);

// The records that pass the mode's test (upper-cased `SSID` equal to `name`, or upper-cased
// `BSSID` equal to `mac`) and both `Flags` tests, every sighting, with `SSID` and `BSSID`
// upper-cased.
RecordSelection criteriaExportSelection(const CriteriaSelection& selection);

// Writes the choices' selection to `target` as a Streets and Trips file, in file order. Returns
// the number of export lines written; throws FileError.
std::uint64_t exportCriteria(const std::filesystem::path& workingFile,
                             const std::filesystem::path& target,
                             const CriteriaSelection& selection);
// The same, written as `style` asks; returns the number of points written.
std::uint64_t exportCriteria(const std::filesystem::path& workingFile,
                             const std::filesystem::path& target,
                             const CriteriaSelection& selection, const ExportStyle& style);

}  // namespace velmora
