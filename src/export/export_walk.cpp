// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_walk.h"

#include <memory>
#include <optional>
#include <random>
#include <string>

#include "export/st_sink.h"
#include "io/block_writer.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/protected_files.h"
#include "io/text_file_writer.h"
#include "records/record_extras.h"
#include "records/record_reader.h"
#include "records/record_walk.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

fs::path temporaryBeside(const fs::path& target, const char* kind) {
    std::random_device random;
    const auto tag = std::to_string(random());
    // Cut a long name so the temporary one still fits the file system's limit.
    const auto name = target.filename().string().substr(0, 200);
    return target.parent_path() / ("." + name + "." + kind + "-" + tag);
}

// An export replaces a regular file only, and never the working record file it reads, the
// loaded log or the vendor list.
void refuseTarget(const fs::path& target, const fs::path& workingFile) {
    std::error_code ec;
    const auto type = fs::status(target, ec).type();
    if (type == fs::file_type::not_found) return;
    // The system's own reason, such as a name too long for the file system.
    if (ec) throw FileError(target, ec.message());
    if (type != fs::file_type::regular)
        throw FileError(target,
                        type == fs::file_type::directory ? "Is a directory" : "Not a regular file");
    if (fs::equivalent(target, workingFile, ec))
        throw FileError(target, "Is the working record file");
    refuseProtected(target);
}

// The file an export is written into before it takes its name: an unnamed one, so that even a
// program killed midway leaves no partial file; where the file system has none, one under a
// temporary name beside the target that an interrupt deletes.
class ExportFile {
  public:
    explicit ExportFile(const fs::path& target)
        : unnamed_(TextFileWriter::unnamedIn(target.parent_path(), target)),
          temporary_(unnamed_ ? fs::path() : temporaryBeside(target, "part")) {}
    // The file to write; a named one is made here (inside the caller's try, so that its
    // failure is reported under the target's name).
    TextFileWriter& open() {
        if (unnamed_) return *unnamed_;
        scratch_.emplace(temporary_);
        named_ = std::make_unique<TextFileWriter>(temporary_);
        return *named_;
    }
    // The temporary name; empty for an unnamed file.
    const fs::path& temporary() const { return temporary_; }

  private:
    std::unique_ptr<TextFileWriter> unnamed_;
    fs::path temporary_;
    std::optional<InterruptCleanup> scratch_;
    std::unique_ptr<TextFileWriter> named_;
};

// Writes `bytes` as the file `target` the way writeExport writes an export: complete and on disk
// before it takes the name in one rename.
void writeWholeFile(const fs::path& target, std::string_view bytes, const fs::path& workingFile) {
    refuseTarget(target, workingFile);
    ExportFile file(target);
    const fs::path& temporary = file.temporary();
    try {
        TextFileWriter& out = file.open();
        out.write(bytes);
        out.sync();
        out.close();
        out.placeAs(target);
    } catch (const FileError& e) {
        std::error_code ignored;
        if (!temporary.empty()) fs::remove(temporary, ignored);
        if (e.path() == temporary) throw FileError(target, e.reason());
        throw;
    }
}

// Reads the records from `reader` and hands the ones `selection` passes to `sink`, between its
// begin() and end(). Returns the number handed over.
std::uint64_t handRecords(RecordReader& reader, const fs::path& workingFile,
                          const RecordSelection& selection, ExportSink& sink,
                          ExportOutput& output) {
    UpperCasing upperCasing(selection.upper);
    ExportRecord record;
    std::uint64_t number = 0;
    std::uint64_t written = 0;
    sink.begin(output);
    const bool wantsExtras = sink.wantsExtras();
    if (wantsExtras || selection.byExtras) {
        // Each record's extras line is read, selected or not, so that the two files stay in
        // step. Read straight into the record, which hands them over as they are.
        ExtrasReader extras(workingFile);
        forEachRecord(reader, [&](const RecordFields& fields) {
            record.extras = extras.next(fields);
            const std::uint64_t at = number++;
            if (!selection.filter(fields)) return;
            if (selection.byExtras && !selection.byExtras(fields, record.extras)) return;
            record.fields = fields;
            if (!wantsExtras) record.extras = RecordExtras{};
            record.number = at;
            upperCasing.apply(record.fields);
            sink.write(output, record);
            ++written;
        });
    } else {
        forEachRecord(reader, [&](const RecordFields& fields) {
            const std::uint64_t at = number++;
            if (!selection.filter(fields)) return;
            record.fields = fields;
            record.number = at;
            upperCasing.apply(record.fields);
            sink.write(output, record);
            ++written;
        });
    }
    sink.end(output);
    return written;
}

}  // namespace

std::uint64_t walkSelection(const fs::path& workingFile, const RecordSelection& selection,
                            ExportSink& sink) {
    RecordReader reader(workingFile);
    BlockWriter nowhere(std::vector<TextFileWriter*>{});
    ExportOutput output(nowhere);
    const std::uint64_t handed = handRecords(reader, workingFile, selection, sink, output);
    nowhere.finish();
    return handed;
}

std::uint64_t writeExport(const fs::path& workingFile, const fs::path& target,
                          const RecordSelection& selection, ExportSink& sink) {
    refuseTarget(target, workingFile);
    // Opened first, so that an unreadable working file is reported before a file is made.
    RecordReader reader(workingFile);
    ExportFile exportFile(target);
    const fs::path& temporary = exportFile.temporary();
    sink.placeBeside(target);
    std::optional<InterruptCleanup> builtCleanup;
    fs::path built;
    std::uint64_t written = 0;
    try {
        TextFileWriter& out = exportFile.open();
        // A large export is mostly on disk by the time it is synced below.
        out.startSyncAsWritten();
        {
            // The sink builds its output straight into a block; a full one is written on a
            // thread of its own while the next is built.
            BlockWriter block({&out});
            ExportOutput output(block);
            written = handRecords(reader, workingFile, selection, sink, output);
            block.finish();
        }
        // A sink that built the file itself hands it over to be put in place as it is; the
        // (empty) output goes.
        built = sink.takeBuiltFile();
        std::unique_ptr<TextFileWriter> own;
        if (!built.empty()) {
            builtCleanup.emplace(built);
            own = TextFileWriter::adopt(built);
        }
        TextFileWriter& file = own ? *own : out;
        // On disk before it takes the name, so that the name never holds a file cut short.
        file.sync();
        file.close();
        for (const ExportSidecar& sidecar : sink.sidecars()) {
            fs::path beside = target;
            beside.replace_extension(sidecar.extension);
            if (beside != target) writeWholeFile(beside, sidecar.bytes, workingFile);
        }
        file.placeAs(target);
        if (own) builtCleanup->release();
    } catch (const FileError& e) {
        std::error_code ignored;
        if (!temporary.empty()) fs::remove(temporary, ignored);
        if (!built.empty()) fs::remove(built, ignored);
        // A failure of the temporary file is reported under the name the user knows.
        if (e.path() == temporary || (!built.empty() && e.path() == built))
            throw FileError(target, e.reason());
        throw;
    } catch (...) {
        std::error_code ignored;
        if (!temporary.empty()) fs::remove(temporary, ignored);
        if (!built.empty()) fs::remove(built, ignored);
        throw;
    }
    if (!temporary.empty()) {
        // The named temporary was left empty for the sink's own file.
        std::error_code ignored;
        if (!built.empty()) fs::remove(temporary, ignored);
    }
    return written;
}

std::uint64_t writeStreetsAndTrips(const fs::path& workingFile, const fs::path& target,
                                   const RecordSelection& selection) {
    StreetsAndTripsSink sink;
    return writeExport(workingFile, target, selection, sink);
}

}  // namespace velmora
