// SPDX-License-Identifier: GPL-3.0-or-later
// CSV (RFC 4180): one header row, one row per point, CR LF line ends.
#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

// The three per-access-point columns are always there, so every file of the format has the
// same columns; they stay empty for a point that is one sighting.
class CsvWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        out += "latitude,longitude,name,bssid,type,flags,wep,channels";
        const MapPointView none;
        forEachMapValue(none, [&](std::string_view label, std::string_view, const auto&) {
            out += ',';
            out += label;
        });
        out += ",time,vendor,sightings,first_seen,last_seen,radius_m\r\n";
    }

    char* put(char* out, const MapPointView& point) override {
        out = putText(out, point.latitude);
        *out++ = ',';
        out = putText(out, point.longitude);
        *out++ = ',';
        out = putCsvField(out, point.name);
        *out++ = ',';
        out = putCsvField(out, point.bssid);
        *out++ = ',';
        out = putCsvField(out, point.type);
        *out++ = ',';
        out = putCsvField(out, point.flags);
        *out++ = ',';
        if (point.wep) out = putText(out, *point.wep ? "true" : "false");
        *out++ = ',';
        if (point.channels.size() > 1) *out++ = '"';
        out = putChannels(out, point.channels, ";");
        if (point.channels.size() > 1) *out++ = '"';
        *out++ = ',';
        forEachMapValue(point, [&](std::string_view, std::string_view, const auto& value) {
            out = putMapValue(out, value, putCsvField);
            *out++ = ',';
        });
        out = putCsvField(out, point.time);
        *out++ = ',';
        if (point.vendor) out = putCsvField(out, *point.vendor);
        *out++ = ',';
        if (const AccessPointSummary* ap = point.accessPoint) {
            out = putInt(out, static_cast<long long>(ap->sightings));
            *out++ = ',';
            out = putCsvField(out, ap->firstSeen);
            *out++ = ',';
            out = putCsvField(out, ap->lastSeen);
            *out++ = ',';
            if (ap->radiusM) out = putDecimal(out, *ap->radiusM);
        } else {
            out = putText(out, ",,,");
        }
        return putText(out, "\r\n");
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
