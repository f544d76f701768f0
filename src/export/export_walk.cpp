#include "export/export_walk.h"

#include <random>
#include <string>

#include "export/export_line.h"
#include "records/file_error.h"
#include "records/record_reader.h"
#include "records/record_writer.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

fs::path temporaryBeside(const fs::path& target) {
    std::random_device random;
    const auto tag = std::to_string(random());
    // Cut a long name so the temporary one still fits the file system's limit.
    const auto name = target.filename().string().substr(0, 200);
    return target.parent_path() / ("." + name + ".part-" + tag);
}

// An export replaces a regular file only, and never the working record file it reads.
void refuseTarget(const fs::path& target, const fs::path& workingFile) {
    std::error_code ec;
    const auto type = fs::status(target, ec).type();
    if (type == fs::file_type::not_found) return;
    if (type != fs::file_type::regular)
        throw FileError(target, type == fs::file_type::directory ? "Is a directory"
                                                                 : "Not a regular file");
    if (fs::equivalent(target, workingFile, ec))
        throw FileError(target, "Is the working record file");
}

}  // namespace

std::uint64_t exportWalk(const fs::path& workingFile, const fs::path& target,
                         const RecordFilter& filter, const RecordChange& change) {
    refuseTarget(target, workingFile);
    RecordReader reader(workingFile);
    const fs::path temporary = temporaryBeside(target);
    std::uint64_t written = 0;
    try {
        TextFileWriter out(temporary);
        out.write(kExportHeader);
        WorkingRecord record;
        std::string line;
        while (reader.next(record)) {
            convertCoordinates(record);
            if (!filter(record)) continue;
            if (change) change(record);
            line.clear();
            appendExportLine(line, record);
            out.write(line);
            ++written;
        }
        out.close();
        std::error_code ec;
        fs::rename(temporary, target, ec);
        if (ec) throw FileError(target, ec.message());
    } catch (const FileError& e) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        // A failure of the temporary file is reported under the name the user knows.
        if (e.path() == temporary) throw FileError(target, e.reason());
        throw;
    }
    return written;
}

}  // namespace velmora
