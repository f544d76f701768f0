// SPDX-License-Identifier: GPL-3.0-or-later
// GPX 1.1: one waypoint per point.
#include <string_view>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

// Whether a longitude is E 180 ("180", "180.000"): GPX takes -180 up to but not including
// 180, so the writer gives that meridian as -180.
bool isEast180(std::string_view longitude) {
    if (!longitude.starts_with("180")) return false;
    const std::string_view fraction = longitude.substr(3);
    return fraction.empty() ||
           (fraction[0] == '.' && fraction.find_first_not_of('0', 1) == std::string_view::npos);
}

class GpxWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"Velmora 2004\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    }

    // The elements in the schema's order: ele, time, name, desc, type. The altitude (metres,
    // where the log gives one) is the waypoint's elevation; a time without a date is not a
    // GPX time and stays in desc only.
    char* put(char* out, const MapPointView& point) override {
        out = putText(out, "<wpt lat=\"");
        out = putText(out, point.latitude);
        out = putText(out, "\" lon=\"");
        if (isEast180(point.longitude)) *out++ = '-';
        out = putText(out, point.longitude);
        out = putText(out, "\">\n");
        if (point.altitude) {
            out = putText(out, "<ele>");
            out = putDecimal(out, *point.altitude);
            out = putText(out, "</ele>\n");
        }
        if (isFullTime(point.time)) {
            out = putText(out, "<time>");
            out = putText(out, point.time);
            out = putText(out, "</time>\n");
        }
        out = putText(out, "<name>");
        out = putXml(out, point.name);
        out = putText(out, "</name>\n<desc>");
        out = putXmlDescription(out, point);
        out = putText(out, "</desc>\n<type>");
        out = putXml(out, point.type);
        return putText(out, "</type>\n</wpt>\n");
    }

    void end(std::string& out) override { out += "</gpx>\n"; }
};

}  // namespace

std::unique_ptr<MapPointWriter> makeGpxWriter() {
    return std::make_unique<GpxWriter>();
}

std::unique_ptr<ExportSink> makeGpxSink(const VendorList* vendors) {
    return makeMapSink(makeGpxWriter(), vendors);
}

}  // namespace velmora
