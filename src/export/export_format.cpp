// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_format.h"

#include <array>

#include "export/map_sinks.h"
#include "export/st_sink.h"

namespace velmora {

namespace {

// In ExportFormat's order.
constexpr std::array<ExportFormatInfo, std::size(kExportFormats)> kFormats = {{
    {"st", "", "Streets and Trips"},
    {"kml", ".kml", "KML"},
    {"gpx", ".gpx", "GPX"},
    {"geojson", ".geojson", "GeoJSON"},
    {"csv", ".csv", "CSV"},
    {"gpkg", ".gpkg", "GeoPackage"},
}};

// The name without its extension: up to its last ".", unless that is its first character (a
// hidden file's name is all stem).
std::string_view stem(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// The name of the file a log saved gzip-compressed holds ("drive3.txt.gz": "drive3.txt"): its
// exports are named after that, as none of them is compressed.
std::string_view heldName(std::string_view name) {
    const std::size_t n = name.size();
    if (n > 3 && name[n - 3] == '.' && (name[n - 2] | 0x20) == 'g' && (name[n - 1] | 0x20) == 'z')
        return name.substr(0, n - 3);
    return name;
}

}  // namespace

const ExportFormatInfo& exportFormatInfo(ExportFormat format) {
    return kFormats.at(static_cast<std::size_t>(format));
}

std::optional<ExportFormat> parseExportFormat(std::string_view option) {
    for (std::size_t i = 0; i < kFormats.size(); ++i)
        if (option == kFormats[i].option) return static_cast<ExportFormat>(i);
    return std::nullopt;
}

std::unique_ptr<ExportSink> makeExportSink(const ExportStyle& style) {
    std::unique_ptr<ExportSink> sink;
    switch (style.format) {
        case ExportFormat::StreetsAndTrips:
            sink = std::make_unique<StreetsAndTripsSink>();
            break;
        case ExportFormat::Kml:
            sink = makeKmlSink(style.vendors, style.documentName);
            break;
        case ExportFormat::Gpx:
            sink = makeGpxSink(style.vendors);
            break;
        case ExportFormat::GeoJson:
            sink = makeGeoJsonSink(style.vendors);
            break;
        case ExportFormat::Csv:
            sink = makeCsvSink(style.vendors);
            break;
        case ExportFormat::GeoPackage:
            sink = makeGeoPackageSink(style.vendors);
            break;
    }
    if (style.perAccessPoint) sink = makePerAccessPointSink(std::move(sink), style.apPosition);
    return sink;
}

std::string mainExportFileName(std::string_view prefix, std::string_view logFileName,
                               ExportFormat format) {
    std::string name(prefix);
    logFileName = heldName(logFileName);
    if (format == ExportFormat::StreetsAndTrips) return name.append(logFileName);
    return name.append(stem(logFileName)).append(exportFormatInfo(format).extension);
}

std::string advancedExportFileName(std::string_view stem, std::string_view streetsAndTripsName,
                                   ExportFormat format) {
    if (format == ExportFormat::StreetsAndTrips) return std::string(streetsAndTripsName);
    return std::string(stem).append(exportFormatInfo(format).extension);
}

}  // namespace velmora
