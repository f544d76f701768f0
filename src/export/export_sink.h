// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/block_writer.h"
#include "sightings/sighting.h"

namespace velmora {

// One selected record as a sink receives it: the items as read, with the selection's
// upper-casing applied, its extras where the sink asks for them (wantsExtras).
using ExportRecord = Sighting;

// Where a sink writes its bytes: the export file, written in large blocks on a thread of its
// own. A sink either builds in place (reserve room, fill it, commit the end) or appends text.
class ExportOutput {
  public:
    explicit ExportOutput(BlockWriter& block) : block_(block) {}

    // Room for `size` bytes, valid until the next call on this output.
    char* reserve(std::size_t size) { return block_.reserve(size); }
    // The bytes up to `end`, in the room last reserved, are written.
    void commit(const char* end) { block_.commit(end); }
    // Writes `bytes` as they are.
    void append(std::string_view bytes);

  private:
    BlockWriter& block_;
};

// A small file a format writes beside its export, under the export's name with `extension` in
// place of its own (".csvt", ".prj"), so that other programs read the export as meant.
struct ExportSidecar {
    std::string extension;
    std::string bytes;
};

// A file format: receives the selected records one at a time, in file order, and writes them.
// A sink knows nothing of where the records come from or which were left out; writeExport
// (export_walk.h) reads, selects and hands them over, and owns the file. A sink that throws
// fails the export: the target is then left as it was.
class ExportSink {
  public:
    virtual ~ExportSink() = default;

    // Where the export will be put, before begin(): a sink that builds its file elsewhere first
    // keeps that scratch file beside it, on the same file system.
    virtual void placeBeside(const std::filesystem::path& target) { (void)target; }
    // Before the first record: a header, where the format has one.
    virtual void begin(ExportOutput& out) { (void)out; }
    // One selected record.
    virtual void write(ExportOutput& out, const ExportRecord& record) = 0;
    // After the last record: a footer, or what the sink held back until the end.
    virtual void end(ExportOutput& out) { (void)out; }
    // After end(), from a sink told placeBeside(): the complete export it built as a file of its
    // own beside the target, instead of writing to its output. The file is then the caller's
    // (put in place, or removed on failure); empty for a sink that wrote to its output.
    virtual std::filesystem::path takeBuiltFile() { return {}; }

    // Whether write() reads ExportRecord::extras; the walk reads them only for a sink that does.
    virtual bool wantsExtras() const { return false; }
    // The number of points written, where it differs from the records handed over (one pin per
    // access point); nothing otherwise.
    virtual std::optional<std::uint64_t> pointsWritten() const { return std::nullopt; }
    // The files written beside the export, each as one whole with it (export_walk.h).
    virtual std::vector<ExportSidecar> sidecars() const { return {}; }
};

}  // namespace velmora
