// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace velmora {

// What an export wrote: the file, and the points in it (sightings, or access points where the
// export writes one pin per access point).
struct ExportWritten {
    std::filesystem::path target;
    std::uint64_t points = 0;
    bool perAccessPoint = false;
};

// How an export ended, for the main window's status bar: what was written, or the failure's
// text.
struct ExportOutcome {
    std::optional<ExportWritten> written;
    QString failure;
};
using ExportReporter = std::function<void(const ExportOutcome&)>;

// The status bar's text for an export that wrote `written`: "Wrote 1,234 sightings to <path>".
QString exportWrittenText(const ExportWritten& written);

// Writes an export as reportingFileErrors() runs a file operation, then hands the outcome to
// `report` (when set). Returns whether the export was written.
bool writeReportedExport(QWidget* parent, const std::function<ExportWritten()>& write,
                         const ExportReporter& report);

}  // namespace velmora
