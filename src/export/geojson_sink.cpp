// SPDX-License-Identifier: GPL-3.0-or-later
// GeoJSON (RFC 7946): a FeatureCollection of Points, one Feature per line.
#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

class GeoJsonWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out += "{\"type\":\"FeatureCollection\",\"features\":[";
        first_ = true;
    }

    char* put(char* out, const MapPointView& point) override {
        out = putText(out, first_ ? "\n" : ",\n");
        first_ = false;
        out = putText(out,
                      "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[");
        out = putText(out, point.longitude);
        *out++ = ',';
        out = putText(out, point.latitude);
        out = putText(out, "]},\"properties\":{\"name\":");
        out = putJsonString(out, point.name);
        out = putText(out, ",\"bssid\":");
        out = putJsonString(out, point.bssid);
        out = putText(out, ",\"type\":");
        out = putJsonString(out, point.type);
        out = putText(out, ",\"flags\":");
        out = putJsonString(out, point.flags);
        out = putText(out, ",\"wep\":");
        out = putText(out, point.wep ? (*point.wep ? "true" : "false") : "null");
        out = putText(out, ",\"channels\":[");
        out = putChannels(out, point.channels, ",");
        *out++ = ']';
        forEachMapValue(point, [&](std::string_view label, std::string_view, const auto& value) {
            out = putText(out, ",\"");
            out = putText(out, label);
            out = putText(out, "\":");
            if (!value) out = putText(out, "null");
            out = putMapValue(out, value, putJsonString);
        });
        out = putText(out, ",\"time\":");
        out = putJsonString(out, point.time);
        out = putText(out, ",\"vendor\":");
        out = point.vendor ? putJsonString(out, *point.vendor) : putText(out, "null");
        if (const AccessPointSummary* ap = point.accessPoint) {
            out = putText(out, ",\"sightings\":");
            out = putInt(out, static_cast<long long>(ap->sightings));
            out = putText(out, ",\"first_seen\":");
            out = putJsonString(out, ap->firstSeen);
            out = putText(out, ",\"last_seen\":");
            out = putJsonString(out, ap->lastSeen);
            out = putText(out, ",\"radius_m\":");
            out = ap->radiusM ? putDecimal(out, *ap->radiusM) : putText(out, "null");
        }
        return putText(out, "}}");
    }

    void end(std::string& out) override { out += "\n]}\n"; }

  private:
    bool first_ = true;
};

}  // namespace

std::unique_ptr<MapPointWriter> makeGeoJsonWriter() {
    return std::make_unique<GeoJsonWriter>();
}

std::unique_ptr<ExportSink> makeGeoJsonSink(const VendorList* vendors) {
    return makeMapSink(makeGeoJsonWriter(), vendors);
}

}  // namespace velmora
