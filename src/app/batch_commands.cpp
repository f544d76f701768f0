// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batch_commands.h"

#include <ostream>

#include "advanced/file_name.h"
#include "advanced/mac_access_points.h"
#include "export/styled_export.h"
#include "records/working_record.h"

namespace velmora::batch {

std::optional<std::string> Args::take() {
    if (done()) return std::nullopt;
    return words_[pos_++];
}

std::optional<std::string> Args::takeOption(const std::string& name) {
    if (done() || words_[pos_] != name) return std::nullopt;
    ++pos_;
    if (done()) throw UsageError{name + " needs a value"};
    return words_[pos_++];
}

std::string macAddressArgument(const std::string& word) {
    if (!isMacAddress(word))
        throw UsageError{"not a MAC address: \"" + word +
                         "\" (six two-digit hex groups joined by \":\")"};
    return toUpperAscii(word);
}

std::optional<std::filesystem::path> exportTarget(Context& context, const char* command,
                                                  const std::string& fileName) {
    if (isPlainFileName(fileName)) return context.outFolder / fileName;
    context.err << "velmora-batch: " << command << ": \"" << fileName
                << "\" holds a path separator and cannot name a file in the output folder\n";
    return std::nullopt;
}

const ExportStyle& exportStyle(Context& context) {
    if (!context.vendorsRead) {
        context.vendorsRead = true;
        context.vendors = vendorsForExport(context.style.format, context.vendorList);
        context.style.vendors = context.vendors ? &*context.vendors : nullptr;
        context.style.documentName = context.logFileName;
    }
    return context.style;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"convert-all", convertAll},
        {"locked", quickLocked},
        {"open", quickOpen},
        {"infrastructure", quickInfrastructure},
        {"adhoc", quickAdHoc},
        {"groups", apNameGroups},
        {"ap-name", apNameExport},
        {"aps", listAccessPoints},
        {"mac", exportMac},
        {"vendor", showVendor},
        {"matching", criteriaMatching},
        {"criteria", criteriaExport},
    };
    return table;
}

}  // namespace velmora::batch
