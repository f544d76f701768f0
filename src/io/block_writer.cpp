// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/block_writer.h"

#include <string_view>

namespace velmora {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

BlockWriter::BlockWriter(std::vector<TextFileWriter*> files)
    : files_(std::move(files)), writer_([this](Block& block) { write(block); }) {}

void BlockWriter::write(const Block& block) {
    const std::string_view bytes(block.bytes.data(), block.used);
    for (TextFileWriter* file : files_) file->write(bytes);
}

char* BlockWriter::reserve(std::size_t size) {
    if (filling_.bytes.empty()) filling_.bytes.resize(kBlockSize);
    if (filling_.used + size > filling_.bytes.size()) {
        hand();
        if (size > filling_.bytes.size()) filling_.bytes.resize(size);
    }
    return filling_.bytes.data() + filling_.used;
}

void BlockWriter::hand() {
    const std::size_t size = filling_.bytes.size();
    handed_ += filling_.used;
    // The full block goes to be written; the block written before comes back to be filled.
    writer_.hand(filling_);
    filling_.used = 0;
    if (filling_.bytes.size() < size) filling_.bytes.resize(size);
}

void BlockWriter::finish() {
    writer_.wait();
    write(filling_);
    handed_ += filling_.used;
    filling_.used = 0;
}

}  // namespace velmora
