// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_writers.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "export/map_text.h"
#include "io/file_error.h"
#include "io/packed_numbers.h"

namespace velmora {

namespace {

// A point held for later, as its values rather than its text (a KML placemark is five times
// the size): each text as its length and bytes, each number packed (io/packed_numbers.h), a decimal
// as its eight bytes, an optional value after a byte that says whether it is there. A text
// read views the held bytes.
namespace held_point {

using packed::getNumber;
using packed::getSigned;
using packed::putNumber;
using packed::putSigned;
char* putString(char* p, std::string_view text) {
    p = putNumber(p, text.size());
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    return p + text.size();
}
std::string_view getString(const char*& p) {
    const auto size = static_cast<std::size_t>(getNumber(p));
    const std::string_view text(p, size);
    p += size;
    return text;
}
char* putDouble(char* p, double value) {
    std::memcpy(p, &value, sizeof value);
    return p + sizeof value;
}
double getDouble(const char*& p) {
    double value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

template <typename Value>
char* putOptional(char* p, const std::optional<Value>& value) {
    *p++ = value ? 1 : 0;
    if (!value) return p;
    if constexpr (std::is_same_v<Value, int>)
        return putSigned(p, *value);
    else if constexpr (std::is_same_v<Value, double>)
        return putDouble(p, *value);
    else
        return putString(p, *value);
}
template <typename Value>
void getOptional(const char*& p, std::optional<Value>& value) {
    if (*p++ == 0) {
        value.reset();
        return;
    }
    if constexpr (std::is_same_v<Value, int>)
        value = static_cast<int>(getSigned(p));
    else if constexpr (std::is_same_v<Value, double>)
        value = getDouble(p);
    else
        value = getString(p);
}

// Writes `point` at `p`, which has room for map_text::pointSizeBound(point) bytes: the bound
// gives each text five times its size and 2 KiB besides, where this takes each text once and a
// few bytes for each value, channel and length.
char* put(char* p, const MapPointView& point) {
    for (const std::string_view text : {point.latitude, point.longitude, point.name, point.bssid,
                                        point.type, point.flags, point.time})
        p = putString(p, text);
    p = putOptional(p, point.vendor);
    *p++ = static_cast<char>(point.wep ? 1 + *point.wep : 0);
    p = putNumber(p, point.channels.size());
    for (const int channel : point.channels) p = putSigned(p, channel);
    forEachMapValue(point, [&](std::string_view, std::string_view, const auto& value) {
        p = putOptional(p, value);
    });
    const AccessPointSummary* ap = point.accessPoint;
    *p++ = ap ? 1 : 0;
    if (ap) {
        p = putNumber(p, ap->sightings);
        p = putString(p, ap->firstSeen);
        p = putString(p, ap->lastSeen);
        p = putOptional(p, ap->radiusM);
    }
    return p;
}

// The point written by put() at `p`, viewing its texts there; its access point's summary, if
// it has one, is `summary`.
void get(const char* p, MapPointView& point, AccessPointSummary& summary) {
    for (std::string_view* text : {&point.latitude, &point.longitude, &point.name, &point.bssid,
                                   &point.type, &point.flags, &point.time})
        *text = getString(p);
    getOptional(p, point.vendor);
    const char wep = *p++;
    if (wep == 0)
        point.wep.reset();
    else
        point.wep = wep == 2;
    point.channels.resize(static_cast<std::size_t>(getNumber(p)));
    for (int& channel : point.channels) channel = static_cast<int>(getSigned(p));
    forEachMapValue(
        point, [&](std::string_view, std::string_view, auto& value) { getOptional(p, value); });
    point.accessPoint = nullptr;
    if (*p++ == 0) return;
    summary.sightings = getNumber(p);
    summary.firstSeen = getString(p);
    summary.lastSeen = getString(p);
    getOptional(p, summary.radiusM);
    point.accessPoint = &summary;
}

}  // namespace held_point

// The points of one group that came while another was being written, held (held_point::put) in
// memory, and in a temporary file past a megabyte, so that a large export holds little. Each
// point stands after its size, four bytes.
class HeldGroup {
  public:
    HeldGroup() = default;
    HeldGroup(const HeldGroup&) = delete;
    HeldGroup& operator=(const HeldGroup&) = delete;
    ~HeldGroup() {
        if (file_) std::fclose(file_);
    }

    // Holds `point` after those held.
    void add(const MapPointView& point) {
        const std::size_t size = kSizeBytes + map_text::pointSizeBound(point);
        if (used_ + size > capacity_) {
            spill();
            if (size > capacity_) grow(size);
        }
        char* const at = bytes_.get() + used_;
        const char* const end = held_point::put(at + kSizeBytes, point);
        const auto held = static_cast<std::uint32_t>(end - at - kSizeBytes);
        std::memcpy(at, &held, kSizeBytes);
        used_ = static_cast<std::size_t>(end - bytes_.get());
    }
    bool empty() const { return used_ == 0 && !file_; }

    // Calls take(point) for each point held, in order; the point's views are valid during the
    // call only.
    template <typename Take>
    void replay(Take&& take) {
        MapPointView point;
        AccessPointSummary summary;
        // Takes the whole points of the `size` bytes at bytes_; returns the bytes of the
        // point cut short at their end.
        const auto takeAll = [&](std::size_t size) {
            std::size_t at = 0;
            for (;;) {
                std::uint32_t held = 0;
                if (size - at < kSizeBytes) break;
                std::memcpy(&held, bytes_.get() + at, kSizeBytes);
                if (size - at - kSizeBytes < held) break;
                held_point::get(bytes_.get() + at + kSizeBytes, point, summary);
                take(static_cast<const MapPointView&>(point));
                at += kSizeBytes + held;
            }
            return at;
        };
        if (!file_) {
            takeAll(used_);
            return;
        }
        spill();
        std::rewind(file_);
        std::size_t left = 0;  // the bytes of a point cut short, at the start
        for (;;) {
            if (left == capacity_) grow(2 * capacity_, left);  // a point larger than the room
            const std::size_t read = std::fread(bytes_.get() + left, 1, capacity_ - left, file_);
            if (read == 0) break;
            const std::size_t size = left + read;
            const std::size_t taken = takeAll(size);
            left = size - taken;
            std::memmove(bytes_.get(), bytes_.get() + taken, left);
        }
        if (std::ferror(file_)) fail();
        if (left != 0) throw FileError("temporary file", "cut short");
    }

  private:
    static constexpr std::size_t kHeldInMemory = std::size_t{1} << 20;
    static constexpr std::size_t kSizeBytes = sizeof(std::uint32_t);

    [[noreturn]] static void fail() { throw FileError("temporary file", std::strerror(errno)); }
    // Room for `size` bytes, the first `keep` of those held kept.
    void grow(std::size_t size, std::size_t keep = 0) {
        size = std::max(size, kHeldInMemory);
        auto bytes = std::make_unique_for_overwrite<char[]>(size);
        if (keep != 0) std::memcpy(bytes.get(), bytes_.get(), keep);
        bytes_ = std::move(bytes);
        capacity_ = size;
    }
    void spill() {
        if (used_ == 0) return;
        if (!file_ && !(file_ = std::tmpfile())) fail();
        if (std::fwrite(bytes_.get(), 1, used_, file_) != used_) fail();
        used_ = 0;
    }

    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::FILE* file_ = nullptr;
};

// Builds each point in place in the output, in room reserved for the longest it can be.
class MapSink final : public ExportSink {
  public:
    MapSink(std::unique_ptr<MapPointWriter> writer, const VendorList* vendors)
        : writer_(std::move(writer)), vendors_(vendors), held_(writer_->groupCount()) {}

    void begin(ExportOutput& out) override {
        std::string header;
        writer_->begin(header);
        out.append(header);
    }
    void write(ExportOutput& out, const ExportRecord& record) override {
        describeRecordInto(point_, store_, record, vendors_);
        const std::size_t bound = map_text::pointSizeBound(point_);
        if (held_.empty()) {
            out.commit(writer_->put(out.reserve(bound), point_));
            return;
        }
        // The group of the first point is written as it comes; the others are held.
        const int group = writer_->groupOf(point_);
        if (current_ < 0) {
            current_ = group;
            std::string text;
            writer_->beginGroup(text, group);
            out.append(text);
        }
        if (group == current_)
            out.commit(writer_->put(out.reserve(bound), point_));
        else
            held_[static_cast<std::size_t>(group)].add(point_);
    }
    void end(ExportOutput& out) override {
        std::string text;
        if (current_ >= 0) writer_->endGroup(text, current_);
        out.append(text);
        for (std::size_t group = 0; group < held_.size(); ++group) {
            if (held_[group].empty()) continue;
            text.clear();
            writer_->beginGroup(text, static_cast<int>(group));
            out.append(text);
            held_[group].replay([&](const MapPointView& point) {
                out.commit(writer_->put(out.reserve(map_text::pointSizeBound(point)), point));
            });
            text.clear();
            writer_->endGroup(text, static_cast<int>(group));
            out.append(text);
        }
        std::string footer;
        writer_->end(footer);
        out.append(footer);
    }
    bool wantsExtras() const override { return true; }
    std::vector<ExportSidecar> sidecars() const override { return writer_->sidecars(); }

  private:
    std::unique_ptr<MapPointWriter> writer_;
    const VendorList* vendors_;
    // The record being written, and its texts that are not the record's bytes; their room is
    // kept from record to record.
    MapPointView point_;
    MapPointStore store_;
    // For a writer of groups: the group being written, and the points of the others.
    int current_ = -1;
    std::vector<HeldGroup> held_;
};

}  // namespace

std::unique_ptr<ExportSink> makeMapSink(std::unique_ptr<MapPointWriter> writer,
                                        const VendorList* vendors) {
    return std::make_unique<MapSink>(std::move(writer), vendors);
}

}  // namespace velmora
