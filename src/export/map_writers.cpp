// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/map_writers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "export/map_text.h"
#include "io/file_error.h"

namespace velmora {

namespace {

// The points of one group that came while another was being written: held in memory, and in a
// temporary file past a megabyte, so that a large export holds little.
class HeldGroup {
  public:
    HeldGroup() = default;
    HeldGroup(const HeldGroup&) = delete;
    HeldGroup& operator=(const HeldGroup&) = delete;
    ~HeldGroup() {
        if (file_) std::fclose(file_);
    }

    // Room for `size` bytes after those held; uninitialised, as a point fills only part of it.
    char* reserve(std::size_t size) {
        if (used_ + size > capacity_) {
            spill();
            if (size > capacity_) {
                capacity_ = std::max(size, kHeldInMemory);
                bytes_ = std::make_unique_for_overwrite<char[]>(capacity_);
            }
        }
        return bytes_.get() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.get()); }
    bool empty() const { return used_ == 0 && !file_; }

    // Everything held, in order.
    void writeTo(ExportOutput& out) {
        if (file_) {
            spill();
            std::rewind(file_);
            // Read straight into the output's room, not through a buffer of its own: a large
            // export holds most of its points here, and each copy of them costs.
            for (;;) {
                char* const room = out.reserve(capacity_);
                const std::size_t read = std::fread(room, 1, capacity_, file_);
                out.commit(room + read);
                if (read < capacity_) break;
            }
            if (std::ferror(file_)) fail();
            return;
        }
        out.append(std::string_view(bytes_.get(), used_));
    }

  private:
    static constexpr std::size_t kHeldInMemory = std::size_t{1} << 20;

    [[noreturn]] static void fail() { throw FileError("temporary file", std::strerror(errno)); }
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
        if (group == current_) {
            out.commit(writer_->put(out.reserve(bound), point_));
        } else {
            HeldGroup& held = held_[static_cast<std::size_t>(group)];
            held.commit(writer_->put(held.reserve(bound), point_));
        }
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
            held_[group].writeTo(out);
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
