// Placeholder until the export formats' front land; deleted by it.
#include <stdexcept>

#include "export/export_format.h"
#include "export/map_sinks.h"

namespace velmora {

const ExportFormatInfo& exportFormatInfo(ExportFormat) {
    static const ExportFormatInfo st{"st", "", "Streets and Trips"};
    return st;
}
std::optional<ExportFormat> parseExportFormat(std::string_view) { return std::nullopt; }
std::unique_ptr<ExportSink> makeExportSink(const ExportStyle&) {
    throw std::logic_error("export formats not built");
}
std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink>) {
    throw std::logic_error("per access point sink not built");
}
std::string mainExportFileName(std::string_view, std::string_view, ExportFormat) { return {}; }
std::string advancedExportFileName(std::string_view, std::string_view, ExportFormat) { return {}; }

}  // namespace velmora
