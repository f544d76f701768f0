// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "export/export_sink.h"
#include "sightings/map_point.h"

namespace velmora {

class VendorList;

// The text of one map format, apart from where its points come from: the map sinks
// (map_sinks.h) describe each record (describeRecordInto) and hand the point to one of these.
class MapPointWriter {
  public:
    virtual ~MapPointWriter() = default;

    // The header, appended to `out`.
    virtual void begin(std::string& out) { (void)out; }
    // One point, written at `out`, which has room for map_text::pointSizeBound(point) bytes;
    // returns the end of what it wrote.
    virtual char* put(char* out, const MapPointView& point) = 0;
    // The footer, appended to `out`.
    virtual void end(std::string& out) { (void)out; }
};

std::unique_ptr<MapPointWriter> makeKmlWriter(std::string documentName);
std::unique_ptr<MapPointWriter> makeGpxWriter();
std::unique_ptr<MapPointWriter> makeGeoJsonWriter();
std::unique_ptr<MapPointWriter> makeCsvWriter();

// The sink that writes each record it receives as a point of `writer`'s format.
std::unique_ptr<ExportSink> makeMapSink(std::unique_ptr<MapPointWriter> writer,
                                        const VendorList* vendors);

}  // namespace velmora
