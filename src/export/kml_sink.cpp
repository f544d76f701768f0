// SPDX-License-Identifier: GPL-3.0-or-later
// KML 2.2: one Placemark per point, styled by status so Google Earth shows three colours.
#include <string_view>
#include <utility>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"
#include "records/flags.h"

namespace velmora {

namespace {

using namespace map_text;

// The pin's style: ad hoc by the counts' ad-hoc test, otherwise by its WEP status (a point
// whose status is neither on nor off gets WEP off's).
std::string_view styleOf(const MapPointView& point) {
    if (flags::kCountedAdHoc(point.flags)) return "#ad-hoc";
    return point.wep.value_or(false) ? "#wep-on" : "#wep-off";
}

// Colours are aabbggrr; they tint a white pushpin.
constexpr std::string_view kStyles =
    "<Style id=\"wep-on\"><IconStyle><color>ff0000ff</color><Icon>"
    "<href>http://maps.google.com/mapfiles/kml/pushpin/wht-pushpin.png</href></Icon>"
    "</IconStyle></Style>\n"
    "<Style id=\"wep-off\"><IconStyle><color>ff00c000</color><Icon>"
    "<href>http://maps.google.com/mapfiles/kml/pushpin/wht-pushpin.png</href></Icon>"
    "</IconStyle></Style>\n"
    "<Style id=\"ad-hoc\"><IconStyle><color>ffff8000</color><Icon>"
    "<href>http://maps.google.com/mapfiles/kml/pushpin/wht-pushpin.png</href></Icon>"
    "</IconStyle></Style>\n";

class KmlWriter final : public MapPointWriter {
  public:
    explicit KmlWriter(std::string documentName) : documentName_(std::move(documentName)) {}

    void begin(std::string& out) override {
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
            "<Document>\n"
            "<name>";
        appendXml(out, documentName_);
        out += "</name>\n";
        out += kStyles;
    }

    // The elements in the schema's order: name, description, TimeStamp, styleUrl, Point. The
    // values stand in the description only: as ExtendedData too they would double the file,
    // which is written at the speed of its size.
    char* put(char* out, const MapPointView& point) override {
        out = putText(out, "<Placemark><name>");
        out = putXml(out, point.name);
        out = putText(out, "</name>\n<description>");
        out = putXmlDescription(out, point);
        out = putText(out, "</description>\n");
        if (isFullTime(point.time)) {
            out = putText(out, "<TimeStamp><when>");
            out = putText(out, point.time);
            out = putText(out, "</when></TimeStamp>");
        }
        out = putText(out, "<styleUrl>");
        out = putText(out, styleOf(point));
        out = putText(out, "</styleUrl><Point><coordinates>");
        out = putText(out, point.longitude);
        *out++ = ',';
        out = putText(out, point.latitude);
        return putText(out, "</coordinates></Point></Placemark>\n");
    }

    void end(std::string& out) override { out += "</Document>\n</kml>\n"; }

  private:
    std::string documentName_;
};

}  // namespace

std::unique_ptr<MapPointWriter> makeKmlWriter(std::string documentName) {
    return std::make_unique<KmlWriter>(std::move(documentName));
}

std::unique_ptr<ExportSink> makeKmlSink(const VendorList* vendors, std::string documentName) {
    return makeMapSink(makeKmlWriter(std::move(documentName)), vendors);
}

}  // namespace velmora
