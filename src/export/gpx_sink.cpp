// SPDX-License-Identifier: GPL-3.0-or-later
// GPX 1.1: one waypoint per point, its values in its extensions, in the program's own
// namespace (GDAL reads each as a column "velmora_bssid", ...), and the few a GPS unit shows as
// readable lines in desc.
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

// The extensions' namespace: a name only, no schema is fetched from it (GPX takes elements
// of any other namespace in its extensions).
constexpr std::string_view kNamespace = "urn:x-velmora:map-point:1";

char* openValue(char* out, std::string_view name) {
    out = putText(out, "<velmora:");
    out = putText(out, name);
    *out++ = '>';
    return out;
}
char* closeValue(char* out, std::string_view name) {
    out = putText(out, "</velmora:");
    out = putText(out, name);
    *out++ = '>';
    return out;
}
char* putValue(char* out, std::string_view name, std::string_view text) {
    if (text.empty()) return out;
    out = openValue(out, name);
    out = putXml(out, text);
    return closeValue(out, name);
}

class GpxWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"Velmora 2004\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:velmora=\"";
        out += kNamespace;
        out += "\">\n";
    }

    // The elements in the schema's order: ele, time, name, desc, type, extensions. The
    // altitude (metres, where the log gives one) is the waypoint's elevation; a time without a
    // date is not a GPX time and stays in the extensions only. A value the point has not is
    // left out.
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
        const bool fullTime = isFullTime(point.time);
        if (fullTime) {
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
        out = putText(out, "</type>\n<extensions>");
        out = putValue(out, "bssid", point.bssid);
        out = putValue(out, "flags", point.flags);
        if (point.wep)
            out = putValue(out, "wep",
                           *point.wep ? std::string_view("true") : std::string_view("false"));
        if (!point.channels.empty()) {
            out = openValue(out, "channels");
            out = putChannels(out, point.channels, ";");
            out = closeValue(out, "channels");
        }
        forEachMapValue(point, [&](std::string_view label, std::string_view, const auto& value) {
            if (!value || label == "altitude") return;
            out = openValue(out, label);
            out =
                putMapValue(out, value, [](char* to, std::string_view t) { return putXml(to, t); });
            out = closeValue(out, label);
        });
        if (!fullTime) out = putValue(out, "time", point.time);
        if (point.vendor) out = putValue(out, "vendor", *point.vendor);
        if (const AccessPointSummary* ap = point.accessPoint) {
            out = openValue(out, "sightings");
            out = putInt(out, static_cast<long long>(ap->sightings));
            out = closeValue(out, "sightings");
            out = putValue(out, "first_seen", ap->firstSeen);
            out = putValue(out, "last_seen", ap->lastSeen);
            if (ap->radiusM) {
                out = openValue(out, "radius_m");
                out = putDecimal(out, *ap->radiusM);
                out = closeValue(out, "radius_m");
            }
        }
        return putText(out, "</extensions>\n</wpt>\n");
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
