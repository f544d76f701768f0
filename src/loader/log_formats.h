// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

#include "loader/log_reader.h"

// The log formats the loader opens, in one table. To add one: write its reader (a LogReader,
// with a test of its own) and add its row to kLogFormats in log_formats.cpp; the loader, the
// batch tool and the windows then open it.
namespace velmora {

enum class SourceType { TextExport, SummaryExport, WigleCsv, Ns1Binary };

// Which bytes of a reader's network names the record's SSID item keeps
// (sighting_line::appendWindows1252).
enum class NameBytes {
    // The log's names are UTF-8: each character Windows-1252 cannot hold, every control
    // character and every byte of invalid UTF-8 become "?".
    Printable,
    // The log's names are Windows-1252 bytes (the reader gives them as UTF-8): all of them are
    // kept, but a tab, CR or LF, which would end the column or the line, becomes "?".
    AsLogged,
};

struct LogFormat {
    SourceType type;
    // What the main window and the batch tool show as the "Source File Type".
    const char* text;
    // Whether a file whose first bytes (at most kLogSniffLimit) are `firstBytes` is one.
    bool (*recognise)(std::string_view firstBytes);
    // Opens the log for reading. Throws FileError when it cannot be read, and returns null or
    // throws another std::exception (whose text is the reason) when the file is refused. Null
    // for the wi-scan formats, which the loader reads itself line by line.
    std::unique_ptr<LogReader> (*open)(const std::filesystem::path& path);
    NameBytes names;
};

// How many of a log's first bytes decide its format: a wi-scan log's first line may be as
// long as a data line (64 KiB), its format line follows.
inline constexpr std::size_t kLogSniffLimit = (std::size_t{1} << 16) + 2 + 64 + 2;

// Every format, in the order they are tried.
std::span<const LogFormat> logFormats();
// The first format that recognises `firstBytes`, or null.
const LogFormat* recogniseLog(std::string_view firstBytes);
// The row of a type.
const LogFormat& logFormat(SourceType type);

}  // namespace velmora
