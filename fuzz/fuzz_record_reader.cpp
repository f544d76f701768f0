// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a working record file: LineReader's three ways of reading lines and
// RecordReader's records, copied or viewed, must agree with the plain reference readers, and what
// appendRecordLine writes must read back as the same record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/line_reader.h"
#include "records/record_reader.h"
#include "records/record_writer.h"
#include "support.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::scratchFile("records", bytes);
    const std::vector<std::string> lines = fuzz::referenceLines(bytes);

    {
        LineReader reader(path);
        std::string line;
        std::size_t n = 0;
        while (reader.next(line)) {
            fuzz::check(n < lines.size() && line == lines[n], "next() differs");
            ++n;
        }
        fuzz::check(n == lines.size(), "next() line count");
    }
    {
        LineReader reader(path);
        std::string_view line;
        std::size_t n = 0;
        while (reader.nextView(line)) {
            fuzz::check(n < lines.size() && line == lines[n], "nextView() differs");
            ++n;
        }
        fuzz::check(n == lines.size(), "nextView() line count");
    }
    {
        const std::size_t limit = size ? data[0] % 17 : 0;
        LineReader reader(path);
        std::string line;
        bool complete = true;
        std::size_t n = 0;
        while (reader.nextBounded(line, limit, complete)) {
            fuzz::check(n < lines.size(), "nextBounded() line count");
            fuzz::check(line == lines[n].substr(0, limit), "nextBounded() prefix");
            fuzz::check(complete == (lines[n].size() <= limit), "nextBounded() complete");
            ++n;
        }
        fuzz::check(n == lines.size(), "nextBounded() line count");
    }
    {
        const std::size_t limit = size ? data[0] % 17 : 0;
        LineReader reader(path);
        std::string_view line;
        bool complete = true;
        std::size_t n = 0;
        while (reader.nextView(line, limit, complete)) {
            fuzz::check(n < lines.size(), "bounded nextView() line count");
            fuzz::check(complete == (lines[n].size() <= limit), "bounded nextView() complete");
            fuzz::check(line == (complete ? lines[n] : lines[n].substr(0, limit)),
                        "bounded nextView() line");
            ++n;
        }
        fuzz::check(n == lines.size(), "bounded nextView() line count");
    }

    const auto expected = fuzz::referenceRecords(bytes);
    std::vector<WorkingRecord> records;
    {
        RecordReader reader(path);
        WorkingRecord record;
        while (reader.next(record)) records.push_back(record);
    }
    fuzz::check(records.size() == expected.size(), "record count");
    {
        RecordReader reader(path);
        RecordFields fields;
        WorkingRecord scratch;
        std::size_t n = 0;
        while (reader.nextFields(fields, scratch)) {
            fuzz::check(n < records.size(), "nextFields() record count");
            for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k)
                fuzz::check(fields[k] == records[n].fields[k], "nextFields() differs from next()");
            ++n;
        }
        fuzz::check(n == records.size(), "nextFields() record count");
    }
    std::string rewritten;
    bool leadingSpace = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        for (std::size_t k = 0; k < WorkingRecord::kFieldCount; ++k) {
            fuzz::check(records[i].fields[k] == expected[i][k], "record field");
            leadingSpace |= !records[i].fields[k].empty() && records[i].fields[k][0] == ' ';
        }
        appendRecordLine(rewritten, records[i]);
    }
    // Only a quoted item keeps leading spaces, and the writer quotes for commas and quotes
    // only: such records are not expected to survive a rewrite.
    if (!leadingSpace) {
        RecordReader again(fuzz::scratchFile("rewritten", rewritten));
        WorkingRecord record;
        std::size_t n = 0;
        while (again.next(record)) {
            fuzz::check(n < records.size() && record.fields == records[n].fields,
                        "rewritten record differs");
            ++n;
        }
        fuzz::check(n == records.size(), "rewritten record count");
    }
    return 0;
}
