// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "export/export_sink.h"

namespace velmora::test {

// A sink that keeps what it is handed, one text a call: "begin", "end", and for each record
// the items `items` names, its SNR, signal and noise ("-" for none) and date, then "x", the
// sightings, first and last time of its access point where it has one, all space-separated.
// Each text is also written, a line each; call number `failAt` (from 1) throws instead.
class RecordingSink final : public ExportSink {
  public:
    explicit RecordingSink(std::vector<std::size_t> items, bool wantsExtras = false)
        : items_(std::move(items)), wantsExtras_(wantsExtras) {}

    std::vector<std::string> calls;
    std::size_t failAt = 0;

    void begin(ExportOutput& out) override { call(out, "begin"); }
    void write(ExportOutput& out, const ExportRecord& record) override {
        std::string text;
        for (const std::size_t k : items_) text.append(record.fields[k]).append(" ");
        for (const auto& number : {record.extras.snr, record.extras.signal, record.extras.noise})
            text += (number ? std::to_string(*number) : "-") + " ";
        text.append(record.extras.date);
        if (const AccessPointSummary* ap = record.accessPoint)
            text += " x" + std::to_string(ap->sightings) + " " + ap->firstSeen + " " + ap->lastSeen;
        call(out, text);
    }
    void end(ExportOutput& out) override { call(out, "end"); }
    bool wantsExtras() const override { return wantsExtras_; }

  private:
    void call(ExportOutput& out, const std::string& text) {
        calls.push_back(text);
        if (calls.size() == failAt) throw std::runtime_error("sink failed");
        out.append(text + "\n");
    }

    std::vector<std::size_t> items_;
    bool wantsExtras_;
};

}  // namespace velmora::test
