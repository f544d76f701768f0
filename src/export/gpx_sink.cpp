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
    void write(std::string& out, const MapPoint& point) override {
        out += "<wpt lat=\"";
        out += point.latitude;
        out += "\" lon=\"";
        out += point.longitude;
        out += "\">\n";
        if (isFullTime(point.time)) {
            out += "<time>";
            out += point.time;
            out += "</time>\n";
        }
        out += "<name>";
        appendXml(out, point.name);
        out += "</name>\n<desc>";
        appendXmlDescription(out, point);
        out += "</desc>\n<type>";
        appendXml(out, point.type);
        out += "</type>\n</wpt>\n";
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
