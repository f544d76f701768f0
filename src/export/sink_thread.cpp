// SPDX-License-Identifier: GPL-3.0-or-later
// A sink that writes on a thread of its own: the walk reads and selects the records and copies
// each into a batch; a full batch is handed to the thread, which hands its records to the inner
// sink while the walk fills the next. On two cores the map formats' describing and formatting
// then run beside the reading, which keeps the "load + convert-all kml" bench row and its
// kin within 2 times the Streets and Trips Convert All.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "export/export_sink.h"
#include "export/held_bytes.h"
#include "io/background_worker.h"

namespace velmora {

namespace {

using namespace held;

struct Batch {
    std::vector<char> bytes;
    std::size_t used = 0;
};

constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

// The most bytes held::put of `record` writes: each number at most ten, each item's and text's
// length at most five, its bytes once.
std::size_t heldSize(const ExportRecord& record) {
    std::size_t size = 64 + 16 * kExtrasFieldCount + 6 * WorkingRecord::kFieldCount;
    for (const std::string_view field : record.fields) size += field.size();
    forEachExtrasField(record.extras, [&](ExtrasKind, std::string_view, const auto& member) {
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, std::string_view>)
            size += member.size();
        else if constexpr (std::is_same_v<Member, std::optional<std::string_view>>)
            size += member ? member->size() : 0;
    });
    if (const AccessPointSummary* ap = record.accessPoint)
        size += ap->firstSeen.size() + ap->lastSeen.size();
    return size;
}

// A record as held: its number; its items' sizes, then the items one byte apart; its extras in
// table order; whether it has an access point's summary, and the summary.
char* put(char* p, const ExportRecord& record) {
    p = putNumber(p, record.number);
    const RecordFields& fields = record.fields;
    for (const std::string_view field : fields) p = putNumber(p, field.size());
    if (oneRun(fields)) {
        // A line read: copied as one run, separators and all.
        const char* const first = fields.front().data();
        const auto size =
            static_cast<std::size_t>(fields.back().data() + fields.back().size() - first);
        std::memcpy(p, first, size);
        p += size;
    } else {
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (k > 0) *p++ = ',';
            if (!fields[k].empty()) std::memcpy(p, fields[k].data(), fields[k].size());
            p += fields[k].size();
        }
    }
    forEachExtrasField(record.extras, [&](ExtrasKind, std::string_view, const auto& member) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string_view>)
            p = putString(p, member);
        else
            p = putOptional(p, member);
    });
    const AccessPointSummary* ap = record.accessPoint;
    *p++ = ap ? 1 : 0;
    if (ap) {
        p = putNumber(p, ap->sightings);
        p = putString(p, ap->firstSeen);
        p = putString(p, ap->lastSeen);
        p = putOptional(p, ap->radiusM);
    }
    return p;
}

// The record put() wrote at `p`, viewing it there; its summary, if it has one, is `summary`.
// Returns where the next record stands.
const char* get(const char* p, ExportRecord& record, AccessPointSummary& summary) {
    record.number = getNumber(p);
    std::size_t sizes[WorkingRecord::kFieldCount];
    for (std::size_t& size : sizes) size = static_cast<std::size_t>(getNumber(p));
    for (std::size_t k = 0; k < record.fields.size(); ++k) {
        record.fields[k] = {p, sizes[k]};
        p += sizes[k] + (k + 1 < record.fields.size() ? 1 : 0);
    }
    forEachExtrasField(record.extras, [&](ExtrasKind, std::string_view, auto& member) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string_view>)
            member = getString(p);
        else
            getOptional(p, member);
    });
    record.accessPoint = nullptr;
    if (*p++ == 0) return p;
    summary.sightings = getNumber(p);
    summary.firstSeen = getString(p);
    summary.lastSeen = getString(p);
    getOptional(p, summary.radiusM);
    record.accessPoint = &summary;
    return p;
}

class ThreadedSink final : public ExportSink {
  public:
    explicit ThreadedSink(std::unique_ptr<ExportSink> inner)
        : inner_(std::move(inner)), worker_([this](Batch& batch) { writeBatch(batch); }) {}
    ~ThreadedSink() override { worker_.stop(); }

    void placeBeside(const std::filesystem::path& target) override { inner_->placeBeside(target); }
    void begin(ExportOutput& out) override {
        out_ = &out;
        inner_->begin(out);
    }
    // Only the thread writes to the output until end().
    void write(ExportOutput&, const ExportRecord& record) override {
        const std::size_t size = heldSize(record);
        if (filling_.used + size > filling_.bytes.size()) {
            if (filling_.used > 0) hand();
            if (filling_.bytes.size() < std::max(size, kBatchBytes))
                filling_.bytes.resize(std::max(size, kBatchBytes));
        }
        filling_.used = static_cast<std::size_t>(
            put(filling_.bytes.data() + filling_.used, record) - filling_.bytes.data());
    }
    void end(ExportOutput& out) override {
        if (filling_.used > 0) hand();
        worker_.wait();
        inner_->end(out);
    }
    void stop() override { worker_.stop(); }
    std::filesystem::path takeBuiltFile() override { return inner_->takeBuiltFile(); }

    bool wantsExtras() const override { return inner_->wantsExtras(); }
    std::optional<std::uint64_t> pointsWritten() const override { return inner_->pointsWritten(); }
    std::vector<ExportSidecar> sidecars() const override { return inner_->sidecars(); }

  private:
    void hand() {
        worker_.hand(filling_);
        filling_.used = 0;
    }
    // On the thread.
    void writeBatch(Batch& batch) {
        const char* p = batch.bytes.data();
        const char* const end = p + batch.used;
        while (p != end) {
            p = get(p, record_, summary_);
            inner_->write(*out_, record_);
        }
        batch.used = 0;
    }

    std::unique_ptr<ExportSink> inner_;
    ExportOutput* out_ = nullptr;
    Batch filling_;  // the walk's
    // The thread's: the record being handed over, and its summary.
    ExportRecord record_;
    AccessPointSummary summary_;
    BackgroundWorker<Batch> worker_;  // declared last: stops before the rest goes
};

}  // namespace

std::unique_ptr<ExportSink> makeThreadedSink(std::unique_ptr<ExportSink> inner) {
    return std::make_unique<ThreadedSink>(std::move(inner));
}

}  // namespace velmora
