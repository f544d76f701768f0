// SPDX-License-Identifier: GPL-3.0-or-later
// CSV (RFC 4180): one header row, one row per point, CR LF line ends.
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"

namespace velmora {

namespace {

using namespace map_text;

// The declared type of a map value's column in the .csvt: int, double or text.
template <typename Value>
constexpr std::string_view csvtType(const std::optional<Value>&) {
    if constexpr (std::is_same_v<Value, int>)
        return "Integer";
    else if constexpr (std::is_same_v<Value, double>)
        return "Real";
    else
        return "String";
}

// The columns, and the type GDAL and QGIS read each as from the .csvt beside the file: without
// it they guess from the values, and a BSSID such as 00:09:5B:EE:E7:61 becomes a time, Flags
// 0031 the number 31. The coordinates are declared as the point's, so a plain reader finds the
// geometry; the times are text, as a log without dates gives "HH:MM:SS" alone.
void putColumns(std::string& header, std::string& types) {
    const auto column = [&](std::string_view name, std::string_view type) {
        if (!header.empty()) header += ',';
        if (!types.empty()) types += ',';
        header += name;
        types += type;
    };
    column("latitude", "CoordY");
    column("longitude", "CoordX");
    for (const char* text : {"name", "bssid", "type", "flags"}) column(text, "String");
    column("wep", "Integer(Boolean)");
    column("channels", "String");
    const MapPointView none;
    forEachMapValue(none, [&](std::string_view label, std::string_view, const auto& value) {
        column(label, csvtType(value));
    });
    column("time", "String");
    column("vendor", "String");
    column("sightings", "Integer");
    column("first_seen", "String");
    column("last_seen", "String");
    column("radius_m", "Real");
}

// WGS 84 in the form shapefiles carry, which GDAL and QGIS read beside a CSV file too.
constexpr std::string_view kWgs84Prj =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
    "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

// The per-access-point columns are always there, so every file of the format has the
// same columns; they stay empty for a point that is one sighting.
class CsvWriter final : public MapPointWriter {
  public:
    void begin(std::string& out) override {
        std::string header, types;
        putColumns(header, types);
        out += header;
        out += "\r\n";
    }

    std::vector<ExportSidecar> sidecars() const override {
        std::string header, types;
        putColumns(header, types);
        return {{".csvt", types + "\r\n"}, {".prj", std::string(kWgs84Prj)}};
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
