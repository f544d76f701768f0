#include "export/export_walk.h"

#include <cstring>
#include <random>
#include <string>

#include "export/export_line.h"
#include "records/block_writer.h"
#include "records/file_error.h"
#include "records/record_reader.h"
#include "records/record_writer.h"

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

// Gives the complete file `temporary` the name `target`. An earlier file of that name first
// steps aside under a name of its own and goes once the new file is in place, so that no
// rename lands on an existing file: on ext4 that makes the rename start writing the whole new
// file out at once, which held a large export up for tens of milliseconds; the system now
// writes it in the background as it does any other file. Should the new file not take the
// name, the earlier one gets it back.
void moveInto(const fs::path& temporary, const fs::path& target) {
    std::error_code ec;
    fs::path aside;
    if (fs::symlink_status(target, ec).type() == fs::file_type::regular) {
        aside = temporaryBeside(target, "old");
        fs::rename(target, aside, ec);
        if (ec) throw FileError(target, ec.message());
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        if (!aside.empty()) fs::rename(aside, target, ignored);
        throw FileError(target, ec.message());
    }
    if (!aside.empty()) fs::remove(aside, ec);
}

// An export replaces a regular file only, and never the working record file it reads.
void refuseTarget(const fs::path& target, const fs::path& workingFile) {
    std::error_code ec;
    const auto type = fs::status(target, ec).type();
    if (type == fs::file_type::not_found) return;
    if (type != fs::file_type::regular)
        throw FileError(target,
                        type == fs::file_type::directory ? "Is a directory" : "Not a regular file");
    if (fs::equivalent(target, workingFile, ec))
        throw FileError(target, "Is the working record file");
}

// The walk's frame: the target check, the temporary file and its rename. `body` writes the
// export lines and returns how many it wrote.
template <typename Body>
std::uint64_t writeExport(const fs::path& workingFile, const fs::path& target, Body body) {
    refuseTarget(target, workingFile);
    RecordReader reader(workingFile);
    const fs::path temporary = temporaryBeside(target, "part");
    std::uint64_t written = 0;
    try {
        TextFileWriter out(temporary);
        out.write(kExportHeader);
        written = body(reader, out);
        out.close();
        moveInto(temporary, target);
    } catch (const FileError& e) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        // A failure of the temporary file is reported under the name the user knows.
        if (e.path() == temporary) throw FileError(target, e.reason());
        throw;
    }
    return written;
}

// A leading "N" or "E" goes, a leading "S" or "W" becomes "-", as convertCoordinates does.
char* appendCoordinate(char* out, std::string_view value, char positive, char negative) {
    if (!value.empty() && value.front() == positive) value.remove_prefix(1);
    if (!value.empty() && value.front() == negative) {
        *out++ = '-';
        value.remove_prefix(1);
    }
    std::memcpy(out, value.data(), value.size());
    return out + value.size();
}

}  // namespace

std::uint64_t exportWalk(const fs::path& workingFile, const fs::path& target,
                         const RecordFilter& filter, const RecordChange& change) {
    return writeExport(workingFile, target, [&](RecordReader& reader, TextFileWriter& out) {
        std::uint64_t written = 0;
        WorkingRecord record, scratch;
        RecordFields fields;
        std::string line;
        // The items are found as views (the faster scan), then copied for the filter and the
        // change to work on.
        while (reader.nextFields(fields, scratch)) {
            for (std::size_t k = 0; k < fields.size(); ++k) record.fields[k].assign(fields[k]);
            convertCoordinates(record);
            if (!filter(record)) continue;
            if (change) change(record);
            line.clear();
            appendExportLine(line, record);
            out.write(line);
            ++written;
        }
        return written;
    });
}

std::uint64_t exportWalkFields(const fs::path& workingFile, const fs::path& target,
                               const FieldsFilter& filter, UpperCase upper) {
    const bool upperSsid = upper == UpperCase::Ssid || upper == UpperCase::SsidAndBssid;
    const bool upperBssid = upper == UpperCase::Bssid || upper == UpperCase::SsidAndBssid;
    return writeExport(workingFile, target, [&](RecordReader& reader, TextFileWriter& out) {
        std::uint64_t written = 0;
        RecordFields fields;
        WorkingRecord scratch;
        // Lines are built straight into a block; a full one is written on a thread of its own
        // while the next is built.
        BlockWriter block({&out});
        while (reader.nextFields(fields, scratch)) {
            if (!filter(fields)) continue;
            std::size_t size = 2 + WorkingRecord::kFieldCount;
            for (const std::string_view field : fields) size += field.size();
            char* p = block.reserve(size);
            p = appendCoordinate(p, fields[WorkingRecord::Latitude], 'N', 'S');
            *p++ = ';';
            p = appendCoordinate(p, fields[WorkingRecord::Longitude], 'E', 'W');
            *p++ = ';';
            char* const ssid = p;
            // Items viewed in one line lie one separator apart: copy them as one run and turn
            // the separators into ";".
            const char* const first = fields[WorkingRecord::SSID].data();
            bool contiguous = true;
            for (std::size_t k = WorkingRecord::SSID + 1; k < fields.size(); ++k)
                contiguous &= fields[k].data() == fields[k - 1].data() + fields[k - 1].size() + 1;
            if (contiguous) {
                const std::size_t run =
                    static_cast<std::size_t>(fields.back().data() + fields.back().size() - first);
                std::memcpy(p, first, run);
                for (std::size_t k = WorkingRecord::SSID; k + 1 < fields.size(); ++k) {
                    p += fields[k].size();
                    *p++ = ';';
                }
                p += fields.back().size();
            } else {
                for (std::size_t k = WorkingRecord::SSID; k < fields.size(); ++k) {
                    if (k > WorkingRecord::SSID) *p++ = ';';
                    std::memcpy(p, fields[k].data(), fields[k].size());
                    p += fields[k].size();
                }
            }
            if (upperSsid) upperAsciiInPlace(ssid, fields[WorkingRecord::SSID].size());
            if (upperBssid) {
                char* const bssid = ssid + fields[WorkingRecord::SSID].size() + 1 +
                                    fields[WorkingRecord::Type].size() + 1;
                upperAsciiInPlace(bssid, fields[WorkingRecord::BSSID].size());
            }
            *p++ = '\r';
            *p++ = '\n';
            block.commit(p);
            ++written;
        }
        block.finish();
        return written;
    });
}

}  // namespace velmora
