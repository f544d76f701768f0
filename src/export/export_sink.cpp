// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_sink.h"

#include <cstring>

namespace velmora {

void ExportOutput::append(std::string_view bytes) {
    if (bytes.empty()) return;
    char* const room = block_.reserve(bytes.size());
    std::memcpy(room, bytes.data(), bytes.size());
    block_.commit(room + bytes.size());
}

}  // namespace velmora
