// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "export/export_sink.h"
#include "sightings/strongest_sightings.h"

namespace velmora {

class VendorList;

// The file formats every export can be written in. Streets and Trips is the default and
// writes exactly what it always has.
enum class ExportFormat { StreetsAndTrips, Kml, Gpx, GeoJson, Csv, GeoPackage };
// Every format, in the order menus and file-type lists give them.
inline constexpr ExportFormat kExportFormats[] = {
    ExportFormat::StreetsAndTrips, ExportFormat::Kml, ExportFormat::Gpx,
    ExportFormat::GeoJson,         ExportFormat::Csv, ExportFormat::GeoPackage};

struct ExportFormatInfo {
    const char*
        option;  // the batch tool's --format word: "st", "kml", "gpx", "geojson", "csv", "gpkg"
    const char*
        extension;      // ".kml", ... ; empty for Streets and Trips, whose names stay as they are
    const char* title;  // as menus and file-type filters name it
};
const ExportFormatInfo& exportFormatInfo(ExportFormat format);
std::optional<ExportFormat> parseExportFormat(std::string_view option);

// How an export is written, beside its selection.
struct ExportStyle {
    ExportFormat format = ExportFormat::StreetsAndTrips;
    bool perAccessPoint = false;                    // one pin per access point
    ApPosition apPosition = ApPosition::Strongest;  // where each such pin stands
    const VendorList* vendors = nullptr;            // for the map formats' vendor; may be null
    std::string documentName;                       // KML names its Document after the log
};

// The sink that writes `style`.
std::unique_ptr<ExportSink> makeExportSink(const ExportStyle& style);

// A main-window export's file name: the prefix and the log's file name, its extension replaced
// by the format's (a name without one gets it added); Streets and Trips keeps the name as it is.
// A compressed log's name counts without its ".gz".
std::string mainExportFileName(std::string_view prefix, std::string_view logFileName,
                               ExportFormat format);
// An Advanced export's file name: `stem` ("AP-HOMENET", "MAC_000C41AABB01") and the format's
// extension, or `streetsAndTripsName` (today's name) for Streets and Trips.
std::string advancedExportFileName(std::string_view stem, std::string_view streetsAndTripsName,
                                   ExportFormat format);

}  // namespace velmora
