// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "loader/log_reader.h"

// The scanner's binary log (.ns1): a header (the signature "NetS", a version, a number of
// access points), then one record per access point with its data entries, little-endian.
//
// A record's entries are handed over only once the whole record has been read: its channels
// (versions 8 and later) follow its entries, and a record cut short hands over nothing. The
// reader therefore reads a record's entries twice, once to find the record's end and once to
// hand them over; the second reading comes from the reader's buffer, or, for a record of more
// than 1 MiB of entries, from the file again. Memory stays under 16 MiB whatever the file.
//
// Version 1 records have no data entries: they are read and counted, and give no sighting.
namespace velmora {

// A file that starts with the .ns1 signature.
bool looksLikeNs1(std::string_view firstBytes);

// A .ns1 file the reader refuses as a whole: no signature, a header cut short, or a version
// other than 1, 6, 8, 11 and 12 ("unsupported .ns1 version 7").
class Ns1FormatError : public std::runtime_error {
  public:
    explicit Ns1FormatError(const std::string& what,
                            std::optional<std::uint32_t> version = std::nullopt)
        : std::runtime_error(what), version_(version) {}
    // The file's version, when it was read (and refused).
    std::optional<std::uint32_t> version() const { return version_; }

  private:
    std::optional<std::uint32_t> version_;
};

// The reader of a .ns1 file beyond what every LogReader tells.
class Ns1Reader : public LogReader {
  public:
    std::uint32_t version() const { return version_; }
    // The number of access points the header announces.
    std::uint32_t accessPoints() const { return accessPoints_; }
    // The data entries of the access point the damage is in whose bytes were complete: they
    // are not handed over, as their record is not. The entries of the records after it are
    // unknown (their counts are in the missing bytes). 0 for an undamaged file.
    std::uint64_t lostEntries() const { return lostEntries_; }

  protected:
    std::uint32_t version_ = 0;
    std::uint32_t accessPoints_ = 0;
    std::uint64_t lostEntries_ = 0;
};

// Opens a .ns1 file and reads its header. Throws FileError when the file cannot be opened
// or read (or is not a regular file), Ns1FormatError when it is refused.
std::unique_ptr<Ns1Reader> openNs1(const std::filesystem::path& path);

// A FILETIME (100-ns ticks since 1601-01-01 UTC) as a date and time of day, or no time for one
// outside the years 1980 to 2100.
SightingTime fileTimeToSightingTime(std::uint64_t fileTime);

}  // namespace velmora
