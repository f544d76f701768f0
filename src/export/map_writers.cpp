#include "export/map_writers.h"

#include <utility>

namespace velmora {

namespace {

class MapSink final : public ExportSink {
  public:
    MapSink(std::unique_ptr<MapPointWriter> writer, const VendorList* vendors)
        : writer_(std::move(writer)), vendors_(vendors) {}

    void begin(ExportOutput& out) override {
        text_.clear();
        writer_->begin(text_);
        out.append(text_);
    }
    void write(ExportOutput& out, const ExportRecord& record) override {
        text_.clear();
        writer_->write(text_, describeRecord(record, vendors_));
        out.append(text_);
    }
    void end(ExportOutput& out) override {
        text_.clear();
        writer_->end(text_);
        out.append(text_);
    }
    bool wantsExtras() const override { return true; }

  private:
    std::unique_ptr<MapPointWriter> writer_;
    const VendorList* vendors_;
    std::string text_;  // one point's text, its room kept from point to point
};

}  // namespace

std::unique_ptr<ExportSink> makeMapSink(std::unique_ptr<MapPointWriter> writer,
                                        const VendorList* vendors) {
    return std::make_unique<MapSink>(std::move(writer), vendors);
}

}  // namespace velmora
