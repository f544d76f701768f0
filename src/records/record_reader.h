// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "io/line_reader.h"
#include "records/working_record.h"

namespace velmora {

// Reads a working record file as one stream of comma-separated items, eleven to a record,
// wherever the line ends fall:
// - an item ends at the next comma or at the end of its line; spaces before it are skipped;
// - an item that starts with a double quote runs to the closing quote, a doubled quote inside
//   standing for one quote; what follows the closing quote up to the next comma or line end
//   is dropped; a quote that is never closed runs to the end of the line;
// - a line with no characters carries no item;
// - a file that ends inside a record gives that record with its missing fields empty.
class RecordReader {
  public:
    explicit RecordReader(const std::filesystem::path& path);

    // Fills `record` with the next record; returns false when no item is left. Reusing one
    // record across calls keeps the reader free of allocations.
    bool next(WorkingRecord& record);

    // Like next(), without copying the items: a record that is one line of eleven plain items
    // (no double quote, no item starting with a space) is viewed in the reader's buffer; any
    // other is read as next() reads it into `scratch` and viewed there. The views stay valid
    // until the next call.
    bool nextFields(RecordFields& fields, WorkingRecord& scratch);

  private:
    bool haveItem();
    void readItem(std::string& out);

    LineReader lines_;
    std::string_view line_;  // views the reader's buffer: valid until the next line is read
    std::size_t pos_ = 0;
    bool lineDone_ = true;
};

}  // namespace velmora
