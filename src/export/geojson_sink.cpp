// GeoJSON (RFC 7946): a FeatureCollection of Points, one Feature per line.
#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

void appendNumber(std::string& out, const std::optional<int>& value) {
    if (value)
        appendInt(out, *value);
    else
        out += "null";
}

class GeoJsonWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out += "{\"type\":\"FeatureCollection\",\"features\":[";
        first_ = true;
    }

    void write(std::string& out, const MapPoint& point) override {
        out += first_ ? "\n" : ",\n";
        first_ = false;
        out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[";
        out += point.longitude;
        out += ',';
        out += point.latitude;
        out += "]},\"properties\":{\"name\":";
        appendJsonString(out, point.name);
        out += ",\"bssid\":";
        appendJsonString(out, point.bssid);
        out += ",\"type\":";
        appendJsonString(out, point.type);
        out += ",\"flags\":";
        appendJsonString(out, point.flags);
        out += ",\"wep\":";
        out += point.wep ? (*point.wep ? "true" : "false") : "null";
        out += ",\"channels\":[";
        appendChannels(out, point.channels, ",");
        out += "],\"snr\":";
        appendNumber(out, point.snr);
        out += ",\"signal\":";
        appendNumber(out, point.signal);
        out += ",\"noise\":";
        appendNumber(out, point.noise);
        out += ",\"time\":";
        appendJsonString(out, point.time);
        out += ",\"vendor\":";
        if (point.vendor)
            appendJsonString(out, *point.vendor);
        else
            out += "null";
        if (const AccessPointSummary* ap = point.accessPoint) {
            out += ",\"sightings\":";
            appendInt(out, static_cast<long long>(ap->sightings));
            out += ",\"first_seen\":";
            appendJsonString(out, ap->firstSeen);
            out += ",\"last_seen\":";
            appendJsonString(out, ap->lastSeen);
        }
        out += "}}";
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
