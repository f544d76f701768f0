// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_writers.h"

#include <utility>

#include "export/map_text.h"

namespace velmora {

namespace {

// Builds each point in place in the output, in room reserved for the longest it can be.
class MapSink final : public ExportSink {
  public:
    MapSink(std::unique_ptr<MapPointWriter> writer, const VendorList* vendors)
        : writer_(std::move(writer)), vendors_(vendors) {}

    void begin(ExportOutput& out) override {
        std::string header;
        writer_->begin(header);
        out.append(header);
    }
    void write(ExportOutput& out, const ExportRecord& record) override {
        describeRecordInto(point_, store_, record, vendors_);
        out.commit(writer_->put(out.reserve(map_text::pointSizeBound(point_)), point_));
    }
    void end(ExportOutput& out) override {
        std::string footer;
        writer_->end(footer);
        out.append(footer);
    }
    bool wantsExtras() const override { return true; }

  private:
    std::unique_ptr<MapPointWriter> writer_;
    const VendorList* vendors_;
    // The record being written, and its texts that are not the record's bytes; their room is
    // kept from record to record.
    MapPointView point_;
    MapPointStore store_;
};

}  // namespace

std::unique_ptr<ExportSink> makeMapSink(std::unique_ptr<MapPointWriter> writer,
                                        const VendorList* vendors) {
    return std::make_unique<MapSink>(std::move(writer), vendors);
}

}  // namespace velmora
