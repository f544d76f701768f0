// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/mac_address.h"

namespace velmora {

// The vendor list's file name; it lies in the application folder.
inline constexpr std::string_view kVendorListFileName = "vlident.txt";

// What the MAC window, and the criteria window in its shorter text, show for an access point
// whose prefix is not in the list.
inline constexpr std::string_view kVendorNotFound = "Not Found In Database";
inline constexpr std::string_view kVendorNotFoundShort = "Not Found";

// The vendor lines of the vendor list, indexed by MAC prefix.
//
// A vendor line starts with an upper-case MAC prefix such as "0A:1B:2C" (isVendorPrefix); its
// vendor text is everything after those eight characters, unchanged and possibly empty. Every
// other line (blank, short, lower-case or dashed prefix) is counted but never matches. Where
// several lines carry one prefix, the first in file order counts. Only the vendor lines' prefixes
// and texts are kept: a list of tens of thousands of lines takes about a megabyte.
class VendorList {
  public:
    VendorList() = default;
    // A list of these lines, in file order.
    explicit VendorList(const std::vector<std::string>& lines);

    // The number of lines read, vendor lines or not.
    std::size_t size() const { return lines_; }

    // The vendor text for the entry's first eight characters, or nothing when no vendor line
    // carries that prefix (also for an entry shorter than eight characters).
    std::optional<std::string_view> find(std::string_view entry) const;

  private:
    friend VendorList LoadVendorList(const std::filesystem::path& file);

    // A prefix's eight bytes as one number, for a cheap comparison.
    static std::uint64_t key(std::string_view entry);
    // Takes the next line of the file, without its line end.
    void add(std::string_view line);
    // After the last line: indexes the first entry of each prefix.
    void index();
    // Where the search for `prefix` starts in slots_.
    std::size_t slotOf(std::uint64_t prefix) const;

    struct Entry {
        std::uint64_t prefix;  // key()
        std::size_t begin;     // the vendor text in texts_
        std::size_t size;
    };
    std::string texts_;           // the vendor lines' texts, one after another
    std::vector<Entry> entries_;  // in file order
    // A hash table of the entries by prefix, searched from slotOf() on to the first empty slot:
    // an entry's position plus one, or 0 for an empty slot. Its size is a power of two, at
    // least twice the entries.
    std::vector<std::uint32_t> slots_;
    int slotBits_ = 0;
    std::size_t lines_ = 0;
};

// Reads the vendor list file. CR LF, a lone CR and a lone LF each end a line. Throws FileError
// for a missing, unreadable or non-regular file.
VendorList LoadVendorList(const std::filesystem::path& file);

// The vendor text of the first vendor line whose prefix equals the entry's first eight
// characters (exact, case-sensitive), or nothing. An entry is an upper-cased BSSID, possibly
// followed by more text, which plays no part.
std::optional<std::string> LookupVendor(const VendorList& list, std::string_view entry);

// A vendor label's text for an entry: its vendor text, or `notFound`. It views the vendor
// list, or `notFound`.
std::string_view vendorLabel(const VendorList& vendors, std::string_view entry,
                             std::string_view notFound = kVendorNotFound);

}  // namespace velmora
