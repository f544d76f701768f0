// SPDX-License-Identifier: GPL-3.0-or-later
// One pin per access point: the exports' sink over the rule of strongest_sightings.h.

#include <memory>
#include <optional>
#include <utility>

#include "export/map_sinks.h"
#include "sightings/strongest_sightings.h"

namespace velmora {

namespace {

class PerAccessPointSink final : public ExportSink {
  public:
    PerAccessPointSink(std::unique_ptr<ExportSink> inner, ApPosition position)
        : inner_(std::move(inner)), strongest_(position) {}

    void placeBeside(const std::filesystem::path& target) override { inner_->placeBeside(target); }
    void begin(ExportOutput& out) override { inner_->begin(out); }
    void write(ExportOutput&, const ExportRecord& record) override { strongest_.add(record); }
    void end(ExportOutput& out) override {
        strongest_.finish([&](const Sighting& pin) { inner_->write(out, pin); });
        inner_->end(out);
    }
    std::filesystem::path takeBuiltFile() override { return inner_->takeBuiltFile(); }

    // The signal ranks the sightings, whatever the format writes.
    bool wantsExtras() const override { return true; }
    std::optional<std::uint64_t> pointsWritten() const override { return strongest_.size(); }
    std::vector<ExportSidecar> sidecars() const override { return inner_->sidecars(); }

  private:
    std::unique_ptr<ExportSink> inner_;
    StrongestSightings strongest_;
};

}  // namespace

std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink> inner,
                                                   ApPosition position) {
    return std::make_unique<PerAccessPointSink>(std::move(inner), position);
}

}  // namespace velmora
