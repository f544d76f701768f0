// SPDX-License-Identifier: GPL-3.0-or-later
// GPX 1.1: one waypoint per point.
#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

class GpxWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"Velmora 2004\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    }

    // The elements in the schema's order: time, name, desc, type. A time without a date is
    // not a GPX time and stays in desc only.
    char* put(char* out, const MapPointView& point) override {
        out = putText(out, "<wpt lat=\"");
        out = putText(out, point.latitude);
        out = putText(out, "\" lon=\"");
        out = putText(out, point.longitude);
        out = putText(out, "\">\n");
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
