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
    // A format that files its points in groups (KML's folders) has groupCount() of them and
    // says each point's group; the sink writes each group's points together, between
    // beginGroup() and endGroup(): the first point's group first, then the others in their
    // order, each point in file order within its group.
    virtual int groupCount() const { return 0; }
    virtual int groupOf(const MapPointView& point) const {
        (void)point;
        return 0;
    }
    virtual void beginGroup(std::string& out, int group) { (void)out, (void)group; }
    virtual void endGroup(std::string& out, int group) { (void)out, (void)group; }
    // The files the format writes beside its export (ExportSink::sidecars).
    virtual std::vector<ExportSidecar> sidecars() const { return {}; }
};

std::unique_ptr<MapPointWriter> makeKmlWriter(std::string documentName);
std::unique_ptr<MapPointWriter> makeGpxWriter();
std::unique_ptr<MapPointWriter> makeGeoJsonWriter();
std::unique_ptr<MapPointWriter> makeCsvWriter();

// The sink that writes each record it receives as a point of `writer`'s format.
std::unique_ptr<ExportSink> makeMapSink(std::unique_ptr<MapPointWriter> writer,
                                        const VendorList* vendors);

}  // namespace velmora
