// Placeholder until the map point module lands; deleted by it.
#include "export/map_point.h"

namespace velmora {

MapPoint describeRecord(const ExportRecord&, const VendorList*) { return {}; }
std::string windows1252ToUtf8(std::string_view text) { return std::string(text); }
std::vector<int> channelsFromBits(std::string_view) { return {}; }
std::string mapTime(std::string_view time, std::string_view) { return std::string(time); }

}  // namespace velmora
