// One pin per access point: holds the strongest sighting of each access point of the
// selection and hands them to the format's sink once the walk is over.
#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/map_point.h"
#include "export/map_sinks.h"
#include "records/ascii.h"

namespace velmora {

namespace {

// A copy of one record and its extras, owning its bytes: the walk's views last one write().
class HeldRecord {
  public:
    void assign(const ExportRecord& record) {
        bytes_.clear();
        for (std::size_t k = 0; k < record.fields.size(); ++k) {
            offsets_[k] = bytes_.size();
            bytes_.append(record.fields[k]);
        }
        offsets_.back() = bytes_.size();
        extras_ = record.extras;
        extras_.date = {};  // view() points it at date_, wherever the copy has moved
        date_.assign(record.extras.date);
    }

    // The record as a sink receives it, viewing this copy.
    ExportRecord view() const {
        ExportRecord record;
        const std::string_view all(bytes_);
        for (std::size_t k = 0; k < record.fields.size(); ++k)
            record.fields[k] = all.substr(offsets_[k], offsets_[k + 1] - offsets_[k]);
        record.extras = extras_;
        record.extras.date = date_;
        return record;
    }

  private:
    std::string bytes_;
    std::array<std::size_t, WorkingRecord::kFieldCount + 1> offsets_{};
    RecordExtras extras_;
    std::string date_;
};

// The time and date of a sighting, as mapTime takes them.
struct Seen {
    std::string time;
    std::string date;

    void assign(const ExportRecord& record) {
        time.assign(record.fields[WorkingRecord::Time]);
        date.assign(record.extras.date);
    }
};

struct AccessPoint {
    HeldRecord strongest;
    std::optional<int> signal;  // the strongest sighting's
    std::uint64_t sightings = 0;
    Seen first;
    Seen last;
};

// Whether a sighting of signal `candidate` is stronger than one of `held`: a higher signal;
// an unreadable one ranks below every readable one, and equals keep the first.
bool stronger(const std::optional<int>& candidate, const std::optional<int>& held) {
    if (!candidate) return false;
    return !held || *candidate > *held;
}

class PerAccessPointSink final : public ExportSink {
  public:
    explicit PerAccessPointSink(std::unique_ptr<ExportSink> inner) : inner_(std::move(inner)) {}

    void begin(ExportOutput& out) override { inner_->begin(out); }

    void write(ExportOutput&, const ExportRecord& record) override {
        key_.assign(record.fields[WorkingRecord::BSSID]);
        upperAsciiInPlace(key_);
        const auto [at, added] = index_.try_emplace(key_, accessPoints_.size());
        if (added) {
            accessPoints_.emplace_back();
            AccessPoint& ap = accessPoints_.back();
            ap.strongest.assign(record);
            ap.signal = record.extras.signal;
            ap.first.assign(record);
        } else if (AccessPoint& ap = accessPoints_[at->second];
                   stronger(record.extras.signal, ap.signal)) {
            ap.strongest.assign(record);
            ap.signal = record.extras.signal;
        }
        AccessPoint& ap = accessPoints_[at->second];
        ++ap.sightings;
        ap.last.assign(record);
    }

    void end(ExportOutput& out) override {
        AccessPointSummary summary;
        for (const AccessPoint& ap : accessPoints_) {
            summary.sightings = ap.sightings;
            summary.firstSeen = mapTime(ap.first.time, ap.first.date);
            summary.lastSeen = mapTime(ap.last.time, ap.last.date);
            ExportRecord record = ap.strongest.view();
            record.accessPoint = &summary;
            inner_->write(out, record);
        }
        inner_->end(out);
    }

    // The signal ranks the sightings, whatever the format writes.
    bool wantsExtras() const override { return true; }
    std::optional<std::uint64_t> pointsWritten() const override { return accessPoints_.size(); }

  private:
    std::unique_ptr<ExportSink> inner_;
    std::vector<AccessPoint> accessPoints_;               // in order of first sighting
    std::unordered_map<std::string, std::size_t> index_;  // upper-cased BSSID -> its entry
    std::string key_;
};

}  // namespace

std::unique_ptr<ExportSink> makePerAccessPointSink(std::unique_ptr<ExportSink> inner) {
    return std::make_unique<PerAccessPointSink>(std::move(inner));
}

}  // namespace velmora
