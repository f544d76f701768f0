// Placeholder until the map format sinks land; deleted by them.
#include <stdexcept>

#include "export/map_sinks.h"

namespace velmora {

std::unique_ptr<ExportSink> makeKmlSink(const VendorList*, std::string) {
    throw std::logic_error("KML sink not built");
}
std::unique_ptr<ExportSink> makeGpxSink(const VendorList*) {
    throw std::logic_error("GPX sink not built");
}
std::unique_ptr<ExportSink> makeGeoJsonSink(const VendorList*) {
    throw std::logic_error("GeoJSON sink not built");
}
std::unique_ptr<ExportSink> makeCsvSink(const VendorList*) {
    throw std::logic_error("CSV sink not built");
}

}  // namespace velmora
