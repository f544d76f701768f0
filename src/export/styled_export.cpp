// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/styled_export.h"

#include "export/export_walk.h"
#include "io/file_error.h"

namespace velmora {

std::uint64_t writeStyledExport(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target,
                                const RecordSelection& selection, const ExportStyle& style) {
    const std::unique_ptr<ExportSink> sink = makeExportSink(style);
    const std::uint64_t handedOver = writeExport(workingFile, target, selection, *sink);
    return sink->pointsWritten().value_or(handedOver);
}

std::optional<VendorList> vendorsForExport(ExportFormat format, const std::filesystem::path& file) {
    if (format == ExportFormat::StreetsAndTrips) return std::nullopt;
    try {
        return LoadVendorList(file);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace velmora
