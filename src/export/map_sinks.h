// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "export/export_sink.h"
#include "sightings/strongest_sightings.h"

namespace velmora {

class VendorList;

// The map format sinks: each writes one point per record it receives (describeRecord), UTF-8.
std::unique_ptr<ExportSink> makeKmlSink(const VendorList* vendors, std::string documentName);
std::unique_ptr<ExportSink> makeGpxSink(const VendorList* vendors);
std::unique_ptr<ExportSink> makeGeoJsonSink(const VendorList* vendors);
std::unique_ptr<ExportSink> makeCsvSink(const VendorList* vendors);
// GeoPackage: the same points in an SQLite database, each value in a column of its own type.
std::unique_ptr<ExportSink> makeGeoPackageSink(const VendorList* vendors);

// Wraps `inner` so that it receives one record per distinct upper-cased BSSID of the selection,
// in order of its first sighting, at its strongest sighting (highest signal; the first of
// equals; an unreadable signal ranks lowest), with ExportRecord::accessPoint set; or, with
// ApPosition::Weighted, at the weighted centroid of its sightings (strongest_sightings.h).
std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink> inner,
                                                   ApPosition position = ApPosition::Strongest);

}  // namespace velmora
