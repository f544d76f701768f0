// CSV (RFC 4180): one header row, one row per point, CR LF line ends.
#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

void appendNumber(std::string& out, const std::optional<int>& value) {
    if (value) appendInt(out, *value);
}

// The three per-access-point columns are always there, so every file of the format has the
// same columns; they stay empty for a point that is one sighting.
class CsvWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out +=
            "latitude,longitude,name,bssid,type,flags,wep,channels,snr,signal,noise,time,vendor,"
            "sightings,first_seen,last_seen\r\n";
    }

    void write(std::string& out, const MapPoint& point) override {
        out += point.latitude;
        out += ',';
        out += point.longitude;
        out += ',';
        appendCsvField(out, point.name);
        out += ',';
        appendCsvField(out, point.bssid);
        out += ',';
        appendCsvField(out, point.type);
        out += ',';
        appendCsvField(out, point.flags);
        out += ',';
        if (point.wep) out += *point.wep ? "true" : "false";
        out += ',';
        if (point.channels.size() > 1) out += '"';
        appendChannels(out, point.channels, ";");
        if (point.channels.size() > 1) out += '"';
        out += ',';
        appendNumber(out, point.snr);
        out += ',';
        appendNumber(out, point.signal);
        out += ',';
        appendNumber(out, point.noise);
        out += ',';
        appendCsvField(out, point.time);
        out += ',';
        if (point.vendor) appendCsvField(out, *point.vendor);
        out += ',';
        if (const AccessPointSummary* ap = point.accessPoint) {
            appendInt(out, static_cast<long long>(ap->sightings));
            out += ',';
            appendCsvField(out, ap->firstSeen);
            out += ',';
            appendCsvField(out, ap->lastSeen);
        } else {
            out += ",,";
        }
        out += "\r\n";
    }
};

}  // namespace

std::unique_ptr<MapPointWriter> makeCsvWriter() {
    return std::make_unique<CsvWriter>();
}

std::unique_ptr<ExportSink> makeCsvSink(const VendorList* vendors) {
    return makeMapSink(makeCsvWriter(), vendors);
}

}  // namespace velmora
