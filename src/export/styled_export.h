// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "export/export_format.h"
#include "export/selection.h"
#include "records/vendor_list.h"

namespace velmora {

// Writes `selection` to `target` in the format and with the pins `style` asks for (see
// writeExport in export_walk.h for how the file is written). Returns the number of points
// written: one per access point where the style asks for that, otherwise one per record.
// Throws FileError.
std::uint64_t writeStyledExport(const std::filesystem::path& workingFile,
                                const std::filesystem::path& target,
                                const RecordSelection& selection, const ExportStyle& style);

// The vendor list a map export looks vendors up in: read from `file` where it can be; nothing
// where it cannot (the points then carry no vendor; the export does not fail for it), nor for
// Streets and Trips, which writes no vendor.
std::optional<VendorList> vendorsForExport(ExportFormat format, const std::filesystem::path& file);

}  // namespace velmora
